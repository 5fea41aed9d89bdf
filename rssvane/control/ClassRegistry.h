#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rssvane {

// The per-user class registry: the classes root of a registry, as a text
// file (docs/rssvane-control.md). It holds keys named by paths such as
// "CLSID\{...}\InprocServer32", each with named text values ("" names the
// key's default value, written "@"). Key paths and value names compare
// ignoring ASCII case, as the registry's do; keys keep the order in which
// they were made.
class ClassRegistry {
 public:
  // Reads the text of a registry file, replacing what this one held. False,
  // holding nothing, with "line N: reason" in error for anything that is not
  // exactly the format: a file this code cannot read is never rewritten.
  bool Parse(std::string_view text, std::string& error);
  // The text of the file, which Parse reads back to the same registry.
  std::string Text() const;

  bool Empty() const noexcept { return keys_.empty(); }
  bool HasKey(std::string_view path) const noexcept;
  // Null when the key or the value is missing.
  const std::string* Value(std::string_view path, std::string_view name = {}) const noexcept;
  // Makes the key (not its parents, which the file leaves implicit).
  void CreateKey(std::string_view path);
  // Makes the key when needed and sets the value.
  void SetValue(std::string_view path, std::string_view name, std::string_view value);
  // Removes the key and every key under it.
  void DeleteTree(std::string_view path);

  // A path the file can hold: non-empty parts between single backslashes,
  // no control characters and no "]".
  static bool IsValidKeyPath(std::string_view path) noexcept;

 private:
  struct Key {
    std::string path;
    std::vector<std::pair<std::string, std::string>> values;
  };
  Key* Find(std::string_view path) noexcept;
  const Key* Find(std::string_view path) const noexcept;

  std::vector<Key> keys_;
};

// The file's path, as ClassRegistryPath (rssvane/Registration.h) says.
bool ClassRegistryFile(std::string& path, std::string& error);

// Reads the registry file at path; a missing file is an empty registry.
bool LoadClassRegistry(const std::string& path, ClassRegistry& registry, std::string& error);

// Changes the registry file under an exclusive lock against other writers:
// reads it, lets edit change it, and writes it back through a new file
// renamed over the old one, or removes it (and its folder, when that is
// left empty) when nothing is left. A file that cannot be read is left as
// it is. False with the reason in error.
bool EditClassRegistry(const std::function<void(ClassRegistry&)>& edit, std::string& error);

}  // namespace rssvane
