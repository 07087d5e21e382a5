// `velmora-device reg ...`: the registry as .reg text, to and from host
// files and the standard streams. Each command is a function returning the
// tool's exit status (0 done, 1 failed with the reason on standard error).
#pragma once

#include <string>

namespace velmora {

class Device;

// The name that stands for the standard streams ("-"), and the file that
// is standard input by another name.
inline constexpr const char* StandardStreamName = "-";

// Reads the .reg text that a command is given: standard input for "-" and
// /dev/stdin (a pipe, a terminal or a redirected file), otherwise a
// regular file. Either is bounded by the registry's file size limit: a
// larger input is refused as soon as it has passed the limit. *name is how
// messages call the input.
bool ReadRegInput(const std::string& file, std::string* text, std::string* name,
                  std::string* error);

// reg export [FILE]: the whole registry to FILE (replaced atomically), or
// to standard output when FILE is empty or "-".
int RunRegExport(Device& device, const std::string& file);

// reg import FILE: applies the .reg text to the registry as one change.
int RunRegImport(Device& device, const std::string& file);

}  // namespace velmora
