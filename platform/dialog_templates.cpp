#include "platform/dialog_templates.h"

#include "platform/ui/notification.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using ui::DialogTemplate;

constexpr uint32_t Child = 0x40000000;
constexpr uint32_t Visible = ui::StyleVisible;
constexpr uint32_t TabStop = ui::StyleTabStop;
constexpr uint32_t PopupCaption = 0x90C800C0;  // popup, visible, caption, system menu, modal frame

ControlTemplate Control(int id, ControlKind kind, std::u16string text, ui::Rect rect,
                        uint32_t style) {
  return ControlTemplate{id, kind, std::move(text), rect, style};
}

DialogTemplate MainDialog() {
  DialogTemplate t;
  t.id = MainDialogTemplate;
  t.caption = u"VelmoraCfg";
  t.rect = {0, 0, 184, 110};
  t.style = PopupCaption;
  t.extendedStyle = 0x00040000;  // an application window
  const uint32_t button = Child | Visible | TabStop;
  const uint32_t combo = Child | Visible | TabStop | ui::StyleVScroll | ui::ComboDropDownList;
  t.controls = {
      Control(1000, ControlKind::ListView, u"List1", {2, 13, 129, 65}, 0x50810001),
      Control(2, ControlKind::PushButton, u"Abbrechen", {132, 43, 50, 12}, button),
      Control(1002, ControlKind::PushButton, u"Übernehmen", {132, 28, 50, 12}, button),
      Control(ui::NoControlId, ControlKind::StaticText, u"Serielle Schnittstellen", {2, 2, 68, 8},
              Child | Visible),
      Control(ui::NoControlId, ControlKind::StaticText, u"Verbinde mit", {2, 96, 44, 8},
              Child | Visible),
      Control(ui::NoControlId, ControlKind::StaticText, u"Installiert auf", {2, 83, 64, 8},
              Child | Visible),
      Control(1003, ControlKind::ComboBox, u"", {84, 80, 48, 38}, combo),
      Control(1004, ControlKind::ComboBox, u"", {83, 94, 48, 35}, combo),
      Control(1005, ControlKind::StaticText, u"", {1, 108, 78, 26}, Child | Visible),
      Control(1006, ControlKind::PushButton, u"Erweitert", {132, 13, 50, 12}, button),
  };
  return t;
}

DialogTemplate LogSettings() {
  DialogTemplate t;
  t.id = LogSettingsTemplate;
  t.caption = u"VelmoraCfg";
  t.rect = {0, 0, 138, 154};
  t.style = PopupCaption;
  const uint32_t button = Child | Visible | TabStop;
  const uint32_t check = Child | Visible | TabStop | ui::ButtonAutoCheckBox;
  t.controls = {
      Control(2, ControlKind::PushButton, u"Abbrechen", {2, 139, 50, 12}, button),
      Control(1006, ControlKind::CheckBox, u"Protokolliere Leseoperationen", {3, 3, 111, 10},
              check),
      Control(ui::NoControlId, ControlKind::StaticText, u"Verz:", {3, 22, 18, 8}, Child | Visible),
      Control(1007, ControlKind::StaticText, u"", {21, 22, 111, 15}, Child | Visible),
      Control(1008, ControlKind::PushButton, u"Browse", {85, 39, 50, 12}, button),
      Control(1009, ControlKind::CheckBox, u"Protokolliere Schreibeoperationen", {3, 12, 123, 10},
              check),
  };
  return t;
}

DialogTemplate FileChooser() {
  DialogTemplate t;
  t.id = FileChooserTemplate;
  t.caption = u"Dialog";
  t.rect = {0, 0, 135, 151};
  t.style = PopupCaption;
  const uint32_t stop = Child | TabStop;
  t.controls = {
      Control(1020, ControlKind::ListView, u"", {7, 44, 121, 84},
              stop | Visible | ui::StyleBorder | ui::ListReport | ui::ListSingleSelection |
                  ui::ListShowSelectionAlways | ui::ListNoSortHeader),
      Control(ui::IdOk, ControlKind::PushButton, u"OK", {7, 130, 14, 14}, stop | ui::ButtonDefault),
      Control(1113, ControlKind::PushButton, u"OK", {78, 130, 50, 14}, stop | Visible),
      Control(ui::IdCancel, ControlKind::PushButton, u"Cancel", {24, 130, 50, 14}, stop | Visible),
      Control(1043, ControlKind::Edit, u"", {7, 7, 121, 22},
              stop | Visible | ui::EditReadOnly | ui::EditAutoHScroll),
      Control(1112, ControlKind::Edit, u"", {7, 30, 121, 12},
              stop | Visible | ui::StyleBorder | ui::EditAutoHScroll),
  };
  return t;
}

}  // namespace

const ui::DialogTemplate& DialogTemplateById(int id) {
  static const DialogTemplate main = MainDialog();
  static const DialogTemplate log = LogSettings();
  static const DialogTemplate chooser = FileChooser();
  switch (id) {
    case MainDialogTemplate:
      return main;
    case LogSettingsTemplate:
      return log;
    case FileChooserTemplate:
      return chooser;
    default:
      std::fprintf(stderr, "velmora: no dialog template %d\n", id);
      std::abort();
  }
}

}  // namespace velmora
