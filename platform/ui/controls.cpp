#include "platform/ui/controls.h"

#include <algorithm>

#include "platform/platform.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_host.h"

namespace velmora::ui {

Control::Control(Dialog& owner, const ControlTemplate& layout)
    : owner_(owner),
      layout_(layout),
      text_(layout.text),
      enabled_((layout.style & StyleDisabled) == 0),
      visible_((layout.style & StyleVisible) != 0) {}

bool Control::takesFocus() const {
  return tabStop() && !(kind() == ControlKind::Edit && (style() & EditReadOnly) != 0);
}

void Control::Enable(bool enabled) {
  bool lost = enabled_ && !enabled;
  enabled_ = enabled;
  if (lost) {
    owner_.ControlUnavailable(*this);
  }
}

void Control::Show(bool visible) {
  bool lost = visible_ && !visible;
  visible_ = visible;
  if (lost) {
    owner_.ControlUnavailable(*this);
  }
}

void Control::Raise(Notification code, const NotifyInfo& info) {
  owner_.Notify(code, id(), info);
}

void Button::Click() {
  if (enabled()) {
    Raise(Notification::Clicked);
  }
}

void CheckBox::Click() {
  if (enabled()) {
    checked_ = !checked_;
    Raise(Notification::Clicked);
  }
}

void Edit::SetText(std::u16string_view text) {
  Control::SetText(text);
  Raise(Notification::TextChanged);
}

void Edit::Type(std::u16string_view text) {
  if (enabled() && !readOnly()) {
    SetText(text);
  }
}

int ComboBox::AddString(std::u16string_view text) {
  items_.push_back(Item{std::u16string(text), 0});
  return static_cast<int>(items_.size()) - 1;
}

void ComboBox::SetItemData(int index, int32_t data) {
  if (index >= 0 && index < GetCount()) {
    items_[static_cast<size_t>(index)].data = data;
  }
}

int32_t ComboBox::GetItemData(int index) const {
  if (index < 0 || index >= GetCount()) {
    return -1;
  }
  return items_[static_cast<size_t>(index)].data;
}

int ComboBox::SetCurSel(int index) {
  selection_ = (index >= 0 && index < GetCount()) ? index : -1;
  return selection_;
}

void ComboBox::ResetContent() {
  items_.clear();
  selection_ = -1;
}

void ComboBox::Choose(int index) {
  if (enabled() && index >= 0 && index < GetCount()) {
    selection_ = index;
    Raise(Notification::SelectionChanged);
  }
}

int ListView::ClientWidth() const {
  return HasUi() ? Ui().ListClientWidth(*this) : TemplateClientWidth();
}

int ListView::TemplateClientWidth() const {
  int border = (style() & StyleBorder) != 0 ? 2 : 0;
  return rect().width * PixelsPerUnitX - border;
}

int ListView::InsertColumn(int index, std::u16string_view header, int width) {
  if (index < 0 || index > static_cast<int>(columns_.size())) {
    index = static_cast<int>(columns_.size());
  }
  columns_.insert(columns_.begin() + index, Column{std::u16string(header), width});
  return index;
}

int ListView::InsertItem(int index, std::u16string_view text) {
  if (index < 0 || index > GetItemCount()) {
    index = GetItemCount();
  }
  Item item;
  item.texts.emplace_back(text);
  items_.insert(items_.begin() + index, std::move(item));
  return index;
}

bool ListView::SetItemText(int item, int column, std::u16string_view text) {
  if (item < 0 || item >= GetItemCount() || column < 0) {
    return false;
  }
  auto& texts = items_[static_cast<size_t>(item)].texts;
  if (texts.size() <= static_cast<size_t>(column)) {
    texts.resize(static_cast<size_t>(column) + 1);
  }
  texts[static_cast<size_t>(column)] = text;
  return true;
}

std::u16string ListView::GetItemText(int item, int column) const {
  if (item < 0 || item >= GetItemCount() || column < 0) {
    return {};
  }
  const auto& texts = items_[static_cast<size_t>(item)].texts;
  return static_cast<size_t>(column) < texts.size() ? texts[static_cast<size_t>(column)]
                                                    : std::u16string();
}

void ListView::DeleteAllItems() {
  items_.clear();
  topIndex_ = 0;
}

void ListView::ChangeState(int item, uint32_t state) {
  uint32_t old = items_[static_cast<size_t>(item)].state;
  if (old == state) {
    return;
  }
  items_[static_cast<size_t>(item)].state = state;
  NotifyInfo info;
  info.item = item;
  info.oldState = old;
  info.newState = state;
  Raise(Notification::ItemChanged, info);
}

bool ListView::SetItemState(int item, uint32_t state, uint32_t mask) {
  if (item < 0 || item >= GetItemCount()) {
    return false;
  }
  uint32_t wanted = (items_[static_cast<size_t>(item)].state & ~mask) | (state & mask);
  // Selecting or focusing one entry takes that state from every other one.
  uint32_t exclusive = StateFocused;
  if (singleSelection()) {
    exclusive |= StateSelected;
  }
  uint32_t taken = wanted & mask & exclusive;
  if (taken != 0) {
    for (int other = 0; other < GetItemCount(); ++other) {
      uint32_t otherState = items_[static_cast<size_t>(other)].state;
      if (other != item && (otherState & taken) != 0) {
        ChangeState(other, otherState & ~taken);
      }
    }
  }
  if (item < GetItemCount()) {
    ChangeState(item, wanted);
  }
  return true;
}

uint32_t ListView::GetItemState(int item, uint32_t mask) const {
  if (item < 0 || item >= GetItemCount()) {
    return 0;
  }
  return items_[static_cast<size_t>(item)].state & mask;
}

int ListView::FirstSelected() const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if ((items_[static_cast<size_t>(i)].state & StateSelected) != 0) {
      return i;
    }
  }
  return -1;
}

int ListView::FocusedItem() const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if ((items_[static_cast<size_t>(i)].state & StateFocused) != 0) {
      return i;
    }
  }
  return -1;
}

void ListView::EnsureVisible(int item) {
  if (item < 0 || item >= GetItemCount()) {
    return;
  }
  // Rows that fit below the header: one row is 8 dialog units.
  int rows = std::max(1, rect().height / 8 - 1);
  if (item < topIndex_) {
    topIndex_ = item;
  } else if (item >= topIndex_ + rows) {
    topIndex_ = item - rows + 1;
  }
}

void ListView::Tap(int item) {
  if (!enabled()) {
    return;
  }
  if (item >= 0 && item < GetItemCount()) {
    SetItemState(item, StateSelected | StateFocused, StateSelected | StateFocused);
  }
  NotifyInfo info;
  info.item = item;
  Raise(Notification::Tap, info);
}

void ListView::DoubleTap(int item) {
  if (!enabled()) {
    return;
  }
  Tap(item);
  NotifyInfo info;
  info.item = item;
  Raise(Notification::DoubleTap, info);
}

void ListView::PressKey(uint32_t virtualKey) {
  if (!enabled()) {
    return;
  }
  NotifyInfo info;
  info.key = virtualKey;
  Raise(Notification::KeyDown, info);
}

void ListView::StepSelection(int rows) {
  int count = GetItemCount();
  if (!enabled() || count == 0) {
    return;
  }
  int current = FocusedItem();
  if (current < 0) {
    current = FirstSelected();
  }
  int next = current < 0 ? 0 : std::clamp(current + rows, 0, count - 1);
  for (int i = 0; i < count; ++i) {
    if (i != next && GetItemState(i, StateSelected) != 0) {
      SetItemState(i, 0, StateSelected);
    }
  }
  SetItemState(next, StateSelected | StateFocused, StateSelected | StateFocused);
  EnsureVisible(next);
}

}  // namespace velmora::ui
