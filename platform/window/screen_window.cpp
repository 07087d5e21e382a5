#include "platform/window/screen_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

#include "platform/ui/single_instance.h"
#include "platform/window/qt_text.h"
#include "platform/window/screen_geometry.h"
#include "platform/window/screen_style.h"

namespace velmora::window {

namespace {

// How often the window looks for a second start's request to come to the
// front.
constexpr int FrontRequestPollMs = 250;

// The caption bar: the caption from the left, the Done button on the right.
constexpr int CaptionIndent = 6;
constexpr int DoneWidth = 36;
constexpr int DoneMargin = 4;

}  // namespace

ScreenWindow::ScreenWindow() {
  setFixedSize(ScreenWidth, ScreenHeight);
  setFont(ScreenFont());
  setAutoFillBackground(true);
  setWindowIcon(ProgramIcon());

  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("caption"));
  caption_->setTextFormat(Qt::PlainText);
  QPalette captionColours = caption_->palette();
  captionColours.setColor(QPalette::WindowText, CaptionText);
  caption_->setPalette(captionColours);
  QFont bold = font();
  bold.setBold(true);
  caption_->setFont(bold);
  int doneLeft = ScreenWidth - DoneMargin - DoneWidth;
  caption_->setGeometry(CaptionIndent, 0, doneLeft - 2 * CaptionIndent, CaptionHeight);

  done_ = new QPushButton(QStringLiteral("OK"), this);
  done_->setObjectName(QStringLiteral("done"));
  done_->setFocusPolicy(Qt::NoFocus);
  done_->setFont(bold);
  done_->setGeometry(doneLeft, DoneMargin, DoneWidth, CaptionHeight - 2 * DoneMargin);
  done_->setStyleSheet(
      QStringLiteral("QPushButton { color: white; background: transparent; border: 1px solid white;"
                     " border-radius: 9px; }"
                     "QPushButton:pressed { background: rgba(255, 255, 255, 80); }"
                     "QPushButton:disabled { color: #8090b0; border-color: #8090b0; }"));
  QObject::connect(done_, &QPushButton::clicked, this, [this] {
    Act([this] {
      if (DialogPage* page = topPage()) {
        page->dialog().OkCommand();
      }
    });
  });

  QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && now->window() == this && message_ == nullptr && topPage() != nullptr) {
      topPage()->FocusTaken(now);
    }
  });
  qApp->installEventFilter(this);

  QObject::connect(&frontRequests_, &QTimer::timeout, this, [this] {
    if (ui::TakeBringToFrontRequest()) {
      ComeToFront();
    }
  });
  frontRequests_.start(FrontRequestPollMs);
}

ScreenWindow::~ScreenWindow() {
  qApp->removeEventFilter(this);
  SetWaiting(false);
}

void ScreenWindow::RunDialog(ui::Dialog& dialog) {
  if (DialogPage* beneath = topPage()) {
    beneath->hide();
  }
  auto* page = new DialogPage(
      dialog, [this](std::function<void()> action) { Act(action); }, this);
  QEventLoop loop;
  running_.push_back(Running{page, &loop});
  page->show();
  page->Refresh();
  ShowCaption();
  if (!isVisible()) {
    ComeToFront();
  }
  QTimer::singleShot(0, page, [this, &dialog] {
    if (dialogShown && !dialog.ended()) {
      dialogShown(dialog);
    }
  });
  while (!dialog.ended()) {
    loop.exec();
    if (!dialog.ended()) {
      // Not ended by the dialog: the application exits. Leave as closing
      // the window would, and for good.
      Act([&dialog] { dialog.CancelCommand(); });
      if (!dialog.ended()) {
        dialog.EndDialog(ui::EndCancel);
      }
    }
  }
  running_.pop_back();
  delete page;
  if (DialogPage* beneath = topPage()) {
    beneath->show();
    beneath->Refresh();
  }
  ShowCaption();
}

int ScreenWindow::AskMessage(std::u16string_view text, std::u16string_view caption,
                             uint32_t flags) {
  // What the program changed before it asked shows behind the box.
  if (DialogPage* page = topPage()) {
    page->Refresh();
  }
  ShowCaption();
  if (!isVisible()) {
    ComeToFront();
  }
  MessageBox box(text, caption, flags, this);
  QEventLoop loop;
  box.OnAnswer([&loop] { loop.quit(); });
  MessageBox* outer = message_;
  message_ = &box;
  done_->setEnabled(false);
  box.show();
  box.raise();
  box.buttons().front()->setFocus(Qt::OtherFocusReason);
  QTimer::singleShot(0, &box, [this] {
    if (messageShown) {
      messageShown();
    }
  });
  loop.exec();
  if (box.answer() == 0) {
    box.Key(Qt::Key_Escape);  // the application exits: the box's last button
  }
  message_ = outer;
  done_->setEnabled(message_ == nullptr);
  return box.answer();
}

void ScreenWindow::SetWaiting(bool waiting) {
  if (waiting == waiting_) {
    return;
  }
  waiting_ = waiting;
  if (waiting) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void ScreenWindow::ComeToFront() {
  if (isMinimized()) {
    showNormal();
  }
  show();
  raise();
  activateWindow();
}

void ScreenWindow::Act(const std::function<void()>& action) {
  if (message_ != nullptr) {
    return;  // nothing beneath a message box can be used
  }
  action();
  if (running_.empty()) {
    return;
  }
  Running& top = running_.back();
  if (top.page->dialog().ended()) {
    top.loop->quit();
  } else {
    top.page->Refresh();
  }
  ShowCaption();
}

void ScreenWindow::ShowCaption() {
  QString text = topPage() != nullptr ? ToQString(topPage()->dialog().caption()) : QString();
  if (caption_->text() != text) {
    caption_->setText(text);
    setWindowTitle(text);
  }
  done_->setEnabled(message_ == nullptr && topPage() != nullptr);
}

void ScreenWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient bar(0, 0, 0, CaptionHeight);
  bar.setColorAt(0, CaptionTop);
  bar.setColorAt(1, CaptionBottom);
  painter.fillRect(0, 0, width(), CaptionHeight, bar);
}

void ScreenWindow::closeEvent(QCloseEvent* event) {
  // The window stays; closing it is the topmost dialog's cancel command.
  event->ignore();
  Act([this] {
    if (DialogPage* page = topPage()) {
      page->dialog().CancelCommand();
    }
  });
}

bool ScreenWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
    return false;
  }
  auto* receiver = static_cast<QWidget*>(watched);
  if (receiver->window() != this) {
    return false;  // another window, as a drop-down list's
  }
  auto* key = static_cast<QKeyEvent*>(event);
  if (message_ != nullptr) {
    message_->Key(key->key());
  } else if (!DialogKey(receiver, key->key(), key->modifiers())) {
    return false;
  }
  key->accept();
  return true;
}

bool ScreenWindow::DialogKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers) {
  DialogPage* page = topPage();
  if (page == nullptr) {
    return false;
  }
  ui::Dialog& dialog = page->dialog();
  ui::Control* control = page->ControlOf(receiver);
  bool shift = (modifiers & Qt::ShiftModifier) != 0;
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
      bool forward = key == Qt::Key_Tab && !shift;
      Act([&dialog, forward] { dialog.MoveFocus(forward); });
      return true;
    }
    case Qt::Key_Escape:
      Act([&dialog] { dialog.CancelCommand(); });
      return true;
    case Qt::Key_F10:
      Act([&dialog] { dialog.OkCommand(); });
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = dynamic_cast<ui::Button*>(control)) {
        Act([button] { button->Click(); });
      } else if (auto* box = dynamic_cast<ui::CheckBox*>(control)) {
        Act([box] { box->Click(); });
      } else if (dynamic_cast<ui::ComboBox*>(control) != nullptr) {
        static_cast<QComboBox*>(page->WidgetOf(control->id()))->showPopup();
      } else {
        Act([&dialog] { dialog.EnterKey(); });
      }
      return true;
    default:
      return false;
  }
}

}  // namespace velmora::window
