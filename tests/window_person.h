// A person at the window, for tests: every dialog that shows takes the next
// script from a queue and runs it inside its modal loop, and every message
// box takes the next answer; scripts work the real widgets with QTest
// (mouse clicks, keys, typing), never the framework's controls. What a
// script left undone is noted in problems(), and the dialog or box is
// then closed so that a test never hangs.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/window/window_host.h"

class QWidget;

namespace velmora::testing {

class WindowPerson {
 public:
  explicit WindowPerson(window::WindowHost& host);
  ~WindowPerson();

  using Script = std::function<void(ui::Dialog&)>;
  void ExpectDialog(Script script) { scripts_.push_back(std::move(script)); }
  // The next message box is answered with the button reading text, after
  // before (when given) has looked at it; when before answers the box
  // itself (with keys), the button is not pressed.
  void AnswerNext(QString button, std::function<void()> before = {});

  struct Message {
    QString caption;
    QString text;
    QStringList buttons;
    bool exclamation = false;
  };
  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<std::string>& problems() const { return problems_; }
  size_t pendingScripts() const { return scripts_.size(); }

  // The widget of a control of the topmost dialog (fails the test when
  // there is none).
  QWidget* Widget(int id) const;
  // What the screen shows.
  QString Caption() const;
  QString Text(int id) const;       // a label's, button's, check box's or edit's text
  QString ComboText(int id) const;  // the shown choice; "(disabled)" first when disabled
  QStringList ComboItems(int id) const;
  QStringList Rows(int listId) const;  // "COM1 | Belegt | Serial..." with "*" before selected rows
  bool Checked(int id) const;
  bool Enabled(int id) const;
  int FocusedControl() const;  // the control whose widget has the focus, or -1

  // A person's actions, on the topmost dialog's widgets.
  void Click(int id);        // the mouse, at the widget's centre
  void DoubleClick(int id);  // two quick clicks there, as the desktop sends them
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);  // to the focused widget
  void Keys(std::initializer_list<int> keys);
  void Type(const QString& text);                          // into the focused widget
  void ChooseWithMouse(int comboId, const QString& item);  // drop down, click the entry
  void TapRow(int listId, int row);                        // one click on the row
  void DoubleTapRow(int listId, int row);                  // two clicks, as the desktop sends them
  void Done();                                             // the caption's "OK"
  void CloseWindow();                                      // the window manager's close

 private:
  void DialogShown(ui::Dialog& dialog);
  void MessageShown();
  QWidget* RowWidget(int listId, int row, QPoint* at) const;

  window::WindowHost& host_;
  std::deque<Script> scripts_;
  struct Answer {
    QString button;
    std::function<void()> before;
  };
  std::deque<Answer> answers_;
  std::vector<Message> messages_;
  std::vector<std::string> problems_;
};

}  // namespace velmora::testing
