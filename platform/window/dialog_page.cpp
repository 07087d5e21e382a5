#include "platform/window/dialog_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "platform/window/qt_text.h"
#include "platform/window/report_list.h"
#include "platform/window/screen_geometry.h"

namespace velmora::window {

namespace {

// The drop-down list of a combo box: as many entries as the template's
// height leaves below the closed box, at least three.
int VisibleComboItems(const ui::Control& control, const QFont& font) {
  int dropped = DialogUnitsToPixels(control.rect()).height - ComboClosedHeight;
  int row = QFontMetrics(font).height() + 2;
  return std::max(3, dropped / std::max(1, row));
}

}  // namespace

DialogPage::DialogPage(ui::Dialog& dialog, Act act, QWidget* parent)
    : QWidget(parent), dialog_(dialog), act_(std::move(act)) {
  setAutoFillBackground(true);
  setGeometry(0, CaptionHeight, ScreenWidth, DialogAreaHeight);
  for (const auto& control : dialog.controls()) {
    QWidget* widget = MakeWidget(*control);
    PixelRect rect = DialogUnitsToPixels(control->rect());
    int height = rect.height;
    if (control->kind() == ui::ControlKind::ComboBox) {
      height = std::min(height, ComboClosedHeight);
    }
    widget->setGeometry(rect.x, rect.y, rect.width, height);
    if (control->kind() != ui::ControlKind::StaticText) {
      // A text field that cannot be edited takes no focus at all.
      widget->setFocusPolicy(control->takesFocus() ? Qt::StrongFocus
                             : control->tabStop()  ? Qt::NoFocus
                                                   : Qt::ClickFocus);
    }
    shown_.push_back(Shown{control.get(), widget});
  }
  Refresh();
}

QWidget* DialogPage::MakeWidget(ui::Control& control) {
  switch (control.kind()) {
    case ui::ControlKind::PushButton: {
      auto* button = new QPushButton(this);
      button->setAutoDefault(false);
      button->setDefault(static_cast<ui::Button&>(control).isDefault());
      auto* target = static_cast<ui::Button*>(&control);
      QObject::connect(button, &QPushButton::clicked, this,
                       [this, target] { act_([target] { target->Click(); }); });
      return button;
    }
    case ui::ControlKind::CheckBox: {
      auto* box = new QCheckBox(this);
      auto* target = static_cast<ui::CheckBox*>(&control);
      QObject::connect(box, &QCheckBox::clicked, this,
                       [this, target] { act_([target] { target->Click(); }); });
      return box;
    }
    case ui::ControlKind::Edit: {
      auto* edit = new QLineEdit(this);
      auto* target = static_cast<ui::Edit*>(&control);
      edit->setReadOnly(target->readOnly());
      edit->setFrame((control.style() & ui::StyleBorder) != 0);
      edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      QObject::connect(edit, &QLineEdit::textEdited, this, [this, target](const QString& text) {
        act_([target, typed = FromQString(text)] { target->Type(typed); });
      });
      return edit;
    }
    case ui::ControlKind::ComboBox: {
      auto* combo = new QComboBox(this);
      // The classic drop-down list below the box, of the template's height.
      combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
      combo->setMaxVisibleItems(VisibleComboItems(control, font()));
      auto* target = static_cast<ui::ComboBox*>(&control);
      QObject::connect(combo, &QComboBox::activated, this, [this, target](int index) {
        act_([target, index] { target->Choose(index); });
      });
      return combo;
    }
    case ui::ControlKind::ListView:
      return new ReportList(dialog_, static_cast<ui::ListView&>(control), act_, this);
    case ui::ControlKind::StaticText:
      break;
  }
  auto* label = new QLabel(this);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

void DialogPage::Refresh() {
  setEnabled(dialog_.enabled());
  for (const Shown& shown : shown_) {
    RefreshControl(shown);
  }
  int focus = dialog_.focusId();
  if (focus != shownFocus_) {
    shownFocus_ = focus;
    QWidget* widget = WidgetOf(focus);
    if (widget != nullptr && widget->isEnabled() && !widget->isHidden()) {
      widget->setFocus(Qt::TabFocusReason);
    }
  }
}

void DialogPage::RefreshControl(const Shown& shown) {
  ui::Control& control = *shown.control;
  QWidget* widget = shown.widget;
  QString text = ToQString(control.text());
  if (auto* box = dynamic_cast<ui::CheckBox*>(&control)) {
    auto* check = static_cast<QCheckBox*>(widget);
    if (check->text() != text) {
      check->setText(text);
    }
    check->setChecked(box->checked());
  } else if (auto* combo = dynamic_cast<ui::ComboBox*>(&control)) {
    auto* view = static_cast<QComboBox*>(widget);
    QStringList items;
    for (const auto& item : combo->items()) {
      items << ToQString(item.text);
    }
    QStringList shownItems;
    for (int i = 0; i < view->count(); ++i) {
      shownItems << view->itemText(i);
    }
    QSignalBlocker quiet(view);
    if (items != shownItems) {
      view->clear();
      view->addItems(items);
    }
    if (view->currentIndex() != combo->GetCurSel()) {
      view->setCurrentIndex(combo->GetCurSel());
    }
  } else if (dynamic_cast<ui::ListView*>(&control) != nullptr) {
    static_cast<ReportList*>(widget)->Refresh();
  } else if (dynamic_cast<ui::Edit*>(&control) != nullptr) {
    auto* edit = static_cast<QLineEdit*>(widget);
    if (edit->text() != text) {
      QSignalBlocker quiet(edit);
      edit->setText(text);
    }
  } else if (auto* button = dynamic_cast<QPushButton*>(widget)) {
    if (button->text() != text) {
      button->setText(text);
    }
  } else if (auto* label = dynamic_cast<QLabel*>(widget)) {
    if (label->text() != text) {
      label->setText(text);
    }
  }
  if (widget->isEnabled() != control.enabled()) {
    widget->setEnabled(control.enabled());
  }
  if (widget->isHidden() == control.visible()) {
    widget->setVisible(control.visible());
  }
}

QWidget* DialogPage::WidgetOf(int controlId) const {
  if (controlId == ui::NoControlId) {
    return nullptr;
  }
  for (const Shown& shown : shown_) {
    if (shown.control->id() == controlId) {
      return shown.widget;
    }
  }
  return nullptr;
}

ui::Control* DialogPage::ControlOf(const QWidget* widget) const {
  for (; widget != nullptr && widget != this; widget = widget->parentWidget()) {
    for (const Shown& shown : shown_) {
      if (shown.widget == widget) {
        return shown.control;
      }
    }
  }
  return nullptr;
}

void DialogPage::FocusTaken(const QWidget* widget) {
  ui::Control* control = ControlOf(widget);
  if (control != nullptr && control->id() != ui::NoControlId) {
    dialog_.SetFocus(control->id());
    shownFocus_ = control->id();
  }
}

}  // namespace velmora::window
