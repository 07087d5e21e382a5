#include "platform/registry/registry_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "platform/device/device.h"
#include "tests/test_support.h"

namespace velmora::testing {
namespace {

bool Readable(int fd) {
  pollfd wait{fd, POLLIN, 0};
  return ::poll(&wait, 1, 0) == 1 && (wait.revents & POLLIN) != 0;
}

void WriteAt(const std::string& path, int flags, off_t offset) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644));
  ASSERT_TRUE(fd);
  ASSERT_EQ(::pwrite(fd.get(), "x", 1, offset), 1);
}

TEST(RegistryWatchTest, EveryWayAStoreFileChangesIsSeenAndOtherFilesAreNot) {
  struct Case {
    const char* what;
    std::function<void(const TempDir&)> change;
    bool store;
  };
  const Case cases[] = {
      {"an append to the journal",
       [](const TempDir& dir) { WriteAt(dir / "registry.journal", O_APPEND, 0); }, true},
      {"a write in place (a mapped store)",
       [](const TempDir& dir) { WriteAt(dir / "registry.mdb", 0, 4096); }, true},
      {"a snapshot renamed into place",
       [](const TempDir& dir) {
         WriteFileText(dir / "snapshot.tmp", "x");
         ASSERT_EQ(::rename((dir / "snapshot.tmp").c_str(), (dir / "registry.reg").c_str()), 0);
       },
       true},
      {"a new store file", [](const TempDir& dir) { WriteFileText(dir / "registry.lock", ""); },
       true},
      {"another file of the folder",
       [](const TempDir& dir) { WriteFileText(dir / "device.state", "x"); }, false},
      {"a file in a subfolder",
       [](const TempDir& dir) { WriteFileText(dir / "root/registry.reg", "x"); }, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ::mkdir((dir / "root").c_str(), 0755);
    WriteFileText(dir / "registry.journal", "");
    RegistryWatch watch;
    std::string error;
    ASSERT_TRUE(watch.Open(dir.path(), &error)) << error;
    EXPECT_FALSE(Readable(watch.fd())) << c.what;
    EXPECT_FALSE(watch.Drain()) << c.what;
    c.change(dir);
    EXPECT_EQ(watch.Drain(), c.store) << c.what;
    EXPECT_FALSE(Readable(watch.fd())) << c.what << ": drained";
  }
}

TEST(RegistryWatchTest, AChangeThroughAnotherRegistryOfTheDeviceIsSeen) {
  TempDir dir;
  std::string folder = dir / "device";
  std::string error;
  ASSERT_TRUE(Device::CreateSample(folder, &error)) << error;
  std::unique_ptr<Device> reader = Device::Open(folder, &error);
  std::unique_ptr<Device> writer = Device::Open(folder, &error);
  ASSERT_TRUE(reader && writer) << error;
  RegistryWatch watch;
  ASSERT_TRUE(watch.Open(folder, &error)) << error;
  // Reading does not count as a change, so a reader never wakes itself.
  EXPECT_TRUE(KeyExists(reader->registry(), u"Drivers\\Active"));
  EXPECT_FALSE(watch.Drain());
  SetNumber(writer->registry(), u"Drivers\\BuiltIn\\GPS", u"Order", 7);
  EXPECT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.Drain());
}

TEST(RegistryWatchTest, AFolderThatCannotBeWatchedIsAnError) {
  RegistryWatch watch;
  std::string error;
  EXPECT_FALSE(watch.Open("/nonexistent/velmora", &error));
  EXPECT_NE(error.find("/nonexistent/velmora"), std::string::npos) << error;
  EXPECT_FALSE(watch.Drain());
}

}  // namespace
}  // namespace velmora::testing
