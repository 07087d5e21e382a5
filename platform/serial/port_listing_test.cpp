#include "platform/serial/port_listing.h"

#include <gtest/gtest.h>

#include "platform/serial/endpoint_folder.h"
#include "tests/running_ports_fixture.h"

namespace velmora::testing {
namespace {

using PortListingTest = RunningPortsFixture;

// A receiver held by a splitter, that splitter, one waiting and a driver
// not served: what each serves, their records in the order of the names,
// and the summary counting only the served ports.
TEST_F(PortListingTest, WhatEachPortServesAndTheSummary) {
  Add(3, DriverKind::Unserved);
  Add(4, DriverKind::GpsReceiver);
  RunningPort& holding = Add(5, DriverKind::Splitter, 4);
  RunningPort& waiting = Add(6, DriverKind::Splitter, 8);
  std::string error;
  ASSERT_TRUE(holding.port->OpenEndpoints(2, &error)) << error;
  ASSERT_TRUE(waiting.port->OpenEndpoints(1, &error)) << error;
  AttachSplitters(ports_, events_);

  std::vector<EndpointStatus> records = PortsSnapshot(ports_);
  struct Row {
    const char* kind;
    const char* port;
    const char* driver;
  };
  const Row rows[] = {
      {"none", "COM4", "GPS receiver, no fix (held by the splitter on COM5)"},
      {"pty", "COM5", "splitter holding COM4"},
      {"pty", "COM5", "splitter holding COM4"},
      {"pty", "COM6", "splitter, waiting: COM8 is not running"},
  };
  ASSERT_EQ(records.size(), std::size(rows));
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].kind, rows[i].kind) << i;
    EXPECT_EQ(records[i].port, rows[i].port) << i;
    EXPECT_EQ(records[i].driver, rows[i].driver) << i;
    EXPECT_EQ(records[i].driver, WhatPortServes(ports_.at(rows[i].port))) << i;
  }
  EXPECT_EQ(PortsSummary(ports_), "3 ports served, 3 endpoints, 0 clients, 0 bytes dropped");
  EXPECT_EQ(PortsSummary({}), "0 ports served, 0 endpoints, 0 clients, 0 bytes dropped");
}

// One of each is told in the singular.
TEST_F(PortListingTest, TheSummaryTellsOneOfEachInTheSingular) {
  RunningPort& splitter = Add(5, DriverKind::Splitter, 8);
  std::string error;
  ASSERT_TRUE(splitter.port->OpenEndpoints(1, &error)) << error;
  EXPECT_EQ(PortsSummary(ports_), "1 port served, 1 endpoint, 0 clients, 0 bytes dropped");
}

// The list has the endpoints, the ports without one and the listeners;
// the network clients are only in the live status.
TEST(PortListing, TheListLeavesOutNetworkClients) {
  std::vector<EndpointStatus> records;
  for (const char* kind : {"pty", "none", "listener", "tcp", "rfc2217"}) {
    EndpointStatus& record = records.emplace_back();
    record.kind = kind;
    record.port = "COM5";
    record.link = std::string("link-") + kind;
    record.terminal = record.kind == "pty" ? "/dev/pts/7" : "";
    record.driver = "splitter holding COM4";
  }
  EXPECT_EQ(EndpointListing(records),
            EndpointListRow("link-pty", "/dev/pts/7", "COM5", "splitter holding COM4") +
                EndpointListRow("link-none", "-", "COM5", "splitter holding COM4") +
                EndpointListRow("link-listener", "-", "COM5", "splitter holding COM4"));
}

}  // namespace
}  // namespace velmora::testing
