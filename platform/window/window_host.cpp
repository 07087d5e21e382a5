#include "platform/window/window_host.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text.h"
#include "platform/ui/application.h"
#include "platform/window/screen_geometry.h"
#include "platform/window/screen_style.h"
#include "platform/window/screen_window.h"

namespace velmora::window {

namespace {

// Qt keeps argc and argv for the application's life.
int argumentCount = 1;
std::string programName;
char* arguments[] = {nullptr, nullptr};

// While the Qt application starts: Qt ends the process when it cannot
// reach the display; say so in one line, with the first word of Qt's
// platform layer ("could not connect to display :1") as the reason.
QString startupReason;

void StartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    bool platform =
        context.category != nullptr && QByteArray(context.category).startsWith("qt.qpa");
    if (platform && startupReason.isEmpty()) {
      startupReason = message;
    }
    return;
  }
  QString reason =
      startupReason.isEmpty() ? message.section(QLatin1Char('\n'), 0, 0) : startupReason;
  std::fprintf(stderr, "%s: cannot open a window: %s; start it with --terminal\n",
               programName.c_str(), reason.toLocal8Bit().constData());
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

WindowHost::WindowHost(int scale) : scale_(scale) {}

// The window goes before the application that it belongs to.
WindowHost::~WindowHost() {
  screen_.reset();
  application_.reset();
}

void WindowHost::Open() {
  if (QApplication::instance() == nullptr) {
    programName = ToUtf8(ui::ApplicationTitle());
    if (programName.empty()) {
      programName = "VelmoraCfg";
    }
    arguments[0] = programName.data();
    double factor = scale_;
    if (const char* asked = std::getenv("QT_SCALE_FACTOR")) {
      double times = std::atof(asked);
      factor *= times > 0 ? times : 1.0;
    }
    setenv("QT_SCALE_FACTOR", std::to_string(factor).c_str(), 1);
    QtMessageHandler previous = qInstallMessageHandler(StartupMessage);
    application_ = std::make_unique<QApplication>(argumentCount, arguments);
    qInstallMessageHandler(previous);
    // Qt took the user's locale; numbers stay written and read the C way.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setDesktopFileName(QStringLiteral("velmora-cfg"));
    // The window is never closed: closing it is a dialog's cancel command.
    QApplication::setQuitOnLastWindowClosed(false);
  }
}

ScreenWindow& WindowHost::Start() {
  if (screen_) {
    return *screen_;
  }
  Open();
  QApplication::setStyle(new ScreenStyle());
  QApplication::setPalette(ScreenPalette());
  screen_ = std::make_unique<ScreenWindow>();
  screen_->dialogShown = [this](ui::Dialog& dialog) {
    if (dialogShown_) {
      dialogShown_(dialog);
    }
  };
  screen_->messageShown = [this] {
    if (messageShown_) {
      messageShown_();
    }
  };
  return *screen_;
}

void WindowHost::RunModalLoop(ui::Dialog& dialog) {
  Start().RunDialog(dialog);
}

int WindowHost::ShowMessage(ui::Dialog*, std::u16string_view text, std::u16string_view caption,
                            uint32_t flags) {
  return Start().AskMessage(text, caption, flags);
}

void WindowHost::WaitCursorChanged(bool shown) {
  if (screen_) {
    screen_->SetWaiting(shown);
  } else if (shown) {
    Start().SetWaiting(true);
  }
}

void WindowHost::BringToFront(ui::Dialog&) {
  if (screen_) {
    screen_->ComeToFront();
  }
}

int WindowHost::ListClientWidth(const ui::ListView& list) const {
  return window::ListClientWidth(list.rect(), (list.style() & ui::StyleBorder) != 0);
}

void WindowHost::OnDialogShown(std::function<void(ui::Dialog&)> shown) {
  dialogShown_ = std::move(shown);
}

void WindowHost::OnMessageShown(std::function<void()> shown) {
  messageShown_ = std::move(shown);
}

}  // namespace velmora::window
