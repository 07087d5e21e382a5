#include "platform/files/open_beneath.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

// Every case runs with the kernel's openat2 and with the component walk.
class OpenBeneathTest : public ::testing::TestWithParam<BeneathResolver> {
 protected:
  void SetUp() override {
    SetBeneathResolver(GetParam());
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((root_ + "/a").c_str(), 0755);
    ::mkdir((root_ + "/a/b").c_str(), 0755);
    WriteFileText(root_ + "/a/b/file", "inside");
    WriteFileText(dir_ / "secret", "outside");
    Link("../b/file", "a/b/self");  // relative, stays inside
    Link("a/b", "tob");
    Link("tob/../../a", "round");  // up and down again, never above the root
    Link("../secret", "out");
    Link((dir_ / "secret").c_str(), "absolute");
    Link(root_ + "/a/b/file", "absoluteInside");
    Link("loop", "loop");
    Link("missing", "dangling");
    rootFd_.Reset(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  void TearDown() override { SetBeneathResolver(BeneathResolver::Auto); }

  void Link(const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), (root_ + "/" + name).c_str()), 0) << name;
  }

  // What opening the path for reading gives: its text, or the errno name.
  std::string Open(const std::string& path, int flags = O_RDONLY) {
    UniqueFd fd = OpenBeneath(rootFd_.get(), path, flags);
    if (!fd.valid()) {
      return std::string("error ") + ::strerrorname_np(errno);
    }
    struct stat info {};
    ::fstat(fd.get(), &info);
    if (S_ISDIR(info.st_mode)) {
      return "folder";
    }
    if (S_ISLNK(info.st_mode)) {
      return "link";
    }
    char buffer[64] = {};
    return ::read(fd.get(), buffer, sizeof buffer - 1) >= 0 ? buffer : "unreadable";
  }

  TempDir dir_;
  std::string root_ = dir_ / "root";
  UniqueFd rootFd_;
};

TEST_P(OpenBeneathTest, FollowsLinksThatStayInside) {
  EXPECT_EQ(Open(""), "folder");
  EXPECT_EQ(Open("a/b/file"), "inside");
  EXPECT_EQ(Open("a/b/self"), "inside");
  EXPECT_EQ(Open("tob/file"), "inside");
  EXPECT_EQ(Open("round/b/file"), "inside");
  EXPECT_EQ(Open("tob", O_RDONLY | O_DIRECTORY), "folder");
  EXPECT_EQ(Open("a/b/self", O_PATH | O_NOFOLLOW), "link");
}

TEST_P(OpenBeneathTest, RefusesEveryWayOut) {
  EXPECT_EQ(Open("../secret"), "error EXDEV");
  EXPECT_EQ(Open("a/../../secret"), "error EXDEV");
  EXPECT_EQ(Open("out"), "error EXDEV");
  EXPECT_EQ(Open("absolute"), "error EXDEV");
  EXPECT_EQ(Open("absoluteInside"), "error EXDEV");  // absolute links are refused
  EXPECT_EQ(Open("out", O_PATH), "error EXDEV");
  EXPECT_EQ(Open("loop"), "error ELOOP");
  EXPECT_EQ(Open("dangling"), "error ENOENT");
  EXPECT_EQ(Open("a/b/self", O_RDONLY | O_NOFOLLOW), "error ELOOP");
  EXPECT_EQ(Open("a/b/file/x"), "error ENOTDIR");
}

INSTANTIATE_TEST_SUITE_P(Resolvers, OpenBeneathTest,
                         ::testing::Values(BeneathResolver::Auto, BeneathResolver::ComponentWalk),
                         [](const ::testing::TestParamInfo<BeneathResolver>& info) {
                           return info.param == BeneathResolver::Auto ? "Openat2" : "ComponentWalk";
                         });

}  // namespace
}  // namespace velmora
