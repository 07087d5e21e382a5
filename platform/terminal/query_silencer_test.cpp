#include "platform/terminal/query_silencer.h"

#include <gtest/gtest.h>
#include <sys/select.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace velmora::terminal {
namespace {

TEST(QuerySilencer, DropsTheDetectionQueriesAndKeepsEverythingElse) {
  struct Case {
    std::string written;
    std::string passed;
  };
  for (const Case& c : std::vector<Case>{
           {"\x05\r \b\x1b[>c", ""},
           {"\x1b[?1049h\x1b[>c\x1b[?25l", "\x1b[?1049h\x1b[?25l"},
           {"\x1b]4;0;?\a\x1b]4;255;?\a", ""},
           // Setting a colour is not a query; an OSC 4 without its end stays.
           {"\x1b]4;1;rgb:B9/19/19\x1b\\", "\x1b]4;1;rgb:B9/19/19\x1b\\"},
           {"\x1b]4;1;?", "\x1b]4;1;?"},
           {"\x1b]4;x;?\a", "\x1b]4;x;?\a"},
           {"Velmora\r\n", "Velmora\r\n"},
       }) {
    EXPECT_EQ(QuerySilencer::WithoutQueries(c.written), c.passed);
  }
}

// Standard output into a file for the test's time.
class CapturedOutput {
 public:
  CapturedOutput() {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    std::FILE* file = std::tmpfile();
    fd_ = ::dup(::fileno(file));
    std::fclose(file);
    ::dup2(fd_, STDOUT_FILENO);
  }
  ~CapturedOutput() {
    Restore();
    ::close(fd_);
  }
  std::string Restore() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      ::dup2(saved_, STDOUT_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    std::string text;
    char buffer[256];
    ssize_t n = 0;
    off_t at = 0;
    while ((n = ::pread(fd_, buffer, sizeof buffer, at)) > 0) {
      text.append(buffer, static_cast<size_t>(n));
      at += n;
    }
    return text;
  }

 private:
  int saved_ = -1;
  int fd_ = -1;
};

TEST(QuerySilencer, WaitsForAnswersEndAtOnceAndTheRestReachesTheTerminalAfterwards) {
  CapturedOutput captured;
  int quiet[2];
  ASSERT_EQ(::pipe(quiet), 0);  // a terminal that never answers
  auto started = std::chrono::steady_clock::now();
  {
    QuerySilencer silencer(std::chrono::microseconds(200));
    std::printf("start\x05\r \b");
    std::fflush(stdout);
    fd_set in;
    FD_ZERO(&in);
    FD_SET(quiet[0], &in);
    timeval wait{1, 0};  // the toolkit would wait a second
    EXPECT_LE(::select(quiet[0] + 1, &in, nullptr, nullptr, &wait), 0);
    std::printf("\x1b[>c end");  // left in stdio's buffer: still silenced
  }
  auto waited = std::chrono::steady_clock::now() - started;
  std::string written = captured.Restore();
  EXPECT_EQ(written, "start end");
  EXPECT_LT(waited, std::chrono::milliseconds(900));
  ::close(quiet[0]);
  ::close(quiet[1]);
}

}  // namespace
}  // namespace velmora::terminal
