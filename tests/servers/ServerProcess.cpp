#include "ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace vk::test {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr auto kStartLimit = 15s;  // a busy machine with several builds running
constexpr auto kStopLimit = 5s;
constexpr auto kPollStep = 10ms;
constexpr int kStartAttempts = 3;
constexpr size_t kLogTail = 16 * 1024;

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Runs argv in a process group of its own, standard input from /dev/null,
// standard output and error on `out`, no other descriptor of ours, and
// returns once the program runs (or has failed to start). The server dies
// with this thread if the test is killed before stopping it.
pid_t SpawnInGroup(const std::vector<std::string>& args, int out) {
  // Everything the child needs is made before fork: the test process may
  // have other threads, so the child only makes async-signal-safe calls.
  std::vector<std::string> strings = args;
  std::vector<char*> argv;
  for (auto& arg : strings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // Messages in English, so that a port taken by someone else is recognised.
  std::vector<std::string> envStrings{"LC_ALL=C"};
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "LC_ALL=", 7) != 0) envStrings.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (auto& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  Fd devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (devNull.Get() < 0) throw ServerStartError(ErrnoText("open /dev/null"));
  const pid_t parent = ::getpid();
  const std::string execFailed = "cannot execute " + args.at(0) + "\n";
  // Closed by the exec: until then the child holds copies of all our
  // descriptors, listening sockets included, and must not pass for a server.
  int execPipe[2];
  if (::pipe2(execPipe, O_CLOEXEC) != 0) throw ServerStartError(ErrnoText("pipe"));
  Fd execDone(execPipe[0]);

  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(execPipe[1]);
    throw ServerStartError(ErrnoText("fork"));
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(126);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::signal(sig, SIG_DFL);
    ::dup2(devNull.Get(), 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
    ::execve(argv[0], argv.data(), envp.data());
    ssize_t ignored = ::write(2, execFailed.data(), execFailed.size());
    (void)ignored;
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also here, so that signals to the group reach it from the start
  ::close(execPipe[1]);
  char ignored;
  while (::read(execDone.Get(), &ignored, 1) < 0 && errno == EINTR) {
  }
  return pid;
}

// The exit of `pid` if it has exited, without reaping it: while it stays a
// zombie its process group id cannot be given to anyone else.
bool HasExited(pid_t pid, siginfo_t* info = nullptr) {
  siginfo_t local{};
  siginfo_t* result = info ? info : &local;
  result->si_pid = 0;
  if (::waitid(P_PID, id_t(pid), result, WEXITED | WNOHANG | WNOWAIT) != 0) return true;
  return result->si_pid != 0;
}

std::string DescribeExit(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return "exited with status " + std::to_string(info.si_status);
  return std::string("was ended by signal ") + strsignal(info.si_status);
}

std::string Tail(const std::string& text) {
  if (text.size() <= kLogTail) return text;
  return "[...]" + text.substr(text.size() - kLogTail);
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    const size_t digits = c == 'x' ? 2 : c == 'u' ? 4 : 0;
    if (digits && i + digits < text.size()) {
      const std::string hex(text.substr(i + 1, digits));
      if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        out += char(std::stoi(hex, nullptr, 16));
        i += digits;
        continue;
      }
    }
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      default: out += c;
    }
  }
  return out;
}

// The inode of the socket listening on 127.0.0.1:port, or 0.
unsigned long ListeningInode(int port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
  std::getline(table, line);  // the column names
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
    unsigned long inode = 0;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
    if (local == wanted && state == "0A") return inode;
  }
  return 0;
}

// Whether the process holds the socket that listens on the port: the
// connection that was accepted came from our server and not from another
// test's that took the port first.
bool HoldsListener(pid_t pid, int port) {
  const unsigned long inode = ListeningInode(port);
  if (inode == 0) return false;
  const std::string target = "socket:[" + std::to_string(inode) + "]";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code linkError;
    if (fs::read_symlink(entry.path(), linkError).string() == target) return true;
  }
  return false;
}

}  // namespace

ServerFolder::ServerFolder(std::string_view prefix) {
  std::string pattern = (fs::temp_directory_path() / ("vk-" + std::string(prefix) + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw ServerStartError(ErrnoText("mkdtemp " + pattern));
  path_ = pattern;
  fs::permissions(path_, fs::perms(0755));
}

ServerFolder::~ServerFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ServerFolder::File(std::string_view relative) const { return (path_ / relative).string(); }

std::string ServerFolder::MakeFolder(std::string_view relative) const {
  fs::path folder = path_;
  for (const auto& part : fs::path(relative)) {
    folder /= part;
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0755));
  }
  return folder.string();
}

std::string ServerFolder::Write(std::string_view relative, std::string_view content) const {
  const fs::path file = path_ / relative;
  MakeFolder(fs::path(relative).parent_path().string());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), std::streamsize(content.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
  fs::permissions(file, fs::perms(0644));
  return file.string();
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SplitLogLine(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    fields.push_back(Unescape(line.substr(start, tab - start)));
  }
  fields.push_back(Unescape(line.substr(start)));
  return fields;
}

std::vector<std::string> LogLines(const std::string& path) {
  const std::string text = ReadFileText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

int FreePort() {
  Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (sock.Get() < 0 || ::bind(sock.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(sock.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw ServerStartError(ErrnoText("no free port on 127.0.0.1"));
  }
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (sock.Get() < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(uint16_t(port));
  if (::connect(sock.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
  if (errno != EINPROGRESS) return false;
  pollfd waiting{sock.Get(), POLLOUT, 0};
  if (::poll(&waiting, 1, 200) != 1) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(sock.Get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= deadline) return done();
    std::this_thread::sleep_for(kPollStep);
  }
  return true;
}

std::vector<pid_t> RunningGroupMembers(pid_t group) {
  std::vector<pid_t> members;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // "PID (COMMAND) STATE PPID PGRP ...", where COMMAND may hold anything.
    const std::string stat = ReadFileText("/proc/" + name + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long parent = 0, processGroup = 0;
    if (fields >> state >> parent >> processGroup && processGroup == group && state != "Z" && state != "X") {
      members.push_back(pid_t(std::stol(name)));
    }
  }
  return members;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

std::string CurrentUserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  if (!entry) throw ServerStartError("the current user has no name in the user database");
  return entry->pw_name;
}

CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw ServerStartError(ErrnoText("pipe"));
  Fd readEnd(pipeFds[0]);
  pid_t pid;
  {
    Fd writeEnd(pipeFds[1]);
    pid = SpawnInGroup(argv, writeEnd.Get());
  }
  CommandResult result;
  const auto deadline = Clock::now() + limit;
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) {
      timedOut = true;
      break;
    }
    pollfd waiting{readEnd.Get(), POLLIN, 0};
    if (::poll(&waiting, 1, int(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
    if (got <= 0) break;
    result.output.append(buffer, size_t(got));
  }
  // Its output may end before it does; the time limit holds for both.
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  const bool exited = !timedOut && WaitUntil([pid] { return HasExited(pid); }, left);
  if (!exited) ::kill(-pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (exited && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  return result;
}

std::string RunCommandOrThrow(const std::vector<std::string>& argv) {
  CommandResult result = RunCommand(argv);
  if (result.exitStatus != 0) {
    std::string line;
    for (const auto& arg : argv) line += arg + " ";
    throw ServerStartError("command failed (" +
                           (result.exitStatus < 0 ? std::string("no exit in time")
                                                  : "status " + std::to_string(result.exitStatus)) +
                           "): " + line + "\n" + result.output);
  }
  return result.output;
}

ServerProcess::ServerProcess(std::string name, const std::function<Launch()>& prepare) : name_(std::move(name)) {
  for (int attempt = 1;; ++attempt) {
    launch_ = prepare();
    Spawn();
    const Outcome outcome = WaitUntilAccepting(kStartLimit);
    if (outcome == Outcome::kAccepting) return;
    std::string reason;
    if (outcome == Outcome::kExited) {
      siginfo_t info{};
      HasExited(pid_, &info);
      reason = "it " + DescribeExit(info);
    } else {
      reason = "it did not accept connections within " + std::to_string(kStartLimit.count()) + " s";
    }
    const std::string logs = Logs();
    Stop();
    // Servers say so in their own words (tinyproxy names no cause), so a
    // port that another process now listens on counts as taken too.
    bool portTaken = logs.find("Address already in use") != std::string::npos ||
                     logs.find("Could not create listening sockets") != std::string::npos;
    for (int port : launch_.ports) portTaken = portTaken || Accepts(port);
    if (!portTaken || attempt == kStartAttempts) {
      throw ServerStartError(name_ + " did not start: " + reason + "\n" + logs);
    }
  }
}

ServerProcess::~ServerProcess() { Stop(); }

void ServerProcess::Spawn() {
  Fd out(::open(launch_.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
  if (out.Get() < 0) throw ServerStartError(ErrnoText("open " + launch_.outputFile));
  pid_ = SpawnInGroup(launch_.argv, out.Get());
}

ServerProcess::Outcome ServerProcess::WaitUntilAccepting(std::chrono::milliseconds limit) const {
  auto accepting = [this] {
    for (int port : launch_.ports) {
      if (!Accepts(port) || !HoldsListener(pid_, port)) return false;
    }
    return true;
  };
  WaitUntil([&] { return HasExited(pid_) || accepting(); }, limit);
  if (HasExited(pid_)) return Outcome::kExited;
  return accepting() ? Outcome::kAccepting : Outcome::kTimedOut;
}

bool ServerProcess::Running() const { return pid_ > 0 && !HasExited(pid_); }

void ServerProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  WaitUntil([this] { return HasExited(pid_); }, kStopLimit);
  // The leader is not reaped yet, so the group id is still ours: whatever
  // of the group is left (or a leader that ignored SIGTERM) goes now.
  ::kill(-pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  // Members that outlived the leader were killed above; once they are all
  // gone the ports are free and nothing of the server is left.
  const pid_t group = pid_;
  WaitUntil([group] { return RunningGroupMembers(group).empty(); }, kStopLimit);
  pid_ = -1;
}

std::string ServerProcess::Logs() const {
  std::string text;
  std::vector<std::string> files{launch_.outputFile};
  files.insert(files.end(), launch_.logs.begin(), launch_.logs.end());
  for (const auto& file : files) {
    text += "--- " + file + " ---\n" + Tail(ReadFileText(file));
    if (!text.empty() && text.back() != '\n') text += '\n';
  }
  return text;
}

}  // namespace vk::test
