#include "tests/window_fixture.h"

#include "platform/ui/application.h"

namespace velmora::testing {

WindowFixture::WindowFixture() {
  windowPlatform_ = ShowIn(window_);
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::RunProgram() {
  ASSERT_NE(ui::Application::Current(), nullptr);
  EXPECT_FALSE(ui::Application::Current()->Start());
  ExpectPersonDone();
}

void WindowFixture::ExpectPersonDone() {
  EXPECT_TRUE(person_.problems().empty()) << person_.problems().front();
  EXPECT_EQ(person_.pendingScripts(), 0u);
}

}  // namespace velmora::testing
