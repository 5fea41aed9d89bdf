#include "FuzzCommon.h"

#include <string_view>

#include "cryptoengine/Format.h"

namespace vkfuzz {
namespace {

// The 512-bit key fuzz/corpus/fuzz_engine_buffer/rsa.bin is encrypted to
// (fuzz/corpus/fuzz_engine_key/private512.der).
constexpr std::string_view kPrivateKeyHex =
    "3082013B020100024100D5FFEA850475F88A3E1647ADDB2AD341FFF28CF3BCB80AFC8E11CA8582352973FC57311F54AA5B036620BA82"
    "58AA9DADE7D83417AF2E91F7315DF6F8C51A47A3020301000102405BB1FC19C20710979FB1E945D016E20DB22F8A80F7D8BE706829AC"
    "67179B52E68467DF3AB8E9F8AE5FCFBC222B1C7584FF31E4E53D6BC46FDC02750AE051E79D022100FAA96F46635535F087CC7382C31B"
    "7739F883AF241688F264F2B7FE941F46EDAD022100DA8E9B02D38B12517ABCA8E3EC4DEBF683DF5C2FCB03BB7F7AB0A9CB32D2148F0221"
    "00B10340429BD94BFB2D5B33636F7710EE4E5268377AF680FECAED2689E1C08C0D022100B351ABF74EAFDD50C2DE45C7F3DB1F0E3CB6"
    "A781831545E25B3CD5A325C85E1B02203AB78E10569963CC3DB3EE99F7DFEE6F9A5DC232DA3EA224C873FCB5BD7EAED8";

vkcrypto::Bytes FromHex(std::string_view hex) {
  vkcrypto::Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    out.push_back(uint8_t(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  return out;
}

}  // namespace

bool TooCostly(const uint8_t* data, size_t size) {
  if (size < vkcrypto::detail::kHeaderSize || data[0] != 'V' || data[1] != 'K' ||
      (data[3] != vkcrypto::detail::kKindMessage && data[3] != vkcrypto::detail::kKindFile)) {
    return false;
  }
  const uint32_t iterations = uint32_t(data[8]) << 24 | uint32_t(data[9]) << 16 | uint32_t(data[10]) << 8 | data[11];
  // Counts above the engine's cap are refused before any derivation.
  return iterations > kMaxFuzzIterations && iterations <= vkcrypto::detail::kMaxIterations;
}

vkcrypto::CryptoEngine& SeedEngine() {
  static vkcrypto::CryptoEngine* engine = [] {
    auto* e = new vkcrypto::CryptoEngine;
    e->SetSecretKeyFromPassPhrase(kPassword, 128);
    e->SetPrivateKey(FromHex(kPrivateKeyHex));
    return e;
  }();
  return *engine;
}

}  // namespace vkfuzz
