#pragma once

// A fresh folder under the system's temporary folder for one test, removed
// with everything in it afterwards.

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cryptoengine/CryptoEngine.h"

namespace vkcrypto::testing {

class TestFolder {
 public:
  enum class Place { kMemory, kDisk };

  // In memory where the system offers it: the engine flushes every file it
  // writes to disk, which on a busy disk would be most of the tests' time.
  // On the disk for what depends on the file system there.
  explicit TestFolder(Place place = Place::kMemory) {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    if (place == Place::kMemory && ::access("/dev/shm", W_OK | X_OK) == 0) base = "/dev/shm";
    std::string pattern = (base / "vkcrypt-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TestFolder() { std::filesystem::remove_all(path_); }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  Bytes bytes(size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

inline Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Bytes that differ from one seed to another and show no short period.
inline Bytes Pattern(size_t size, uint8_t seed) {
  Bytes data(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : data) {
    x = x * 1664525u + 1013904223u;
    b = uint8_t(x >> 24);
  }
  return data;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace vkcrypto::testing
