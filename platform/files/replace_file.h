// Writing a file of the device inside a folder's descriptor so that a crash
// leaves its old or its new content, never a mixture.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace velmora {

// Writes all of size bytes; false when the disk refuses them.
bool WriteAll(int fd, const char* data, size_t size);

// Replaces name in the open folder folderFd with what fill writes to a new
// file: the file is made beside it (".~velmora.<pid>.<n>.tmp", never
// through a link), flushed, renamed over name, and the folder flushed. On
// failure name is untouched and the new file removed. Those a writer
// killed half-way left behind are removed first.
bool ReplaceFileIn(int folderFd, const std::string& name, const std::function<bool(int)>& fill);

// Copies what is left of source to target through a buffer of
// CopyBufferSize bytes; false when a read or a write fails or source holds
// more than MaxDeviceFileSize bytes (file_limits.h).
bool CopyStream(int source, int target);

}  // namespace velmora
