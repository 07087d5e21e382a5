#include "platform/terminal/terminal_host.h"

#include <final/final.h>

#include <csignal>

#include "platform/platform.h"
#include "platform/terminal/dialog_screen.h"
#include "platform/terminal/query_silencer.h"
#include "platform/ui/dialog.h"
#include "platform/ui/single_instance.h"

namespace velmora::terminal {

namespace {

using finalcut::FColor;
using finalcut::FKey;

// How a style looks: colours, and the attributes that stand in for them
// on a monochrome terminal.
struct Look {
  FColor foreground = FColor::Default;
  FColor background = FColor::Default;
  bool reverse = false;
  bool bold = false;
  bool underline = false;
  bool dim = false;
};

Look ColourLook(Style style) {
  switch (style) {
    case Style::Normal:
      return {FColor::Black, FColor::LightGray};
    case Style::Caption:
      return {FColor::White, FColor::Blue};
    case Style::CaptionButton:
      return {FColor::Yellow, FColor::Blue, false, true};
    case Style::Button:
      return {FColor::Black, FColor::Cyan};
    case Style::Focused:
      return {FColor::White, FColor::Red, false, true};
    case Style::Disabled:
      return {FColor::DarkGray, FColor::LightGray};
    case Style::Field:
      return {FColor::Black, FColor::White};
    case Style::Header:
      return {FColor::White, FColor::DarkGray};
    case Style::Selected:
      return {FColor::White, FColor::DarkGray};
    case Style::SelectedFocused:
      return {FColor::White, FColor::Blue, false, true};
    case Style::Message:
      return {FColor::Black, FColor::LightCyan};
    case Style::MessageButton:
      return {FColor::Black, FColor::Cyan};
  }
  return {};
}

Look MonochromeLook(Style style) {
  Look look;
  switch (style) {
    case Style::Caption:
    case Style::SelectedFocused:
      look.reverse = true;
      break;
    case Style::CaptionButton:
    case Style::Focused:
      look.reverse = true;
      look.bold = true;
      break;
    case Style::Disabled:
      look.dim = true;
      break;
    case Style::Header:
      look.underline = true;
      break;
    case Style::Selected:
      look.bold = true;
      break;
    default:
      break;
  }
  return look;
}

KeyPress Translate(FKey key) {
  switch (key) {
    case FKey::Tab:
      return {Key::Tab};
    case FKey::Back_tab:
      return {Key::BackTab};
    case FKey::Return:
    case FKey::Enter:
      return {Key::Enter};
    case FKey::Space:
      return {Key::Space};
    case FKey::Escape:
    case FKey::Escape_mintty:
      return {Key::Escape};
    case FKey::F1:
      return {Key::Help};
    case FKey::F2:
      return {Key::DoubleTap};
    case FKey::F10:
      return {Key::Done};
    case FKey::Up:
      return {Key::Up};
    case FKey::Down:
      return {Key::Down};
    case FKey::Left:
      return {Key::Left};
    case FKey::Right:
      return {Key::Right};
    case FKey::Page_up:
      return {Key::PageUp};
    case FKey::Page_down:
      return {Key::PageDown};
    case FKey::Home:
      return {Key::Home};
    case FKey::End:
      return {Key::End};
    case FKey::Del_char:
      return {Key::Delete};
    case FKey::Backspace:
    case FKey::Erase:
      return {Key::Backspace};
    case FKey::Shift_left:
      return {Key::ScrollLeft};
    case FKey::Shift_right:
      return {Key::ScrollRight};
    case FKey::Ctrl_c:
      return {Key::Interrupt};
    default:
      break;
  }
  auto code = static_cast<uint32_t>(key);
  if (code == 0x7F) {
    return {Key::Backspace};
  }
  if (code >= 0x20 && code < 0xD800) {
    return {Key::Character, static_cast<char16_t>(code)};
  }
  return {};
}

// The toolkit's start-up options: no colour palette of its own (the
// terminal keeps its colours) and no font and title queries. Its terminal
// detection cannot be switched off in FINAL CUT 0.8 (the option is reset
// before the detection runs); QuerySilencer keeps it from the terminal.
// What the front end needs comes without asking: UTF-8 from the locale
// (see TerminalSession), colours and the mouse from the terminfo entry.
char programName[] = "velmora";
char noDetection[] = "--no-terminal-detection";
char noDataRequest[] = "--no-terminal-data-request";
char noColorChange[] = "--no-color-change";
char* arguments[] = {programName, noDetection, noDataRequest, noColorChange, nullptr};
int argumentCount = 4;

// Gives a widget the terminal's whole size. The toolkit's adjustSize is
// not called from here (adjust = false): the callers are adjustSize
// themselves, and the toolkit's own adjustSize, which follows, shrinks a
// widget to its parent; calling it again would go on for ever.
void FitToTerminal(finalcut::FWidget& widget) {
  widget.setGeometry(finalcut::FPoint{1, 1},
                     finalcut::FSize{widget.getDesktopWidth(), widget.getDesktopHeight()}, false);
}

// How long the detection waits for each answer that cannot come.
constexpr auto AnswerWait = std::chrono::microseconds(200);
constexpr uint64_t KeyPollMicroseconds = 25000;

}  // namespace

// The toolkit's window that holds the screen, as large as the terminal.
class TerminalHost::Frame final : public finalcut::FWindow {
 public:
  explicit Frame(finalcut::FApplication& app) : finalcut::FWindow(&app) { FitToTerminal(*this); }

 protected:
  // The terminal changed its size: the window takes the new size first,
  // then the toolkit fits the screen inside it.
  void adjustSize() override {
    FitToTerminal(*this);
    finalcut::FWindow::adjustSize();
  }
};

// Draws DialogScreen's picture and gives it the keys and the mouse. A
// widget inside the window, not the window itself: only such a widget can
// show the text cursor.
class TerminalHost::Screen final : public finalcut::FWidget {
 public:
  Screen(TerminalHost& host, finalcut::FApplication& app, Frame& frame)
      : finalcut::FWidget(&frame), host_(host), app_(app), frame_(frame), screen_(host) {
    setFocusable(true);
    FitToTerminal(*this);
    monochrome_ = finalcut::FVTerm::getFOutput()->getMaxColor() < 8;
    addTimer(100);
  }

  void Show() {
    finalcut::FWidget::setMainWidget(&frame_);
    frame_.show();
    setFocus();
    Repaint();
  }

  // Runs the event loop until done() holds.
  template <class Done>
  void LoopUntil(Done done) {
    Repaint();
    while (!done()) {
      app_.enterLoop();
    }
    Repaint();
  }

  int AskMessage(MessageState message) {
    screen_.OpenMessage(std::move(message));
    LoopUntil([&] { return screen_.Answer() != 0; });
    int answer = screen_.CloseMessage();
    Repaint();
    return answer;
  }

  void SetWaiting(bool waiting) {
    screen_.SetWaiting(waiting);
    Repaint();
  }

  void Repaint() {
    redraw();
    flush();
  }

 protected:
  void draw() override {
    int width = static_cast<int>(getDesktopWidth());
    int height = static_cast<int>(getDesktopHeight());
    screen_.Resize(width, height);
    Canvas canvas(width, height);
    screen_.Draw(canvas);
    for (int row = 0; row < height; ++row) {
      setPrintPos(finalcut::FPoint{1, row + 1});
      for (int col = 0; col < width; ++col) {
        const Cell& cell = canvas.At(col, row);
        Look look = monochrome_ ? MonochromeLook(cell.style) : ColourLook(cell.style);
        setNormal();
        setColor(look.foreground, look.background);
        setReverse(look.reverse);
        setBold(look.bold);
        setUnderline(look.underline);
        setDim(look.dim);
        print(static_cast<wchar_t>(cell.ch));
      }
    }
    setNormal();
    // The text cursor stands in the focused text field (the visibility
    // first: placing the cursor takes it along).
    setVisibleCursor(canvas.hasCursor());
    if (canvas.hasCursor()) {
      setCursorPos(finalcut::FPoint{canvas.cursorCol() + 1, canvas.cursorRow() + 1});
    } else {
      unsetCursorPos();
    }
  }

  void onKeyPress(finalcut::FKeyEvent* event) override {
    event->accept();
    if (!screen_.Press(Translate(event->key()))) {
      host_.session_.EndBySignal(SIGINT);  // Ctrl+C, which the raw mode does not signal
    }
    AfterEvent();
  }

  void onMouseDown(finalcut::FMouseEvent* event) override {
    if (event->getButton() == finalcut::MouseButton::Left) {
      screen_.Click(event->getX() - 1, event->getY() - 1, false);
      AfterEvent();
    }
  }

  void onMouseDoubleClick(finalcut::FMouseEvent* event) override {
    if (event->getButton() == finalcut::MouseButton::Left) {
      screen_.Click(event->getX() - 1, event->getY() - 1, true);
      AfterEvent();
    }
  }

  void onWheel(finalcut::FWheelEvent* event) override {
    int by = event->getWheel() == finalcut::MouseWheel::Up ? -1 : 1;
    screen_.Wheel(event->getX() - 1, event->getY() - 1, by);
    AfterEvent();
  }

  void onTimer(finalcut::FTimerEvent*) override {
    if (int signal = TerminalSession::TakePendingSignal()) {
      host_.session_.EndBySignal(signal);
    }
    if (ui::TakeBringToFrontRequest()) {
      finalcut::FVTerm::getFOutput()->beep();
      Repaint();
    }
  }

  // The terminal changed its size: the screen follows it (and draw()
  // lays the dialog out anew at the next repaint).
  void adjustSize() override {
    FitToTerminal(*this);
    finalcut::FWidget::adjustSize();
  }

 private:
  // After every event: leave the innermost loop when what it waits for came.
  void AfterEvent() {
    ui::Dialog* top = host_.Topmost();
    bool answered = screen_.Answer() != 0;
    if (answered || (top != nullptr && top->ended())) {
      app_.exitLoop();
    }
    Repaint();
  }

  TerminalHost& host_;
  finalcut::FApplication& app_;
  Frame& frame_;
  DialogScreen screen_;
  bool monochrome_ = false;
};

TerminalHost::TerminalHost() = default;

// The screen goes before its window and both before the toolkit, and all
// before the process exits: the toolkit's own state must outlive them.
TerminalHost::~TerminalHost() {
  screen_.reset();
  frame_.reset();
  toolkit_.reset();
}

bool TerminalHost::Open(std::string* error) {
  return session_.Open(error);
}

TerminalHost::Screen& TerminalHost::Start() {
  if (!screen_) {
    toolkit_ = std::make_unique<finalcut::FApplication>(argumentCount, arguments);
    {
      QuerySilencer silencer(AnswerWait);
      toolkit_->initTerminal();
      session_.ToolkitStarted();  // before the terminal sees the toolkit's set-up
    }
    // The toolkit looks for keys every KeyPollMicroseconds while idle (its
    // own default of 100 ms made typing feel late).
    finalcut::FKeyboard::setReadBlockingTime(KeyPollMicroseconds);
    frame_ = std::make_unique<Frame>(*toolkit_);
    screen_ = std::make_unique<Screen>(*this, *toolkit_, *frame_);
    screen_->Show();
  }
  return *screen_;
}

void TerminalHost::RunModalLoop(ui::Dialog& dialog) {
  Start().LoopUntil([&] { return dialog.ended(); });
}

int TerminalHost::ShowMessage(ui::Dialog*, std::u16string_view text, std::u16string_view caption,
                              uint32_t flags) {
  MessageState message;
  message.caption = caption;
  message.text = text;
  message.yesNo = (flags & 0x0F) == MessageYesNo;
  return Start().AskMessage(std::move(message));
}

void TerminalHost::WaitCursorChanged(bool shown) {
  if (screen_) {
    screen_->SetWaiting(shown);
  }
}

void TerminalHost::BringToFront(ui::Dialog&) {
  if (screen_) {
    screen_->Repaint();
  }
}

}  // namespace velmora::terminal
