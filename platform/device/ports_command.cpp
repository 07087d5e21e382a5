#include "platform/device/ports_command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/device/device.h"
#include "platform/host_io.h"
#include "platform/serial/run_lock.h"

namespace velmora {

namespace {

constexpr size_t Columns = 4;
using Row = std::array<std::string, Columns>;

Row SplitRow(const std::string& line) {
  Row row;
  size_t start = 0;
  for (size_t column = 0; column < Columns; ++column) {
    // The last column takes the rest of the line, tabs and all.
    size_t tab = column + 1 < Columns ? line.find('\t', start) : std::string::npos;
    row[column] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) {
      break;
    }
    start = tab + 1;
  }
  return row;
}

}  // namespace

std::string FormatPortsTable(const std::string& listing) {
  std::vector<Row> rows = {Row{"ENDPOINT", "TERMINAL", "PORT", "DRIVER"}};
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    if (end == std::string::npos) {
      end = listing.size();
    }
    rows.push_back(SplitRow(listing.substr(start, end - start)));
    start = end + 1;
  }
  std::array<size_t, Columns> width{};
  for (const Row& row : rows) {
    for (size_t column = 0; column < Columns; ++column) {
      width[column] = std::max(width[column], row[column].size());
    }
  }
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (size_t column = 0; column < Columns; ++column) {
      line += row[column];
      if (column + 1 < Columns) {
        line.append(width[column] + 2 - row[column].size(), ' ');
      }
    }
    text += line + "\n";
  }
  return text;
}

int RunPorts(Device& device) {
  long pid = 0;
  if (!RunLock::Held(device.folder(), &pid)) {
    std::fprintf(stderr,
                 "velmora-device: the device in %s is not switched on (start it with "
                 "'velmora-device run')\n",
                 device.folder().c_str());
    return 1;
  }
  std::string listing;
  std::string error;
  ReadHostFile(RunLock::DevFolder(device.folder()) + "/.ports", &listing, &error);
  std::string table = FormatPortsTable(listing);
  std::fwrite(table.data(), 1, table.size(), stdout);
  return 0;
}

}  // namespace velmora
