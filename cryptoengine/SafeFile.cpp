#include "cryptoengine/SafeFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "cryptoengine/CryptoEngine.h"
#include "cryptoengine/ProcessSafety.h"

namespace vkcrypto::detail {
namespace {

[[noreturn]] void ThrowFile(const char* what, const std::string& path, int error) {
  throw EngineError(ErrorKind::kFile, std::string(what) + " '" + path + "': " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The named temporary files that exist right now, readable from a signal
// handler: no locks, no allocation. A slot's version changes whenever its
// path may change, so the handler removes a path only when it copied it
// whole from a slot that stayed live meanwhile.
struct UnfinishedFile {
  enum : int { kFree, kChanging, kLive };
  std::atomic<int> state{kFree};
  std::atomic<unsigned> version{0};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free);
UnfinishedFile g_unfinished[64];

// Returns the slot, or -1 when all are taken (the file then stays unlisted).
int ListUnfinished(const std::string& path) noexcept {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < int(std::size(g_unfinished)); ++i) {
    UnfinishedFile& slot = g_unfinished[i];
    int expected = UnfinishedFile::kFree;
    if (!slot.state.compare_exchange_strong(expected, UnfinishedFile::kChanging)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.version.fetch_add(1);
    slot.state.store(UnfinishedFile::kLive);
    return i;
  }
  return -1;
}

void UnlistUnfinished(int index) noexcept {
  if (index < 0) return;
  UnfinishedFile& slot = g_unfinished[index];
  slot.state.store(UnfinishedFile::kChanging);
  slot.version.fetch_add(1);
  slot.state.store(UnfinishedFile::kFree);
}

// The name of a temporary file beside the destination, without the six
// random letters or digits at its end.
std::string TemporaryPrefix(const std::string& destination) {
  return FolderOf(destination) + "/." + NameOf(destination) + ".vktmp-";
}

std::string TemporaryName(const std::string& destination) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint8_t random[6];
  if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) ThrowFile("cannot write", destination, errno);
  std::string name = TemporaryPrefix(destination);
  for (uint8_t r : random) name += kLetters[r % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) ThrowFile("cannot open", path, errno);
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    const int error = errno;
    ::close(fd_);
    ThrowFile("cannot open", path, error);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd_);
    ThrowFile("cannot open", path, EISDIR);
  }
  if (S_ISREG(info.st_mode)) size_ = uint64_t(info.st_size);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

size_t InputFile::Read(uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd_, buffer + done, size - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot read", path_, errno);
    }
    if (got == 0) break;
    done += size_t(got);
  }
  return done;
}

// The blocks of a ReplacingFile and the thread that writes them. One block
// is written while the caller fills the other; Submit waits only when the
// disk is behind.
class BlockWriter {
 public:
  BlockWriter(int fd, const std::string& path) : fd_(fd), path_(path) { blocks_[0] = NewBlock(); }

  ~BlockWriter() {
    if (thread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
      }
      wake_.notify_all();
      thread_.join();
    }
    // Decrypted output passes through here: leave none of it in freed memory.
    for (int i = 0; i < 2; ++i) {
      if (submitted_[i]) ::explicit_bzero(blocks_[i].get(), ReplacingFile::kBlockSize);
    }
  }

  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  uint8_t* First() { return blocks_[0].get(); }

  // Queues a full block for writing and returns the block to fill next.
  uint8_t* Submit(uint8_t* block) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!thread_.joinable()) {
      blocks_[1] = NewBlock();
      StartDirect();
      thread_ = std::thread([this] { Loop(); });
    }
    idle_.wait(lock, [this] { return pending_ == nullptr; });
    if (error_ != 0) ThrowFile("cannot write", path_, error_);
    pending_ = block;
    const int index = block == blocks_[0].get() ? 0 : 1;
    submitted_[index] = true;
    wake_.notify_all();
    // The other block was the one pending before, and it is written now.
    return blocks_[1 - index].get();
  }

  // Waits for the queued block, then writes the rest through the page cache
  // (its size need not be a multiple of the disk's sector).
  void Finish(const uint8_t* tail, size_t size) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      idle_.wait(lock, [this] { return pending_ == nullptr; });
      if (error_ != 0) ThrowFile("cannot write", path_, error_);
    }
    if (direct_) StopDirect();
    const int error = WriteAll(tail, size);
    if (error != 0) ThrowFile("cannot write", path_, error);
  }

 private:
  struct Free {
    void operator()(uint8_t* block) const noexcept { std::free(block); }
  };
  using Block = std::unique_ptr<uint8_t, Free>;

  static Block NewBlock() {
    // Aligned for writes that go around the page cache.
    void* memory = std::aligned_alloc(kDirectAlignment, ReplacingFile::kBlockSize);
    if (memory == nullptr) throw std::bad_alloc();
    return Block(static_cast<uint8_t*>(memory));
  }

  void StartDirect() {
    const int flags = ::fcntl(fd_, F_GETFL);
    direct_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
  }

  void StopDirect() {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
    direct_ = false;
  }

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || pending_ != nullptr; });
      if (pending_ == nullptr) return;
      const uint8_t* block = pending_;
      lock.unlock();
      const int error = WriteAll(block, ReplacingFile::kBlockSize);
      lock.lock();
      if (error != 0 && error_ == 0) error_ = error;
      pending_ = nullptr;
      idle_.notify_all();
    }
  }

  // Returns 0 or the system's error. A file system that takes the direct
  // flag but not the writes gets the rest through the page cache.
  int WriteAll(const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t put = ::write(fd_, data, size);
      if (put < 0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL && direct_) {
          StopDirect();
          continue;
        }
        return errno;
      }
      data += put;
      size -= size_t(put);
      written_ += uint64_t(put);
    }
    // Through the page cache, start writing back what has piled up without
    // waiting, so that the flush before the rename finds little to do.
    constexpr uint64_t kWritebackStep = 8 << 20;
    if (!direct_ && written_ - writebackStarted_ >= kWritebackStep) {
      ::sync_file_range(fd_, off64_t(writebackStarted_), off64_t(written_ - writebackStarted_),
                        SYNC_FILE_RANGE_WRITE);
      writebackStarted_ = written_;
    }
    return 0;
  }

  static constexpr size_t kDirectAlignment = 4096;

  const int fd_;
  const std::string path_;
  Block blocks_[2];
  bool submitted_[2] = {false, false};
  // Used by one thread at a time: the writing thread between Submit and the
  // end of that block's write, the caller otherwise.
  bool direct_ = false;
  uint64_t written_ = 0;
  uint64_t writebackStarted_ = 0;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  const uint8_t* pending_ = nullptr;
  int error_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

ReplacingFile::ReplacingFile(const std::string& destination, Temporary temporary) : destination_(destination) {
  if (destination.empty() || destination.back() == '/') ThrowFile("cannot write", destination, EISDIR);
  if (temporary == Temporary::kUnnamedWherePossible) {
    fd_ = ::open(FolderOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  }
  if (fd_ >= 0) return;
  // No unnamed files here (or the folder is missing, which the named file
  // reports in its own words).
  std::string pattern = TemporaryPrefix(destination) + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) ThrowFile("cannot create a file in", FolderOf(destination), errno);
  temporary_.assign(name.data());
  listed_ = ListUnfinished(temporary_);
}

ReplacingFile::~ReplacingFile() {
  if (block_ != nullptr) ::explicit_bzero(block_, filled_);
  writer_.reset();
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
  UnlistUnfinished(listed_);
}

void ReplacingFile::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (!writer_) {
      writer_ = std::make_unique<BlockWriter>(fd_, destination_);
      block_ = writer_->First();
    }
    const size_t take = std::min(size, kBlockSize - filled_);
    std::memcpy(block_ + filled_, data, take);
    filled_ += take;
    data += take;
    size -= take;
    if (filled_ == kBlockSize) SubmitBlock();
  }
}

void ReplacingFile::SubmitBlock() {
  block_ = writer_->Submit(block_);
  filled_ = 0;
}

// A replaced file passes on its permission bits only: a setuid or setgid
// bit on a file of new content would hand its privileges to whatever that
// content is.
void ReplacingFile::TakePermissions() {
  struct stat info {};
  if (::stat(destination_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (::fchmod(fd_, info.st_mode & 0777) != 0) ThrowFile("cannot set the permissions of", destination_, errno);
}

// Gives the finished file a temporary name, which the rename then moves over
// the destination: a link cannot replace a file.
void ReplacingFile::LinkUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0;; ++attempt) {
    std::string name = TemporaryName(destination_);
    // The empty path needs privileges on older systems, /proc does not.
    if (::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_ = std::move(name);
      listed_ = ListUnfinished(temporary_);
      return;
    }
    if (errno != EEXIST || attempt == 100) ThrowFile("cannot replace", destination_, errno);
  }
}

void ReplacingFile::Commit() {
  if (writer_) writer_->Finish(block_, filled_);
  TakePermissions();
  if (::fsync(fd_) != 0) ThrowFile("cannot write", destination_, errno);
  if (temporary_.empty()) LinkUnnamed();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowFile("cannot write", destination_, errno);
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) ThrowFile("cannot replace", destination_, errno);
  committed_ = true;
  UnlistUnfinished(listed_);
  listed_ = -1;
  const int folder = ::open(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace vkcrypto::detail

namespace vkcrypto {

void RemoveUnfinishedFiles() noexcept {
  using detail::UnfinishedFile;
  for (UnfinishedFile& slot : detail::g_unfinished) {
    if (slot.state.load() != UnfinishedFile::kLive) continue;
    const unsigned version = slot.version.load();
    char path[PATH_MAX];
    std::memcpy(path, slot.path, sizeof path);
    path[PATH_MAX - 1] = '\0';
    if (slot.state.load() == UnfinishedFile::kLive && slot.version.load() == version) ::unlink(path);
  }
}

}  // namespace vkcrypto
