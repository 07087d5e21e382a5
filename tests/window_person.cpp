#include "tests/window_person.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "platform/window/screen_window.h"

namespace velmora::testing {

WindowPerson::WindowPerson(window::WindowHost& host) : host_(host) {
  host_.OnDialogShown([this](ui::Dialog& dialog) { DialogShown(dialog); });
  host_.OnMessageShown([this] { MessageShown(); });
}

WindowPerson::~WindowPerson() {
  host_.OnDialogShown({});
  host_.OnMessageShown({});
}

void WindowPerson::AnswerNext(QString button, std::function<void()> before) {
  answers_.push_back(Answer{std::move(button), std::move(before)});
}

void WindowPerson::DialogShown(ui::Dialog& dialog) {
  window::ScreenWindow& screen = *host_.screen();
  std::string name = "dialog " + std::to_string(dialog.templateId());
  if (scripts_.empty()) {
    problems_.push_back(name + " showed without a script");
  } else {
    Script script = std::move(scripts_.front());
    scripts_.pop_front();
    script(dialog);
    if (dialog.ended()) {
      return;
    }
    problems_.push_back(name + " was left open by its script");
  }
  screen.Act([&dialog] { dialog.CancelCommand(); });
}

void WindowPerson::MessageShown() {
  window::MessageBox* box = host_.screen()->message();
  Message message;
  message.caption = box->findChild<QLabel*>(QStringLiteral("messageCaption"))->text();
  message.text = box->findChild<QLabel*>(QStringLiteral("messageText"))->text();
  message.exclamation = box->findChild<QLabel*>(QStringLiteral("exclamation")) != nullptr;
  for (QPushButton* button : box->buttons()) {
    message.buttons << button->text();
  }
  messages_.push_back(message);
  QPushButton* press = box->buttons().back();
  if (answers_.empty()) {
    problems_.push_back("message box without an answer: " + message.text.toStdString());
  } else {
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (answer.before) {
      answer.before();
      if (box->answer() != 0) {
        return;
      }
    }
    press = nullptr;
    for (QPushButton* button : box->buttons()) {
      if (button->text() == answer.button) {
        press = button;
      }
    }
    if (press == nullptr) {
      problems_.push_back("message box without a button " + answer.button.toStdString());
      press = box->buttons().back();
    }
  }
  QTest::mouseClick(press, Qt::LeftButton);
}

QWidget* WindowPerson::Widget(int id) const {
  window::DialogPage* page = host_.screen() != nullptr ? host_.screen()->topPage() : nullptr;
  QWidget* widget = page != nullptr ? page->WidgetOf(id) : nullptr;
  EXPECT_NE(widget, nullptr) << "no widget for control " << id;
  return widget;
}

QString WindowPerson::Caption() const {
  return host_.screen()->captionLabel()->text();
}

QString WindowPerson::Text(int id) const {
  QWidget* widget = Widget(id);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    return label->text();
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    return button->text();
  }
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    return edit->text();
  }
  return QString();
}

QString WindowPerson::ComboText(int id) const {
  auto* combo = qobject_cast<QComboBox*>(Widget(id));
  return (combo->isEnabled() ? QString() : QStringLiteral("(disabled)")) + combo->currentText();
}

QStringList WindowPerson::ComboItems(int id) const {
  auto* combo = qobject_cast<QComboBox*>(Widget(id));
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) {
    items << combo->itemText(i) + (i == combo->currentIndex() ? QStringLiteral("*") : QString());
  }
  return items;
}

QStringList WindowPerson::Rows(int listId) const {
  auto* list = qobject_cast<QTreeWidget*>(Widget(listId));
  QStringList rows;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c) {
      texts << item->text(c);
    }
    bool selected = list->selectionModel()->isSelected(list->model()->index(row, 0));
    rows << (selected ? QStringLiteral("*") : QString()) + texts.join(QStringLiteral(" | "));
  }
  return rows;
}

bool WindowPerson::Checked(int id) const {
  return qobject_cast<QCheckBox*>(Widget(id))->isChecked();
}

bool WindowPerson::Enabled(int id) const {
  return Widget(id)->isEnabled();
}

int WindowPerson::FocusedControl() const {
  window::DialogPage* page = host_.screen()->topPage();
  ui::Control* control = page->ControlOf(host_.screen()->focusWidget());
  return control != nullptr ? control->id() : -1;
}

void WindowPerson::Click(int id) {
  QTest::mouseClick(Widget(id), Qt::LeftButton);
}

void WindowPerson::DoubleClick(int id) {
  QWidget* widget = Widget(id);
  QPoint at = widget->rect().center();
  QTest::mousePress(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
  // The first click may have opened a dialog that has ended meanwhile: the
  // second goes to the widget as it is now.
  widget = Widget(id);
  QTest::mousePress(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

void WindowPerson::Key(int key, Qt::KeyboardModifiers modifiers) {
  QWidget* target = host_.screen()->focusWidget();
  QTest::keyClick(target != nullptr ? target : host_.screen(), static_cast<Qt::Key>(key),
                  modifiers);
}

void WindowPerson::Keys(std::initializer_list<int> keys) {
  for (int key : keys) {
    Key(key);
  }
}

void WindowPerson::Type(const QString& text) {
  QWidget* target = host_.screen()->focusWidget();
  QTest::keyClicks(target != nullptr ? target : host_.screen(), text);
}

void WindowPerson::ChooseWithMouse(int comboId, const QString& item) {
  auto* combo = qobject_cast<QComboBox*>(Widget(comboId));
  int index = combo->findText(item);
  ASSERT_GE(index, 0) << item.toStdString();
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(view->isVisible()) << "the drop-down list did not open";
  QModelIndex entry = view->model()->index(index, 0);
  view->scrollTo(entry);
  QPoint at = view->visualRect(entry).center();
  // The list takes a click once the mouse moved away from where the
  // press opened it.
  QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  EXPECT_FALSE(view->isVisible()) << "the drop-down list stayed open";
}

QWidget* WindowPerson::RowWidget(int listId, int row, QPoint* at) const {
  auto* list = qobject_cast<QTreeWidget*>(Widget(listId));
  QTreeWidgetItem* item = list->topLevelItem(row);
  EXPECT_NE(item, nullptr) << "no row " << row;
  list->scrollToItem(item);
  QRect rect = list->visualItemRect(item);
  *at = QPoint(rect.left() + 4, rect.center().y());
  return list->viewport();
}

void WindowPerson::TapRow(int listId, int row) {
  QPoint at;
  QWidget* viewport = RowWidget(listId, row, &at);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
}

void WindowPerson::DoubleTapRow(int listId, int row) {
  QPoint at;
  QWidget* viewport = RowWidget(listId, row, &at);
  // As the desktop sends a double click: press, release, press, double
  // click, release.
  QTest::mousePress(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  QTest::mousePress(viewport, Qt::LeftButton, {}, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

void WindowPerson::Done() {
  QTest::mouseClick(host_.screen()->doneButton(), Qt::LeftButton);
}

void WindowPerson::CloseWindow() {
  host_.screen()->close();
}

}  // namespace velmora::testing
