#pragma once

// Files as the engine reads and writes them: every failure becomes an
// EngineError of kind kFile naming the path and the system's reason, and a
// new file replaces the old one only once it is complete and on disk.

#include <cstddef>
#include <cstdint>
#include <memory>
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

class BlockWriter;

// A temporary file beside the destination, renamed over it by Commit; if
// Commit is never reached the temporary file is removed and the destination
// is untouched. The destination may be the file being read.
//
// The temporary file has no name until Commit where the file system allows
// it (O_TMPFILE), so a process killed half-way leaves nothing behind, not
// even under SIGKILL. Elsewhere it is named ".NAME.vktmp-XXXXXX", readable
// by its owner only until Commit, and listed for RemoveUnfinishedFiles
// (cryptoengine/ProcessSafety.h). The new file takes a replaced file's
// permission bits, never its setuid, setgid or sticky bit; a new file is
// readable by its owner only.
//
// Data is gathered in blocks of kBlockSize. A file that fills a block is
// written by a second thread while the caller fills the next one, straight
// to the disk where the file system allows it: the flush before the rename
// then has almost nothing left to do, where a page cache full of a large
// file can take longer to drain than the whole encryption. Smaller files
// are written once, at Commit.
class ReplacingFile {
 public:
  static constexpr size_t kBlockSize = size_t(4) << 20;

  // kNamed skips the unnamed file, as on a file system without one.
  enum class Temporary { kUnnamedWherePossible, kNamed };

  explicit ReplacingFile(const std::string& destination, Temporary temporary = Temporary::kUnnamedWherePossible);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void Write(const uint8_t* data, size_t size);
  void Commit();

 private:
  void SubmitBlock();
  void TakePermissions();
  void LinkUnnamed();

  int fd_ = -1;
  std::string destination_;
  std::string temporary_;  // empty while the file has no name
  int listed_ = -1;        // its place in the list of unfinished files
  std::unique_ptr<BlockWriter> writer_;
  uint8_t* block_ = nullptr;  // the block being filled, kBlockSize bytes
  size_t filled_ = 0;
  bool committed_ = false;
};

}  // namespace vkcrypto::detail
