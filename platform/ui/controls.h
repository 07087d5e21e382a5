// The controls of the dialog framework, kept as plain state objects. Calls
// made by code ("SetText", "SetCurSel", "SetItemState") and a person's
// actions ("Click", "Choose", "Tap", "Type") are separate, because they
// differ in the notifications they raise:
// - combo box: a selection set by code raises nothing, a person's choice
//   raises SelectionChanged;
// - list view: every state change raises ItemChanged at once, before the
//   call returns; with single selection, selecting one entry deselects the
//   other; a tap selects and focuses the entry first, then raises Tap; a
//   double tap is a tap followed by DoubleTap;
// - edit: every SetText raises TextChanged, even with the same text;
// - check box: a click toggles it before Clicked is raised; SetCheck by
//   code raises nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/notification.h"

namespace velmora::ui {

class Dialog;

// Dialog units to pixels: the "System" 8-point font gives 2 pixels per
// horizontal and per vertical dialog unit.
inline constexpr int PixelsPerUnitX = 2;
inline constexpr int PixelsPerUnitY = 2;

class Control {
 public:
  Control(Dialog& owner, const ControlTemplate& layout);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int id() const { return layout_.id; }
  ControlKind kind() const { return layout_.kind; }
  const Rect& rect() const { return layout_.rect; }
  uint32_t style() const { return layout_.style; }
  bool tabStop() const { return (layout_.style & StyleTabStop) != 0; }
  // Whether the focus stops here: a tab stop, but never a text field that
  // cannot be edited (it would offer a cursor that types nothing).
  bool takesFocus() const;

  const std::u16string& text() const { return text_; }
  virtual void SetText(std::u16string_view text) { text_ = text; }
  bool enabled() const { return enabled_; }
  // Disabling or hiding the focused control moves the focus to the next
  // tab stop.
  void Enable(bool enabled);
  bool visible() const { return visible_; }
  void Show(bool visible);

 protected:
  void Raise(Notification code, const NotifyInfo& info = {});
  Dialog& owner_;

 private:
  ControlTemplate layout_;
  std::u16string text_;
  bool enabled_;
  bool visible_;
};

class Button : public Control {
 public:
  using Control::Control;
  bool isDefault() const { return (style() & 0x0F) == ButtonDefault; }
  // A person presses the button (nothing happens while it is disabled).
  void Click();
};

class CheckBox : public Control {
 public:
  using Control::Control;
  bool checked() const { return checked_; }
  void SetCheck(bool checked) { checked_ = checked; }
  void Click();

 private:
  bool checked_ = false;
};

class StaticText : public Control {
 public:
  using Control::Control;
};

class Edit : public Control {
 public:
  using Control::Control;
  bool readOnly() const { return (style() & EditReadOnly) != 0; }
  void SetText(std::u16string_view text) override;
  // A person replaces the text by typing (refused when read-only or disabled).
  void Type(std::u16string_view text);
};

class ComboBox : public Control {
 public:
  using Control::Control;
  struct Item {
    std::u16string text;
    int32_t data = 0;
  };
  int AddString(std::u16string_view text);
  void SetItemData(int index, int32_t data);
  int32_t GetItemData(int index) const;  // -1 for an index out of range
  int GetCount() const { return static_cast<int>(items_.size()); }
  int GetCurSel() const { return selection_; }  // -1 when none
  int SetCurSel(int index);                     // -1 clears; returns the index or -1
  void ResetContent();
  const std::vector<Item>& items() const { return items_; }
  // A person picks an item from the drop-down list.
  void Choose(int index);

 private:
  std::vector<Item> items_;
  int selection_ = -1;
};

inline constexpr uint32_t StateFocused = 0x0001;
inline constexpr uint32_t StateSelected = 0x0002;

class ListView : public Control {
 public:
  using Control::Control;
  struct Column {
    std::u16string header;
    int width = 0;  // pixels
  };
  struct Item {
    std::vector<std::u16string> texts;  // column 0 first
    uint32_t state = 0;
  };

  bool singleSelection() const { return (style() & ListSingleSelection) != 0; }
  // Pixels inside the border, as the front end shows the list.
  int ClientWidth() const;
  // The same from the template alone, at PixelsPerUnitX.
  int TemplateClientWidth() const;

  int InsertColumn(int index, std::u16string_view header, int width);
  const std::vector<Column>& columns() const { return columns_; }

  int InsertItem(int index, std::u16string_view text);  // returns the index
  bool SetItemText(int item, int column, std::u16string_view text);
  std::u16string GetItemText(int item, int column) const;
  void DeleteAllItems();
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  const std::vector<Item>& items() const { return items_; }

  // Changes the bits of mask to state; raises ItemChanged for each entry
  // whose state changed, the deselected entry first.
  bool SetItemState(int item, uint32_t state, uint32_t mask);
  uint32_t GetItemState(int item, uint32_t mask) const;
  int FirstSelected() const;  // -1 when none
  int FocusedItem() const;    // -1 when none
  void EnsureVisible(int item);
  int topIndex() const { return topIndex_; }

  // A person's actions.
  void Tap(int item);
  void DoubleTap(int item);
  void PressKey(uint32_t virtualKey);
  // A person moves through the list with the arrow keys: from the focused
  // entry (else the first selected) by rows, clamped to the list, and
  // selects and focuses that one entry only, then scrolls it into view.
  void StepSelection(int rows);

 private:
  void ChangeState(int item, uint32_t state);

  std::vector<Column> columns_;
  std::vector<Item> items_;
  int topIndex_ = 0;
};

}  // namespace velmora::ui
