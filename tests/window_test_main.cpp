// The window tests' main: GoogleTest with one Qt application for the
// process, on Qt's offscreen platform unless QT_QPA_PLATFORM names another,
// at the window's default scale as the program draws it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstdlib>
#include <string>

#include "platform/front_end/front_end_choice.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_SCALE_FACTOR", std::to_string(velmora::DefaultWindowScale).c_str(), 1);
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  return RUN_ALL_TESTS();
}
