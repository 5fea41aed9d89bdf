#pragma once

// Files as the engine reads and writes them: every failure becomes an
// EngineError of kind kFile naming the path and the system's reason, and a
// new file replaces the old one only once it is complete and on disk.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vkcrypto::detail {

class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Fills the buffer up to size; returns less only at the end of the file.
  size_t Read(uint8_t* buffer, size_t size);
  uint64_t Size() const noexcept { return size_; }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  std::string path_;
};

// A temporary file beside the destination, renamed over it by Commit; if
// Commit is never reached the temporary file is removed and the destination
// is untouched. The destination may be the file being read.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& destination);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void Write(const uint8_t* data, size_t size);
  void Commit();

 private:
  int fd_ = -1;
  std::string destination_;
  std::string temporary_;
  uint64_t written_ = 0;
  uint64_t writebackStarted_ = 0;
  bool committed_ = false;
};

}  // namespace vkcrypto::detail
