#pragma once

// What every real-server fixture of the network tests shares: a folder of
// its own for the configuration, documents and logs; free ports on
// 127.0.0.1; the server run as a child process in its own process group,
// waited for until it accepts connections and stopped with its whole group,
// every wait bounded in time; short commands such as openssl.
//
// A server that cannot start throws ServerStartError carrying the server's
// own log, so the test that needed it fails with the server's reason (a
// test never skips because a server is missing or broken). A server's main
// process is also killed when the thread that started it ends, so that a
// test killed on its time-out leaves no server listening (unless the server
// changed its user): start servers on the test's own thread.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vk::test {

// A user name and password a server is set up to accept.
struct Account {
  std::string user;
  std::string password;
};

class ServerStartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fresh folder under the system's temporary folder, removed with
// everything in it at the end. Others may read it, since servers that drop
// their privileges to nobody still read their documents from it.
class ServerFolder {
 public:
  explicit ServerFolder(std::string_view prefix);
  ~ServerFolder();
  ServerFolder(const ServerFolder&) = delete;
  ServerFolder& operator=(const ServerFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(std::string_view relative) const;
  // Makes the folder and those above it, readable by all; returns its path.
  std::string MakeFolder(std::string_view relative) const;
  // Writes `relative` (making its folders) readable by all.
  std::string Write(std::string_view relative, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// The whole file, or empty when it cannot be read.
std::string ReadFileText(const std::string& path);

// The fields of one log line written tab-separated by a server that
// escapes what it logs with backslashes (\" \\ \n \t \xHH \uHHHH), unescaped.
std::vector<std::string> SplitLogLine(std::string_view line);

// The complete lines of a log file; a last line still being written waits
// for the next read.
std::vector<std::string> LogLines(const std::string& path);

// A port on 127.0.0.1 that nothing listens on at the moment of asking.
int FreePort();

// Whether a TCP connection to 127.0.0.1:port is accepted right now.
bool Accepts(int port);

// Polls `done` every few milliseconds until it holds or `limit` passes;
// returns its last answer. For logs that servers write after answering.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Reads entries with `read` until there are at least `count` of them or
// `limit` passes; returns the last read.
template <typename Read>
auto WaitForEntries(const Read& read, size_t count, std::chrono::milliseconds limit) {
  decltype(read()) entries;
  WaitUntil(
      [&] {
        entries = read();
        return entries.size() >= count;
      },
      limit);
  return entries;
}

// The processes of a process group that still run; zombies waiting for
// their parent to collect them are gone for this purpose.
std::vector<pid_t> RunningGroupMembers(pid_t group);

// The account the servers run as: "nobody" when the tests run as root, else
// the current user, who cannot switch to anyone else.
bool RunningAsRoot();
std::string CurrentUserName();

struct CommandResult {
  int exitStatus = -1;  // -1 when it did not exit by itself in time
  std::string output;   // standard output and standard error together
};

inline constexpr char kOpenssl[] = "/usr/bin/openssl";

// Runs a short command (no shell) with a bounded time, killing it past that.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         std::chrono::milliseconds limit = std::chrono::seconds(20));

// The same, throwing ServerStartError with its output when it fails.
std::string RunCommandOrThrow(const std::vector<std::string>& argv);

class ServerProcess {
 public:
  struct Launch {
    std::vector<std::string> argv;
    std::vector<int> ports;          // the started process listens on all before it counts as started
    std::string outputFile;          // the server's standard output and error go here
    std::vector<std::string> logs;   // its own log files, shown when it fails
  };

  // Calls `prepare` for a launch (it picks its ports with FreePort and
  // writes its configuration), starts it and waits until every port accepts.
  // A port taken by someone else between FreePort and the server's bind
  // costs a new attempt; any other failure throws ServerStartError.
  ServerProcess(std::string name, const std::function<Launch()>& prepare);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  const Launch& Launched() const { return launch_; }
  pid_t Pid() const { return pid_; }
  bool Running() const;
  // SIGTERM to the group, SIGKILL to whatever is left after a few seconds.
  void Stop();
  // The server's output and log files, each under its name.
  std::string Logs() const;

 private:
  enum class Outcome { kAccepting, kExited, kTimedOut };
  void Spawn();
  Outcome WaitUntilAccepting(std::chrono::milliseconds limit) const;

  std::string name_;
  Launch launch_;
  pid_t pid_ = -1;
};

}  // namespace vk::test
