// Pictures of the dialogs as the window shows them, written as PNG files
// into the folder VELMORA_SCREENSHOTS names (under ctest the build
// folder's screenshots/): main.png, logging.png, chooser.png and
// message.png, at the default scale.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cstdlib>

#include "platform/window/screen_geometry.h"
#include "platform/window/screen_style.h"
#include "platform/window/screen_window.h"
#include "tests/window_fixture.h"

namespace velmora {
namespace {

class WindowPictureTest : public testing::WindowFixture {
 protected:
  WindowPictureTest() {
    UseSampleDevice();
    const char* dir = std::getenv("VELMORA_SCREENSHOTS");
    folder_ = dir != nullptr && *dir != '\0' ? QString::fromLocal8Bit(dir)
                                             : QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder_);
  }

  // Saves the screen as name.png and checks what it shows.
  void Save(const QString& name) {
    QImage picture = window_.screen()->grab().toImage();
    double scale = picture.devicePixelRatio();
    QString path = folder_ + "/" + name + ".png";
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
    EXPECT_EQ(scale, DefaultWindowScale);
    EXPECT_EQ(picture.size(), QSize(window::ScreenWidth, window::ScreenHeight) * scale);
    // The caption bar on top, in its blue.
    QColor bar = picture.pixelColor(2, 2);
    EXPECT_GT(bar.blue(), 100) << name.toStdString();
    EXPECT_LT(bar.red(), 100) << name.toStdString();
    saved_ << name;
  }

  QString folder_;
  QStringList saved_;
};

TEST_F(WindowPictureTest, MainLoggingChooserAndAMessageBox) {
  person_.ExpectDialog([&](ui::Dialog&) {
    Save("main");
    person_.Click(1006);  // Erweitert
    person_.Keys({Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
                  Qt::Key_Down});  // "Installiert auf": COM3
    person_.AnswerNext("Nein", [&] { Save("message"); });
    person_.Click(1002);  // Übernehmen
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    Save("logging");
    person_.Click(1008);  // Browse
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    Save("chooser");
    person_.Key(Qt::Key_Escape);
  });
  RunProgram();
  EXPECT_EQ(saved_, (QStringList{"main", "logging", "chooser", "message"}));
}

}  // namespace
}  // namespace velmora
