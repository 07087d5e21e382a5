// A message box on the window's screen, as the handheld shows one: a box in
// the middle of the screen with its own caption bar, the exclamation icon
// when asked for, the text (wrapped) and the German buttons "OK", or "Ja"
// and "Nein". It covers the screen while it is open, so that nothing
// beneath it can be used; it is answered by a click or by keys: Enter and
// Space press the focused button, Tab and the arrow keys move between the
// buttons, "j" is "Ja", "n" is "Nein", Escape is the last button ("Nein"
// or "OK").
#pragma once

#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

namespace velmora::window {

class MessageBox final : public QWidget {
 public:
  // flags as for the platform's ShowMessage: 0x04 Yes/No, 0x30 exclamation.
  MessageBox(std::u16string_view text, std::u16string_view caption, uint32_t flags,
             QWidget* screen);

  // The answer once a button was pressed: 1 OK, 6 Yes, 7 No; 0 before.
  int answer() const { return answer_; }
  const std::vector<QPushButton*>& buttons() const { return buttons_; }

  // Called once, when the box was answered.
  void OnAnswer(std::function<void()> answered) { answered_ = std::move(answered); }

  // A key while the box is open (every key goes to the box).
  void Key(int key);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Answer(size_t button);

  std::function<void()> answered_;
  std::vector<QPushButton*> buttons_;
  std::vector<int> answers_;
  int answer_ = 0;
};

}  // namespace velmora::window
