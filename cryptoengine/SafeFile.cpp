#include "cryptoengine/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "cryptoengine/CryptoEngine.h"

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

ReplacingFile::ReplacingFile(const std::string& destination) : destination_(destination) {
  if (destination.empty() || destination.back() == '/') ThrowFile("cannot write", destination, EISDIR);
  std::string pattern = FolderOf(destination) + "/." + NameOf(destination) + ".vktmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) ThrowFile("cannot create a file in", FolderOf(destination), errno);
  temporary_.assign(name.data());
  // A file that is replaced keeps its permissions; a new one is private.
  struct stat info {};
  if (::stat(destination.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::fchmod(fd_, info.st_mode & 07777);
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void ReplacingFile::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot write", destination_, errno);
    }
    data += put;
    size -= size_t(put);
    written_ += uint64_t(put);
  }
  // Start writing back what has piled up, without waiting, so that the
  // fsync before the rename finds little left to do for a large file.
  constexpr uint64_t kWritebackStep = 8 << 20;
  if (written_ - writebackStarted_ >= kWritebackStep) {
    ::sync_file_range(fd_, off64_t(writebackStarted_), off64_t(written_ - writebackStarted_), SYNC_FILE_RANGE_WRITE);
    writebackStarted_ = written_;
  }
}

void ReplacingFile::Commit() {
  if (::fsync(fd_) != 0) ThrowFile("cannot write", destination_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowFile("cannot write", destination_, errno);
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) ThrowFile("cannot replace", destination_, errno);
  committed_ = true;
  const int folder = ::open(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace vkcrypto::detail
