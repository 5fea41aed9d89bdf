#include "Terminal.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cryptoengine/ProcessSafety.h"

namespace vkcrypt {
namespace {

constexpr uint64_t kProgressThreshold = 4 * 1024 * 1024;
constexpr size_t kMaxPasswordLine = 64 * 1024;

// The terminal whose echo a prompt turned off, and its settings before;
// read by the signal handler.
volatile std::sig_atomic_t g_quietTerminal = -1;
termios g_loudSettings{};

extern "C" void OnEndingSignal(int signo) {
  const int terminal = g_quietTerminal;
  if (terminal >= 0) ::tcsetattr(terminal, TCSANOW, &g_loudSettings);
  vkcrypto::RemoveUnfinishedFiles();
  // Blocked until the handler returns, then fatal: the caller sees the signal.
  ::signal(signo, SIG_DFL);
  ::raise(signo);
}

[[noreturn]] void ThrowFile(const char* what, const std::string& path) {
  throw Failure(std::string(what) + " '" + path + "': " + std::strerror(errno));
}

// Reads one line byte by byte so nothing after it is consumed, into a
// buffer that has room for the longest line allowed.
Secret ReadLine(int fd, const std::string& name) {
  Secret line(kMaxPasswordLine + 1);
  for (;;) {
    uint8_t* next = line.Tail(1);
    const ssize_t got = ::read(fd, next, 1);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot read", name);
    }
    if (got == 0 || *next == '\n') break;
    line.Extend(1);
    if (line.Size() > kMaxPasswordLine) throw Failure("the password line of '" + name + "' is too long");
  }
  if (!line.Empty() && line.View().back() == '\r') line.Truncate(line.Size() - 1);
  return line;
}

Secret ReadAll(int fd, const std::string& name) {
  constexpr size_t kStep = 65536;
  Secret text(kStep);
  for (;;) {
    const ssize_t got = ::read(fd, text.Tail(kStep), kStep);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFile("cannot read", name);
    }
    if (got == 0) break;
    text.Extend(size_t(got));
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

  // Echo is off before the prompt shows, so nothing typed ahead is seen.
  Secret Ask(const char* prompt) {
    termios saved{};
    const bool isTerminal = ::tcgetattr(fd_, &saved) == 0;
    if (isTerminal) {
      g_loudSettings = saved;
      std::atomic_signal_fence(std::memory_order_seq_cst);
      g_quietTerminal = fd_;
      termios quiet = saved;
      quiet.c_lflag &= ~tcflag_t(ECHO);
      quiet.c_lflag |= ECHONL;
      ::tcsetattr(fd_, TCSANOW, &quiet);
    }
    Say(prompt);
    try {
      Secret line = ReadLine(fd_, "/dev/tty");
      Loud(isTerminal, saved);
      return line;
    } catch (...) {
      Loud(isTerminal, saved);
      throw;
    }
  }

 private:
  void Say(const char* text) {
    const ssize_t put = ::write(fd_, text, std::strlen(text));
    (void)put;
  }
  void Loud(bool isTerminal, const termios& saved) {
    if (!isTerminal) return;
    ::tcsetattr(fd_, TCSANOW, &saved);
    g_quietTerminal = -1;
  }
  int fd_ = -1;
};

}  // namespace

void EndCleanlyOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // Under nohup, or started in the background by a shell, a signal that
    // was ignored stays ignored.
    if (::sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signo, &action, nullptr);
  }
}

Secret ReadPasswordFile(const std::string& path) {
  if (path == "-") return ReadLine(0, "standard input");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFile("cannot open", path);
  try {
    Secret line = ReadLine(fd, path);
    ::close(fd);
    return line;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

Secret ToUtf8(std::string_view text, const std::string& codeset) {
  Secret out(4 * text.size() + 4);
  if (codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" || codeset == "ASCII") {
    out.Append(text);
    return out;
  }
  const iconv_t convert = ::iconv_open("UTF-8", codeset.c_str());
  if (convert == iconv_t(-1)) throw Failure("the terminal's character set " + codeset + " is not known");
  // Every character takes at most four bytes in UTF-8 and at least one here.
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* start = reinterpret_cast<char*>(out.Tail(4 * text.size() + 4));
  char* next = start;
  size_t outLeft = 4 * text.size() + 4;
  const bool done = ::iconv(convert, &in, &inLeft, &next, &outLeft) != size_t(-1) &&
                    ::iconv(convert, nullptr, nullptr, &next, &outLeft) != size_t(-1);
  ::iconv_close(convert);
  out.Extend(size_t(next - start));
  if (!done) throw Failure("the password is not valid text in the terminal's character set " + codeset);
  return out;
}

Secret AskPassword(bool confirm) {
  Tty tty;
  Secret password = tty.Ask("Password: ");
  if (confirm && tty.Ask("Re-enter password: ").View() != password.View()) {
    throw Failure("the passwords do not match");
  }
  return ToUtf8(password.View(), ::nl_langinfo(CODESET));
}

Secret ReadStandardInput() { return ReadAll(0, "standard input"); }

Secret ReadTextFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFile("cannot open", path);
  try {
    Secret text = ReadAll(fd, path);
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
