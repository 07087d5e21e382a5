#include "platform/serial/active_ports.h"

#include <gtest/gtest.h>

#include "platform/registry/hive.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::MakeKey;
using testing::SetNumber;
using testing::SetString;

void Entry(Hive& hive, const std::u16string& entry, const std::u16string& name, uint32_t handle,
           const std::u16string& key) {
  std::u16string path = u"Drivers\\Active\\" + entry;
  SetString(hive, path, u"Name", name);
  SetNumber(hive, path, u"Hnd", handle);
  SetString(hive, path, u"Key", key);
}

std::string Describe(const std::vector<ActivePort>& ports) {
  std::string text;
  for (const ActivePort& port : ports) {
    text += port.name + " " + std::to_string(port.handle) + ";";
  }
  return text;
}

TEST(ActivePorts, OnlyComPortsOnceEach) {
  Hive hive;
  Entry(hive, u"01", u"COM1:", 1001, u"Drivers\\BuiltIn\\Serial");
  Entry(hive, u"02", u"BAT1:", 1002, u"Drivers\\BuiltIn\\Battery");
  Entry(hive, u"03", u"COM10:", 1003, u"Drivers\\BuiltIn\\Far");
  Entry(hive, u"04", u"com4:", 1004, u"Drivers\\BuiltIn\\Lower");
  Entry(hive, u"05", u"COM1:", 1005, u"Drivers\\BuiltIn\\Twice");
  Entry(hive, u"06", u"COM5", 1006, u"Drivers\\BuiltIn\\NoColon");
  Entry(hive, u"07", u"COMX:", 1007, u"Drivers\\BuiltIn\\Letter");
  Entry(hive, u"08", u"COM1234:", 1008, u"Drivers\\BuiltIn\\Long");
  SetString(hive, u"Drivers\\Active\\09", u"Name", u"COM6:");  // no handle
  MakeKey(hive, u"Drivers\\Active\\10");
  std::vector<ActivePort> ports;
  Status status = -1;
  ASSERT_TRUE(ReadActivePorts(hive, &ports, &status));
  EXPECT_EQ(status, StatusSuccess);
  EXPECT_EQ(Describe(ports), "COM1 1001;COM10 1003;");
  EXPECT_EQ(ports[0].key, u"Drivers\\BuiltIn\\Serial");
}

TEST(ActivePorts, NoActiveKeyMeansNoPorts) {
  Hive hive;
  std::vector<ActivePort> ports{ActivePort{"COM1", 1, u""}};
  Status status = -1;
  EXPECT_TRUE(ReadActivePorts(hive, &ports, &status));
  EXPECT_TRUE(ports.empty());
}

}  // namespace
}  // namespace velmora
