// A key as the dialog screen takes it: the terminal host translates the
// terminal's keys into these, the tests press them directly.
#pragma once

namespace velmora::terminal {

enum class Key {
  Other,
  Tab,
  BackTab,
  Enter,
  Space,
  Escape,
  Help,
  DoubleTap,
  Done,
  Up,
  Down,
  Left,
  Right,
  PageUp,
  PageDown,
  Home,
  End,
  Delete,
  Backspace,
  ScrollLeft,
  ScrollRight,
  Interrupt,
  Character,
};

struct KeyPress {
  Key key = Key::Other;
  char16_t ch = 0;  // for Key::Character
};

}  // namespace velmora::terminal
