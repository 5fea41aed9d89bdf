#pragma once

// The fixed-key encryption that the three stored files share (settings.dat,
// passwords.rss, recent_files.rss). Failures throw std::exception.

#include <string>

#include "common/Hex.h"

namespace vk {

class StoreCipher {
 public:
  virtual ~StoreCipher() = default;
  virtual Bytes Encrypt(const Bytes& plain) = 0;
  virtual Bytes Decrypt(const Bytes& sealed) = 0;
  // settings.dat: the whole buffer encrypted into a file that replaces the
  // old one only once it is complete, and a whole file read back.
  virtual void WriteBufferToFile(const Bytes& plain, const std::string& path) = 0;
  virtual Bytes ReadBufferFromFile(const std::string& path) = 0;
};

}  // namespace vk
