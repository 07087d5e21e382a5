// What the window does besides showing the controls: the caption's Done
// button, closing the window, message boxes, the wait cursor, a second
// start's request to come to the front, and where the controls sit.
#include "platform/window/window_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <csignal>

#include "app/config_dialog.h"
#include "driver/driver_names.h"
#include "platform/ui/application.h"
#include "platform/ui/single_instance.h"
#include "platform/window/screen_geometry.h"
#include "platform/window/screen_window.h"
#include "tests/window_fixture.h"

namespace velmora {
namespace {

constexpr int PortList = 1000;
constexpr int AdvancedButton = 1006;

class WindowHostTest : public testing::WindowFixture {
 protected:
  WindowHostTest() { UseSampleDevice(); }

  // Runs the main dialog with script (the scripts of dialogs it opens are
  // queued after it); returns its end code.
  int RunMain(testing::WindowPerson::Script script,
              std::vector<testing::WindowPerson::Script> opened = {}) {
    person_.ExpectDialog(std::move(script));
    for (auto& next : opened) {
      person_.ExpectDialog(std::move(next));
    }
    ConfigDialog dialog;
    int result = dialog.RunModal();
    ExpectPersonDone();
    return result;
  }
};

TEST_F(WindowHostTest, TheCaptionsDoneButtonAndF10AreTheOkCommandEscapeTheCancelCommand) {
  EXPECT_EQ(RunMain([&](ui::Dialog&) { person_.Done(); }), ui::EndOk);
  EXPECT_EQ(RunMain([&](ui::Dialog&) { person_.Key(Qt::Key_F10); }), ui::EndOk);
  EXPECT_EQ(RunMain([&](ui::Dialog&) { person_.Key(Qt::Key_Escape); }), ui::EndCancel);
  EXPECT_EQ(RunMain([&](ui::Dialog&) { person_.Click(2); }), ui::EndCancel);
}

TEST_F(WindowHostTest, ClosingTheWindowIsTheTopmostDialogsCancelCommand) {
  bool mainStillRuns = false;
  int result = RunMain(
      [&](ui::Dialog& main) {
        person_.Click(AdvancedButton);
        mainStillRuns = !main.ended();
        EXPECT_EQ(person_.Caption(), "Velmora 2.1.0.4 Configuration");
        person_.CloseWindow();
      },
      {[&](ui::Dialog&) {
        EXPECT_EQ(person_.Caption(), "VelmoraCfg");
        person_.CloseWindow();
      }});
  EXPECT_EQ(result, ui::EndCancel);
  EXPECT_TRUE(mainStillRuns);
}

TEST_F(WindowHostTest, AMessageBoxTakesEveryKeyAndClickUntilItIsAnswered) {
  struct Case {
    std::vector<int> keys;
    int answer;
  } cases[] = {
      {{Qt::Key_Return}, AnswerYes},
      {{Qt::Key_Escape}, AnswerNo},
      {{Qt::Key_N}, AnswerNo},
      {{Qt::Key_J}, AnswerYes},
      {{Qt::Key_Tab, Qt::Key_Space}, AnswerNo},
      {{Qt::Key_Right, Qt::Key_Right, Qt::Key_Return}, AnswerYes},
  };
  for (const Case& c : cases) {
    int answer = 0;
    bool doneWasOff = false;
    person_.AnswerNext("", [&] {
      // Beneath the box nothing answers: the Done button is off.
      doneWasOff = !window_.screen()->doneButton()->isEnabled();
      person_.Done();
      for (int key : c.keys) {
        person_.Key(key);
      }
    });
    RunMain([&](ui::Dialog& d) {
      answer = ShowMessage(&d, u"Weiter?", u"Frage", MessageYesNo | MessageIconExclamation);
      EXPECT_FALSE(d.ended());
      EXPECT_TRUE(window_.screen()->doneButton()->isEnabled());
      person_.Key(Qt::Key_Escape);
    });
    EXPECT_EQ(answer, c.answer) << c.keys.size() << " keys, first " << c.keys.front();
    EXPECT_TRUE(doneWasOff);
  }
  int ok = 0;
  person_.AnswerNext("", [&] { person_.Key(Qt::Key_Escape); });
  RunMain([&](ui::Dialog& d) {
    ok = ShowMessage(&d, u"Fertig.", u"", MessageOk);
    person_.Key(Qt::Key_Escape);
  });
  EXPECT_EQ(ok, AnswerOk);
  ASSERT_FALSE(person_.messages().empty());
  const testing::WindowPerson::Message& last = person_.messages().back();
  EXPECT_EQ(last.caption, QString::fromStdU16String(ui::ApplicationTitle()));
  EXPECT_EQ(last.buttons, QStringList{"OK"});
  EXPECT_FALSE(last.exclamation);
  EXPECT_TRUE(person_.messages().front().exclamation);
}

TEST_F(WindowHostTest, TheWindowCarriesTheProgramsIconAndTheDialogsCaption) {
  RunMain([&](ui::Dialog&) {
    window::ScreenWindow* screen = window_.screen();
    EXPECT_EQ(screen->windowTitle(), "Velmora 2.1.0.4 Configuration");
    EXPECT_FALSE(screen->windowIcon().pixmap(32).isNull());
    person_.Key(Qt::Key_Escape);
  });
}

TEST_F(WindowHostTest, TheWaitCursorIsTheDesktopsBusyCursor) {
  RunMain([&](ui::Dialog&) {
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
      ui::ScopedWaitCursor wait;
      ASSERT_NE(QApplication::overrideCursor(), nullptr);
      EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    person_.Key(Qt::Key_Escape);
  });
}

TEST_F(WindowHostTest, ASecondStartsRequestBringsTheWindowBack) {
  testing::TempDir device;
  ui::SingleInstance instance(device.path());
  ASSERT_TRUE(instance.IsFirst());
  RunMain([&](ui::Dialog&) {
    window::ScreenWindow* screen = window_.screen();
    screen->showMinimized();
    ASSERT_TRUE(screen->isMinimized());
    ASSERT_EQ(::kill(::getpid(), SIGUSR1), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !screen->isMinimized(); }, 10000));
    EXPECT_TRUE(screen->isVisible());
    person_.Key(Qt::Key_Escape);
  });
}

TEST_F(WindowHostTest, ControlsSitAtTheirTemplateRectanglesAndListsAtTheirPixelWidths) {
  RunMain(
      [&](ui::Dialog&) {
        EXPECT_EQ(person_.Widget(PortList)->geometry(), QRect(3, 21, 161, 106));
        EXPECT_EQ(person_.Widget(1002)->geometry(), QRect(165, 46, 63, 19));
        // A drop-down list shows closed at the height of one line.
        EXPECT_EQ(person_.Widget(1003)->geometry(), QRect(105, 130, 60, window::ComboClosedHeight));
        auto* list = qobject_cast<QTreeWidget*>(person_.Widget(PortList));
        EXPECT_EQ(list->header()->sectionSize(0), 50);
        EXPECT_EQ(list->header()->sectionSize(1), 80);
        EXPECT_EQ(list->header()->sectionSize(2), 200);
        // Wider than the list: it scrolls sideways, also with Shift+Right.
        QScrollBar* sideways = list->horizontalScrollBar();
        EXPECT_GT(sideways->maximum(), 0);
        person_.Key(Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_GT(sideways->value(), 0);
        person_.Click(AdvancedButton);
        person_.Key(Qt::Key_Escape);
      },
      {[&](ui::Dialog&) {
         person_.Click(1008);  // Browse
         person_.Key(Qt::Key_Escape);
       },
       [&](ui::Dialog&) {
         // The chooser's columns fill its list exactly.
         auto* list = qobject_cast<QTreeWidget*>(person_.Widget(1020));
         EXPECT_EQ(list->header()->sectionSize(0) + list->header()->sectionSize(1),
                   list->viewport()->width());
         EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
         // The folder: read-only, without a border; the hidden default button.
         auto* folder = qobject_cast<QLineEdit*>(person_.Widget(1043));
         EXPECT_TRUE(folder->isReadOnly());
         EXPECT_FALSE(folder->hasFrame());
         EXPECT_EQ(folder->focusPolicy(), Qt::NoFocus);  // no cursor where typing does nothing
         person_.Click(1043);
         EXPECT_FALSE(folder->hasFocus());
         auto* hidden = qobject_cast<QPushButton*>(person_.Widget(1));
         EXPECT_FALSE(hidden->isVisible());
         EXPECT_TRUE(hidden->isDefault());
         person_.Key(Qt::Key_Escape);
       }});
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The application's event loops ended from outside (the application
// exits) end every running dialog as its cancel command and answer a
// message box with its last button. It runs in a process of its own: the
// application stays exiting.
TEST(WindowQuitDeathTest, TheApplicationExitingCancelsEveryDialog) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        window::WindowHost host;
        PlatformServices services;
        services.ui = &host;
        ScopedPlatform platform(services);
        ui::DialogTemplate layout;
        layout.id = 900;
        layout.caption = u"Außen";
        ui::Dialog outer(layout);
        layout.id = 901;
        ui::Dialog inner(layout);
        int answer = 0;
        host.OnDialogShown([&](ui::Dialog& shown) {
          if (&shown == &outer) {
            inner.RunModal();
            answer = ShowMessage(&outer, u"Weiter?", u"", MessageYesNo);
          } else {
            QCoreApplication::exit(0);
          }
        });
        bool ok = outer.RunModal() == ui::EndCancel && inner.endCode() == ui::EndCancel &&
                  answer == AnswerNo;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velmora
