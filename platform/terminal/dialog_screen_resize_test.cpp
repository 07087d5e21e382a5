// The screen follows every size the terminal takes, growing, shrinking and
// jumping about: after any row of resizes the picture is the one a screen
// started at that size draws (nothing of an earlier size is left), the
// caption's "[OK]" stands at the right end, and below the smallest size the
// screen says which size is needed and how to leave.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "platform/dialog_templates.h"
#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/terminal/dialog_screen.h"
#include "platform/terminal/test_dialogs.h"
#include "platform/text.h"

namespace velmora::terminal {
namespace {

class PlainDialog final : public ui::Dialog {
 public:
  explicit PlainDialog(int id) : ui::Dialog(DialogTemplateById(id)) {}
};

struct Size {
  int width;
  int height;
};

// 20 x 8 up to 200 x 60 one step at a time, back down again, then 200
// random sizes in that range (the same ones every run).
std::vector<Size> Sizes() {
  std::vector<Size> sizes;
  for (int step = 0; step <= 60; ++step) {
    sizes.push_back(Size{20 + step * 3, 8 + step * 52 / 60});
  }
  for (int step = 60; step >= 0; --step) {
    sizes.push_back(Size{20 + step * 3, 8 + step * 52 / 60});
  }
  std::mt19937 random(19);
  std::uniform_int_distribution<int> width(20, 200);
  std::uniform_int_distribution<int> height(8, 60);
  for (int i = 0; i < 200; ++i) {
    sizes.push_back(Size{width(random), height(random)});
  }
  return sizes;
}

enum class Over { Nothing, Help, Message };

struct Case {
  int templateId;
  Over over;
};

class DialogScreenResize : public ::testing::TestWithParam<Case> {
 protected:
  DialogScreenResize() {
    PlatformServices services;
    services.ui = &host_;
    platform_ = std::make_unique<ScopedPlatform>(services);
  }

  // What a person sees on a screen prepared by prepare, at width x height.
  static std::string Picture(DialogScreen& screen) {
    Canvas canvas(screen.width(), screen.height());
    screen.Draw(canvas);
    return canvas.Text();
  }

  static void Prepare(DialogScreen& screen, Over over) {
    if (over == Over::Help) {
      screen.Press(KeyPress{Key::Help});
    } else if (over == Over::Message) {
      MessageState message;
      message.text = u"Wollen Sie die Installation fortsetzen?";
      message.yesNo = true;
      screen.OpenMessage(message);
    }
  }

  ui::HeadlessHost host_;
  std::unique_ptr<ScopedPlatform> platform_;
};

TEST_P(DialogScreenResize, EverySizeDrawsWhatAFreshScreenOfThatSizeDraws) {
  Case c = GetParam();
  PlainDialog dialog(c.templateId);
  host_.ExpectDialog([&](ui::Dialog& d) {
    if (c.templateId == MainDialogTemplate) {
      FillPorts(d);
    }
    DialogScreen screen(host_);
    Prepare(screen, c.over);
    int small = 0;
    for (Size size : Sizes()) {
      screen.Resize(size.width, size.height);
      std::string picture = Picture(screen);
      DialogScreen fresh(host_);
      fresh.Resize(size.width, size.height);
      Prepare(fresh, c.over);
      ASSERT_EQ(picture, Picture(fresh)) << size.width << " x " << size.height;
      Canvas canvas(size.width, size.height);
      screen.Draw(canvas);
      if (screen.tooSmall()) {
        ++small;
        EXPECT_NE(picture.find("indestens"), std::string::npos) << picture;
        EXPECT_NE(picture.find("Esc: "), std::string::npos) << picture;
        continue;
      }
      std::string caption = canvas.RowText(0);
      std::u16string wide = FromUtf8(caption);
      EXPECT_EQ(static_cast<int>(wide.find(u"[OK]")), size.width - 5)
          << size.width << " x " << size.height << "\n"
          << picture;
    }
    EXPECT_GT(small, 0);  // the rows went below the smallest size, too
    d.CancelCommand();
  });
  dialog.RunModal();
  EXPECT_TRUE(host_.problems().empty());
}

INSTANTIATE_TEST_SUITE_P(Terminal, DialogScreenResize,
                         ::testing::Values(Case{MainDialogTemplate, Over::Nothing},
                                           Case{MainDialogTemplate, Over::Help},
                                           Case{MainDialogTemplate, Over::Message},
                                           Case{LogSettingsTemplate, Over::Nothing},
                                           Case{FileChooserTemplate, Over::Nothing}));

}  // namespace
}  // namespace velmora::terminal
