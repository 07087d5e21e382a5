// The window tests' main: GoogleTest with one Qt application for the
// process, on Qt's offscreen platform unless QT_QPA_PLATFORM names another,
// at the window's default scale as the program draws it.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "platform/front_end/front_end_choice.h"

// Fontconfig (under Qt's font database) keeps its caches until the process
// is gone; the leak checker of the sanitizer build is told so.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_SCALE_FACTOR", std::to_string(velmora::DefaultWindowScale).c_str(), 1);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
