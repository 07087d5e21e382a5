// Running ports made by hand, without the device around them, for the
// parts that work on them (the splitters' holds, the listing): GPS
// receivers, unserved drivers and splitters, their endpoints in a
// temporary folder, the event lines collected.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/serial/endpoint_table.h"
#include "platform/serial/gps_receiver.h"
#include "platform/serial/running_port.h"
#include "platform/serial/splitter_holds.h"
#include "tests/test_support.h"

namespace velmora::testing {

class RunningPortsFixture : public ::testing::Test {
 protected:
  ~RunningPortsFixture() override {
    // Splitters let go first: none may point at a source that went.
    for (auto& [name, running] : ports_) {
      if (!running.holds.empty()) {
        ReleaseHeld(ports_, running);
      }
    }
  }

  // COM<n>, started after those before: the GPS receiver without a fix
  // (served, with data of its own), a driver not served on this host
  // ("other.dll"), or a splitter holding nothing yet.
  RunningPort& Add(int n, DriverKind kind, int32_t connectTo = -1) {
    std::string name = "COM" + std::to_string(n);
    RunningPort& running = ports_[name];
    running.active.name = name;
    running.sequence = nextSequence_++;
    running.setup.kind = kind;
    running.setup.connectTo = connectTo;
    if (kind == DriverKind::Unserved) {
      running.setup.dll = u"other.dll";
    } else {
      running.port = std::make_unique<ServedPort>(
          name, kind == DriverKind::GpsReceiver ? GpsReceiver::WithoutFix() : nullptr, events_,
          table_);
    }
    return running;
  }

  // How many event lines were exactly text.
  int Told(const std::string& text) const {
    int count = 0;
    for (const std::string& line : told_) {
      count += line == text ? 1 : 0;
    }
    return count;
  }

  TempDir dir_;
  std::vector<std::string> told_;
  EventSink events_ = [this](const std::string& line) { told_.push_back(line); };
  // Before ports_: the ports let their endpoints go into it.
  EndpointTable table_{dir_.path(), events_};
  RunningPorts ports_;
  uint64_t nextSequence_ = 1;
};

}  // namespace velmora::testing
