#pragma once

// Test support: bodies compressed with zlib, as servers send them.
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace vk_test {

// zlib's window bits for each wrapper.
inline constexpr int kGzip = 16 + 15;
inline constexpr int kZlib = 15;
inline constexpr int kRaw = -15;

inline std::string Compress(std::string_view text, int windowBits, int level = Z_BEST_COMPRESSION) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

}  // namespace vk_test
