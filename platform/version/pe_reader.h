// Reading the version resource of a PE image (PE32 and PE32+) piece by
// piece: the headers, the section table, the resource directories on the
// way and the version block itself, nothing else. A device file is read
// through its descriptor this way, so a large file costs no more than a
// small one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The bytes of an image: a buffer, or an open file read with pread. Reads
// from a file go through one page-sized window, so that the many small
// reads of the headers cost one system call per page.
class ImageSource {
 public:
  explicit ImageSource(std::string_view bytes) : bytes_(bytes), size_(bytes.size()) {}
  // fd stays the caller's; size is the file's size.
  ImageSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;

  uint64_t size() const { return size_; }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  // count bytes from offset; false when they are not all there.
  bool Read(uint64_t offset, size_t count, char* out);
  bool U16(uint64_t offset, uint32_t* out);
  bool U32(uint64_t offset, uint32_t* out);

 private:
  static constexpr size_t WindowSize = 4096;

  std::string_view bytes_;
  int fd_ = -1;
  uint64_t size_ = 0;
  char window_[WindowSize];
  uint64_t windowStart_ = 0;
  size_t windowLength_ = 0;
};

// The bytes of the image's RT_VERSION resource (first name, first
// language), or false when there is none or the image is malformed.
// Never reads outside the image.
bool ExtractVersionResource(ImageSource& image, std::string* block);
bool ExtractVersionResource(std::string_view image, std::string* block);

// Whether the image is a PE image: an MZ header leading to a "PE" signature
// and an optional header of PE32 or PE32+.
bool IsPeImage(ImageSource& image);

}  // namespace velmora
