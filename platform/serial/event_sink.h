// Where the running device tells what happens: one line per event (a port
// up or down, a client opened or closed, a source that failed), without a
// line break. The tool writes them to standard error; tests collect them.
#pragma once

#include <functional>
#include <string>

namespace velmora {

using EventSink = std::function<void(const std::string& line)>;

}  // namespace velmora
