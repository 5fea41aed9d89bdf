#include "control/ClassRegistry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/AsciiText.h"
#include "base/FileWrite.h"

namespace rssvane {

namespace {

constexpr std::string_view kHeader = "rssvane class registry 1";
// Far more than any set of classes needs; a file beyond it is not ours.
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

std::string LineError(size_t line, std::string_view reason) {
  return "line " + std::to_string(line) + ": " + std::string(reason);
}

// A quoted text of the file at text[0]: its value, and where it ends.
bool ReadQuoted(std::string_view text, std::string& out, size_t& end, std::string& reason) {
  out.clear();
  if (text.empty() || text[0] != '"') {
    reason = "a quoted text was expected";
    return false;
  }
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      end = i + 1;
      return true;
    }
    if (IsControlByte(c) && c != '\x7F') {
      reason = "a control character inside quotes must be escaped";
      return false;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == text.size()) break;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low < 0 || (high | low) == 0) {
          reason = "\\x takes two hexadecimal digits, not 00";
          return false;
        }
        out += static_cast<char>(high << 4 | low);
        i += 2;
        break;
      }
      default: reason = "unknown escape \\" + std::string(1, text[i]); return false;
    }
  }
  reason = "the closing quote is missing";
  return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (IsControlByte(c) && c != '\x7F') {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// A key at path, or one of the keys under it.
bool IsAtOrUnder(std::string_view key, std::string_view path) noexcept {
  if (key.size() < path.size() || !EqualsIgnoreCase(key.substr(0, path.size()), path)) return false;
  return key.size() == path.size() || key[path.size()] == '\\';
}

std::string SystemError(std::string_view what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Makes path and any folder above it that is missing, for the user alone.
bool MakeFolders(const std::string& path, std::string& error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = SystemError("cannot create the folder", part, errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

bool AbsoluteFromEnvironment(const char* name, std::string& out) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return false;
  out = value;
  return true;
}

// Holds an exclusive lock on the registry's folder while the file is read
// and replaced; other writers wait for it.
class FolderLock {
 public:
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }

  // A writer that removed the last class also removed the folder; one that
  // waited for its lock then holds a folder no longer there, and starts over.
  bool Acquire(const std::string& folder, std::string& error) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (!MakeFolders(folder, error)) return false;
      fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd_ < 0) {
        if (errno == ENOENT) continue;
        error = SystemError("cannot open the folder", folder, errno);
        return false;
      }
      while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
          error = SystemError("cannot lock the folder", folder, errno);
          return false;
        }
      }
      struct stat held, current;
      if (::fstat(fd_, &held) == 0 && ::stat(folder.c_str(), &current) == 0 && held.st_dev == current.st_dev &&
          held.st_ino == current.st_ino) {
        return true;
      }
      ::close(fd_);
      fd_ = -1;
    }
    error = "the folder " + folder + " keeps disappearing";
    return false;
  }

 private:
  int fd_ = -1;
};

bool ReplaceFile(const std::string& path, std::string_view text, std::string& error) {
  std::string target = path;
  // A registry kept elsewhere through a symbolic link stays there.
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;
  }
  std::string temporary;
  int fd = CreateTemporaryBeside(target, temporary, 0644);
  if (fd < 0) {
    error = SystemError("cannot write", target, errno);
    return false;
  }
  bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
  int writeError = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    if (written) writeError = errno;
    ::unlink(temporary.c_str());
    error = SystemError("cannot write", target, writeError);
    return false;
  }
  SyncFolderOf(target);
  return true;
}

}  // namespace

bool ClassRegistry::IsValidKeyPath(std::string_view path) noexcept {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (IsControlByte(c) || c == ']' || (c == '\\' && path[i + 1] == '\\')) return false;
  }
  return true;
}

ClassRegistry::Key* ClassRegistry::Find(std::string_view path) noexcept {
  auto found = std::find_if(keys_.begin(), keys_.end(), [&](const Key& k) { return EqualsIgnoreCase(k.path, path); });
  return found == keys_.end() ? nullptr : &*found;
}

const ClassRegistry::Key* ClassRegistry::Find(std::string_view path) const noexcept {
  return const_cast<ClassRegistry*>(this)->Find(path);
}

bool ClassRegistry::HasKey(std::string_view path) const noexcept { return Find(path) != nullptr; }

const std::string* ClassRegistry::Value(std::string_view path, std::string_view name) const noexcept {
  const Key* key = Find(path);
  if (!key) return nullptr;
  for (const auto& [valueName, value] : key->values) {
    if (EqualsIgnoreCase(valueName, name)) return &value;
  }
  return nullptr;
}

void ClassRegistry::CreateKey(std::string_view path) {
  if (!Find(path)) keys_.push_back({std::string(path), {}});
}

void ClassRegistry::SetValue(std::string_view path, std::string_view name, std::string_view value) {
  CreateKey(path);
  Key& key = *Find(path);
  for (auto& [valueName, old] : key.values) {
    if (EqualsIgnoreCase(valueName, name)) {
      old = value;
      return;
    }
  }
  key.values.emplace_back(name, value);
}

void ClassRegistry::DeleteTree(std::string_view path) {
  std::erase_if(keys_, [&](const Key& k) { return IsAtOrUnder(k.path, path); });
}

bool ClassRegistry::Parse(std::string_view text, std::string& error) {
  keys_.clear();
  size_t lineNumber = 0;
  bool sawHeader = false;
  auto fail = [&](std::string_view reason) {
    keys_.clear();
    error = LineError(lineNumber, reason);
    return false;
  };
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    if (end == std::string_view::npos) return fail("the last line has no line end");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!sawHeader) {
      if (line != kHeader) return fail("not a class registry of this format (\"" + std::string(kHeader) + "\")");
      sawHeader = true;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') return fail("a key line ends with \"]\"");
      std::string_view path = line.substr(1, line.size() - 2);
      if (!IsValidKeyPath(path)) return fail("not a valid key path");
      if (HasKey(path)) return fail("the key appears twice");
      keys_.push_back({std::string(path), {}});
      continue;
    }
    if (keys_.empty()) return fail("a value before the first key");
    std::string name, reason;
    size_t at = 1;
    if (line.front() != '@') {
      if (!ReadQuoted(line, name, at, reason)) return fail(reason);
      if (name.empty()) return fail("an empty value name; the default value is written @");
    }
    if (at >= line.size() || line[at] != '=') return fail("\"=\" was expected after the value name");
    std::string value;
    size_t valueEnd = 0;
    if (!ReadQuoted(line.substr(at + 1), value, valueEnd, reason)) return fail(reason);
    if (at + 1 + valueEnd != line.size()) return fail("text after the value");
    if (Value(keys_.back().path, name)) return fail("the value appears twice in its key");
    keys_.back().values.emplace_back(std::move(name), std::move(value));
  }
  if (!sawHeader) return fail("the file is empty");
  return true;
}

std::string ClassRegistry::Text() const {
  std::string out(kHeader);
  out += '\n';
  for (const Key& key : keys_) {
    out += "\n[";
    out += key.path;
    out += "]\n";
    for (const auto& [name, value] : key.values) {
      if (name.empty()) {
        out += '@';
      } else {
        AppendQuoted(out, name);
      }
      out += '=';
      AppendQuoted(out, value);
      out += '\n';
    }
  }
  return out;
}

bool ClassRegistryFile(std::string& path, std::string& error) {
  std::string config;
  if (!AbsoluteFromEnvironment("XDG_CONFIG_HOME", config)) {
    std::string home;
    if (!AbsoluteFromEnvironment("HOME", home)) {
      struct passwd entry, *found = nullptr;
      char buffer[4096];
      if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found || !found->pw_dir ||
          found->pw_dir[0] != '/') {
        error = "no home folder is known: set HOME or XDG_CONFIG_HOME";
        return false;
      }
      home = found->pw_dir;
    }
    config = home + "/.config";
  }
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  path = config + "/rssvane/classes";
  return true;
}

bool LoadClassRegistry(const std::string& path, ClassRegistry& registry, std::string& error) {
  registry = ClassRegistry();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    error = SystemError("cannot read", path, errno);
    return false;
  }
  // A registry file is small and regular: a device or a pipe would never end.
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = path + ": not a regular file";
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int readError = errno;
      ::close(fd);
      error = SystemError("cannot read", path, readError);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kMaxFileSize) {
      ::close(fd);
      error = path + ": larger than a class registry can be (16 MiB)";
      return false;
    }
  }
  ::close(fd);
  if (!registry.Parse(text, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool EditClassRegistry(const std::function<void(ClassRegistry&)>& edit, std::string& error) {
  std::string path;
  if (!ClassRegistryFile(path, error)) return false;
  const std::string folder = FolderOf(path);
  // Taking out what was never written leaves no folder behind.
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0 && errno == ENOENT) {
    ClassRegistry nothing;
    edit(nothing);
    if (nothing.Empty()) return true;
  }
  FolderLock lock;
  if (!lock.Acquire(folder, error)) return false;
  ClassRegistry registry;
  if (!LoadClassRegistry(path, registry, error)) return false;
  edit(registry);
  if (!registry.Empty()) return ReplaceFile(path, registry.Text(), error);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = SystemError("cannot remove", path, errno);
    return false;
  }
  // Only an empty folder goes; one that holds anything else stays.
  ::rmdir(folder.c_str());
  SyncFolderOf(folder);
  return true;
}

}  // namespace rssvane
