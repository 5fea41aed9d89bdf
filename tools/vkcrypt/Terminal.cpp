#include "Terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vkcrypt {
namespace {

constexpr uint64_t kProgressThreshold = 4 * 1024 * 1024;
constexpr size_t kMaxPasswordLine = 64 * 1024;

[[noreturn]] void ThrowFile(const char* what, const std::string& path) {
  throw Failure(std::string(what) + " '" + path + "': " + std::strerror(errno));
}

// Reads one line byte by byte so nothing after it is consumed.
std::string ReadLine(int fd, const std::string& name) {
  std::string line;
  for (;;) {
    char c;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot read", name);
    }
    if (got == 0 || c == '\n') break;
    line += c;
    if (line.size() > kMaxPasswordLine) throw Failure("the password line of '" + name + "' is too long");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string ReadAll(int fd, const std::string& name) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot read", name);
    }
    if (got == 0) break;
    text.append(buffer, size_t(got));
  }
  return text;
}

class Tty {
 public:
  Tty() {
    fd_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) throw Failure("no terminal to ask for the password on; use --password-file");
  }
  ~Tty() { ::close(fd_); }
  Tty(const Tty&) = delete;
  Tty& operator=(const Tty&) = delete;

  std::string Ask(const char* prompt) {
    Say(prompt);
    termios saved{};
    const bool isTerminal = ::tcgetattr(fd_, &saved) == 0;
    if (isTerminal) {
      termios quiet = saved;
      quiet.c_lflag &= ~tcflag_t(ECHO);
      quiet.c_lflag |= ECHONL;
      ::tcsetattr(fd_, TCSANOW, &quiet);
    }
    std::string line;
    try {
      line = ReadLine(fd_, "/dev/tty");
    } catch (...) {
      if (isTerminal) ::tcsetattr(fd_, TCSANOW, &saved);
      throw;
    }
    if (isTerminal) ::tcsetattr(fd_, TCSANOW, &saved);
    return line;
  }

 private:
  void Say(const char* text) {
    const ssize_t put = ::write(fd_, text, std::strlen(text));
    (void)put;
  }
  int fd_ = -1;
};

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
  if (path == "-") return ReadLine(0, "standard input");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFile("cannot open", path);
  try {
    std::string line = ReadLine(fd, path);
    ::close(fd);
    return line;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

std::string AskPassword(bool confirm) {
  Tty tty;
  std::string password = tty.Ask("Password: ");
  if (confirm && tty.Ask("Re-enter password: ") != password) throw Failure("the passwords do not match");
  return password;
}

std::string ReadStandardInput() { return ReadAll(0, "standard input"); }

std::string ReadTextFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFile("cannot open", path);
  try {
    std::string text = ReadAll(fd, path);
    ::close(fd);
    return text;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

ProgressBar::ProgressBar(const std::string& label) : label_(label) {}

ProgressBar::~ProgressBar() {
  if (shown_) std::fputc('\n', stderr);
}

bool ProgressBar::operator()(uint64_t done, uint64_t total) {
  if (total <= kProgressThreshold || !::isatty(2)) return true;
  const int percent = int(done * 100 / total);
  if (percent == lastPercent_) return true;
  lastPercent_ = percent;
  shown_ = true;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(size_t(filled), '#').c_str(),
               std::string(size_t(kWidth - filled), ' ').c_str(), percent);
  std::fflush(stderr);
  return true;
}

}  // namespace vkcrypt
