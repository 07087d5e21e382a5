// Dialog templates as data: what the handheld's resource compiler would
// give the dialog framework. Rectangles are in dialog units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::ui {

enum class ControlKind { PushButton, CheckBox, StaticText, Edit, ComboBox, ListView };

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Window and control style bits the framework looks at.
inline constexpr uint32_t StyleVisible = 0x10000000;
inline constexpr uint32_t StyleDisabled = 0x08000000;
inline constexpr uint32_t StyleBorder = 0x00800000;
inline constexpr uint32_t StyleVScroll = 0x00200000;
inline constexpr uint32_t StyleTabStop = 0x00010000;
inline constexpr uint32_t ButtonDefault = 0x0001;        // BS_DEFPUSHBUTTON
inline constexpr uint32_t ButtonAutoCheckBox = 0x0003;   // BS_AUTOCHECKBOX
inline constexpr uint32_t EditAutoHScroll = 0x0080;      // ES_AUTOHSCROLL
inline constexpr uint32_t EditReadOnly = 0x0800;         // ES_READONLY
inline constexpr uint32_t ComboDropDownList = 0x0003;    // CBS_DROPDOWNLIST
inline constexpr uint32_t ListReport = 0x0001;           // LVS_REPORT
inline constexpr uint32_t ListSingleSelection = 0x0004;  // LVS_SINGLESEL
inline constexpr uint32_t ListShowSelectionAlways = 0x0008;
inline constexpr uint32_t ListNoSortHeader = 0x8000;

inline constexpr int NoControlId = -1;  // static texts without an id

struct ControlTemplate {
  int id = NoControlId;
  ControlKind kind = ControlKind::StaticText;
  std::u16string text;
  Rect rect;
  uint32_t style = 0;
};

struct DialogTemplate {
  int id = 0;
  std::u16string caption;
  Rect rect;  // x, y, width, height of the dialog
  uint32_t style = 0;
  uint32_t extendedStyle = 0;
  std::u16string font = u"System";
  int pointSize = 8;
  std::vector<ControlTemplate> controls;  // in template (tab) order
};

}  // namespace velmora::ui
