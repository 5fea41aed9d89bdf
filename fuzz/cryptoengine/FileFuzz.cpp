// File decryption of any file: an EngineError and no destination left
// behind, or a destination holding the plaintext.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzCommon.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz-engine-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return folder;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (vkfuzz::TooCostly(data, size)) return -1;
  const std::string source = Folder() + "/in.vkf";
  const std::string destination = Folder() + "/out";
  FILE* file = std::fopen(source.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  ::unlink(destination.c_str());
  try {
    vkfuzz::SeedEngine().DecryptFile(source, destination);
    if (!Exists(destination)) __builtin_trap();
  } catch (const vkcrypto::EngineError&) {
    if (Exists(destination)) __builtin_trap();  // nothing unauthenticated reaches the destination
  }
  return 0;
}
