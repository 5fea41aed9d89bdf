// Decoding any bytes: the decoder ends with 0 or a code and a message; what
// it gives holds no zero byte, and decoding it again gives it back (the
// declaration it wrote names the code page its bytes are in).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Codes.h"
#include "feed/DocumentDecoder.h"

using namespace rssvane;

// The first byte picks the code page and the length of a charset that
// follows it; the rest is the document.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static constexpr int kCodePages[] = {65001, 1252, 28591, 932};
  int codePage = kCodePages[data[0] & 3];
  size_t charsetLength = data[0] >> 4;
  if (size - 1 < charsetLength) return 0;
  std::string_view charset(reinterpret_cast<const char*>(data + 1), charsetLength);
  std::string_view bytes(reinterpret_cast<const char*>(data + 1 + charsetLength), size - 1 - charsetLength);

  DocumentDecoder decoder;
  int rc = decoder.Decode(bytes, charset, codePage);
  if (rc != 0) {
    if ((rc != kErrDocumentEncoding && rc != kErrOutOfMemory) || decoder.Message().empty() || !decoder.Text().empty()) {
      std::abort();
    }
    return 0;
  }
  std::string text(decoder.Text());
  if (text.find('\0') != std::string::npos) std::abort();
  // ISO-8859-1 is read back as windows-1252, which gives its C1 bytes other
  // meanings, so only the other code pages come back unchanged.
  if (codePage == 28591) return 0;
  DocumentDecoder again;
  if (again.Decode(text, {}, codePage) != 0 || again.Text() != text) std::abort();
  return 0;
}
