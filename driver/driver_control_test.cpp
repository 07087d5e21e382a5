#include "driver/driver_control.h"

#include <gtest/gtest.h>

#include "driver/driver_names.h"
#include "tests/device_fixture.h"
#include "tests/registry_changed_meanwhile.h"

namespace velmora {
namespace {

using testing::SetNumber;
using testing::SetString;

// Device files whose renames fail on request, to cut the DLL swap short.
class FailingRenames final : public PlatformFiles {
 public:
  explicit FailingRenames(PlatformFiles& inner) : inner_(inner) {}
  int failAtRename = -1;  // the number (from 0) of the rename that fails
  int renames = 0;

  uint32_t FileAttributes(std::u16string_view path) override { return inner_.FileAttributes(path); }
  bool RemoveFile(std::u16string_view path) override { return inner_.RemoveFile(path); }
  bool RenameFile(std::u16string_view from, std::u16string_view to) override {
    return renames++ != failAtRename && inner_.RenameFile(from, to);
  }
  bool MakeDirectory(std::u16string_view path) override { return inner_.MakeDirectory(path); }
  SearchHandle FindFirst(std::u16string_view pattern, FindData* data) override {
    return inner_.FindFirst(pattern, data);
  }
  int FindNext(SearchHandle handle, FindData* data) override {
    return inner_.FindNext(handle, data);
  }
  void FindEnd(SearchHandle handle) override { inner_.FindEnd(handle); }

 private:
  PlatformFiles& inner_;
};

class DriverControlTest : public testing::DeviceFixture {
 protected:
  void InstallDriverKey() {
    SetString(hive_, DriverKeyPath, u"Prefix", u"COM");
    SetString(hive_, DriverKeyPath, u"Dll", DriverDllName);
    SetNumber(hive_, DriverKeyPath, u"Index", 5);
    PutFile(InstalledDllPath, "old");
  }
};

TEST_F(DriverControlTest, StopDriverStopsOnlyTheLastExactMatch) {
  AddActiveEntry(u"01", u"COM5:", 11, DriverKeyPath);
  AddActiveEntry(u"02", u"COM6:", 12, u"drivers\\builtin\\velmora");  // case differs
  AddActiveEntry(u"03", u"COM8:", 13, DriverKeyPath);
  EXPECT_TRUE(StopDriver());
  EXPECT_EQ(devices_.log().back(), "deactivate 13");
  EXPECT_EQ(RunningPorts(), "COM5: Drivers\\BuiltIn\\Velmora\nCOM6: drivers\\builtin\\velmora\n");
}

// Another process stops entry 02 and starts the driver again as 04 while
// StopDriver looks at 01: enumerating one entry at a time it reads 03 and
// then 04, and stops the instance that the step-by-step algorithm finds last.
TEST_F(DriverControlTest, StopDriverEnumeratesEachEntryAfterTheOneBeforeIsDone) {
  AddActiveEntry(u"01", u"COM5:", 11, DriverKeyPath);
  AddActiveEntry(u"02", u"COM6:", 12, u"Drivers\\Other");
  AddActiveEntry(u"03", u"COM8:", 13, DriverKeyPath);
  FaultyRegistry program(hive_);  // records the program's calls only
  testing::RegistryChangedMeanwhile meanwhile(program);
  meanwhile.BeforeOpening(u"01", [&] {
    ASSERT_EQ(hive_.DeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\02"), StatusSuccess);
    AddActiveEntry(u"04", u"COM9:", 14, DriverKeyPath);
  });
  auto platform = SeeRegistry(meanwhile);
  EXPECT_TRUE(StopDriver());
  EXPECT_EQ(devices_.log().back(), "deactivate 14");
  EXPECT_EQ(testing::KeyCalls(program.calls(), "Drivers\\Active"),
            "OpenKey, EnumSubkey, OpenKey 01, CloseKey 01, EnumSubkey, OpenKey 03, CloseKey 03, "
            "EnumSubkey, OpenKey 04, CloseKey 04, EnumSubkey, CloseKey");
}

TEST_F(DriverControlTest, StopDriverWithoutARunningInstanceIsFalse) {
  AddActiveEntry(u"01", u"COM6:", 12, u"drivers\\builtin\\velmora");
  EXPECT_FALSE(StopDriver());
  EXPECT_TRUE(devices_.log().empty());
}

TEST_F(DriverControlTest, StartDriverActivatesTheDriversKey) {
  EXPECT_FALSE(StartDriver());
  InstallDriverKey();
  EXPECT_TRUE(StartDriver());
  EXPECT_EQ(RunningPorts(), "COM5: Drivers\\BuiltIn\\Velmora\n");
}

TEST_F(DriverControlTest, NoPendingUpdateTouchesNothing) {
  InstallDriverKey();
  StartDriver();
  registry_.ClearCalls();
  EXPECT_FALSE(CompletePendingUpdate());
  EXPECT_TRUE(registry_.calls().empty());
  EXPECT_EQ(FileBytes(InstalledDllPath), "old");
}

TEST_F(DriverControlTest, PendingUpdateWithTheDriverRunningRestartsIt) {
  InstallDriverKey();
  StartDriver();
  PutFile(PendingDllPath, "new");
  EXPECT_TRUE(CompletePendingUpdate());
  EXPECT_EQ(FileBytes(InstalledDllPath), "new");
  EXPECT_FALSE(FileExists(PendingDllPath));
  EXPECT_FALSE(FileExists(AsideDllPath));
  ASSERT_EQ(devices_.log().size(), 3u);
  EXPECT_EQ(devices_.log()[1], "deactivate 1001");
  EXPECT_EQ(devices_.log()[2], "activate Drivers\\BuiltIn\\Velmora -> 1002 COM5:");
}

TEST_F(DriverControlTest, PendingUpdateWithTheDriverStoppedLeavesItStopped) {
  InstallDriverKey();
  PutFile(PendingDllPath, "new");
  EXPECT_TRUE(CompletePendingUpdate());
  EXPECT_EQ(FileBytes(InstalledDllPath), "new");
  EXPECT_TRUE(devices_.log().empty());
}

TEST_F(DriverControlTest, AFailedRenameNeverLosesTheInstalledDll) {
  struct Case {
    int failAt;
    const char* installed;
    bool pendingLeft;
  };
  // Rename 0 moves the installed DLL aside, rename 1 moves the new one in.
  const Case cases[] = {{0, "old", true}, {1, "old", true}};
  for (const Case& c : cases) {
    InstallDriverKey();
    files_.RemoveFile(AsideDllPath);
    PutFile(PendingDllPath, "new");
    FailingRenames failing(files_);
    failing.failAtRename = c.failAt;
    PlatformServices services{&registry_, &devices_, &failing, &versions_, &host_};
    ScopedPlatform scoped(services);
    EXPECT_TRUE(CompletePendingUpdate()) << c.failAt;
    EXPECT_EQ(FileBytes(InstalledDllPath), c.installed) << c.failAt;
    EXPECT_EQ(FileExists(PendingDllPath), c.pendingLeft) << c.failAt;
    EXPECT_FALSE(FileExists(AsideDllPath)) << c.failAt;
  }
}

TEST_F(DriverControlTest, AStartAfterACutShortSwapPutsTheOldDllBackFirst) {
  InstallDriverKey();
  ASSERT_TRUE(files_.RenameFile(InstalledDllPath, AsideDllPath));  // the swap stopped here
  PutFile(PendingDllPath, "new");
  EXPECT_TRUE(CompletePendingUpdate());
  EXPECT_EQ(FileBytes(InstalledDllPath), "new");
  EXPECT_FALSE(FileExists(AsideDllPath));

  // Stopped later: both DLLs there and an aside copy left over.
  PutFile(AsideDllPath, "stale");
  PutFile(PendingDllPath, "newer");
  EXPECT_TRUE(CompletePendingUpdate());
  EXPECT_EQ(FileBytes(InstalledDllPath), "newer");
  EXPECT_FALSE(FileExists(AsideDllPath));
}

TEST_F(DriverControlTest, APendingDllWithoutAnInstalledOneMovesIn) {
  PutFile(PendingDllPath, "first");
  EXPECT_TRUE(CompletePendingUpdate());
  EXPECT_EQ(FileBytes(InstalledDllPath), "first");
}

}  // namespace
}  // namespace velmora
