// Notifications that controls send to their dialog's command table.
#pragma once

#include <cstdint>

namespace velmora::ui {

enum class Notification {
  Clicked,           // button or check box clicked (also the OK and cancel commands)
  SelectionChanged,  // a person chose a combo box item
  TextChanged,       // an edit's text was set or typed
  ItemChanged,       // a list entry's state changed
  Tap,               // single tap on a list
  DoubleTap,         // double tap on a list
  KeyDown,           // key pressed in a list
};

struct NotifyInfo {
  int item = -1;     // list entry concerned, -1 when none
  uint32_t key = 0;  // virtual key code of KeyDown
  uint32_t oldState = 0;
  uint32_t newState = 0;
};

// Virtual key codes the program looks at.
inline constexpr uint32_t KeyLeft = 0x25;
inline constexpr uint32_t KeyRight = 0x27;

// Command ids of the OK and cancel commands.
inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;

}  // namespace velmora::ui
