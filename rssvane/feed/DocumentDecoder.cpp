#include "feed/DocumentDecoder.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define RSSVANE_UTF8_BLOCKS 1
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/AsciiText.h"
#include "base/CodePage.h"
#include "base/Codes.h"
#include "base/Utf8.h"

namespace rssvane {

namespace {

constexpr size_t kMaxLabel = 64;

// One iconv conversion, closed when the decoder is done with it. The
// descriptors are not cached: labels come from the documents, and a hostile
// server must not make the component keep one open per spelling.
class Conversion {
 public:
  Conversion(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Conversion() {
    if (Open()) iconv_close(cd_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  bool Open() const noexcept { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const noexcept { return cd_; }

 private:
  iconv_t cd_;
};

// Appends to a GrowString as to a std::string, running out of memory as
// std::string does, so that one conversion writes either.
class Appender {
 public:
  explicit Appender(GrowString& text) noexcept : text_(text) {}
  Appender& append(const char* bytes, size_t n) { return append(std::string_view(bytes, n)); }
  Appender& append(std::string_view bytes) {
    if (text_.Append(bytes) != 0) throw std::bad_alloc();
    return *this;
  }
  Appender& operator+=(std::string_view bytes) { return append(bytes); }
  Appender& operator+=(char c) {
    if (text_.Append(c) != 0) throw std::bad_alloc();
    return *this;
  }

 private:
  GrowString& text_;
};

// Runs cd over in, appending to out. A sequence cd cannot convert goes to
// stop(offset in in, out), which appends what stands for it and returns how
// many input bytes that takes, or 0 to give up (Transcode then returns
// false). With stopAtNul, the output ends before its first zero byte.
constexpr size_t kTranscodePiece = 1024;

template <class Out, class Stop>
bool Transcode(iconv_t cd, std::string_view in, bool stopAtNul, Out& out, Stop&& stop) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[16384];
  auto take = [&](const char* end) {
    size_t made = static_cast<size_t>(end - buffer);
    const void* nul = stopAtNul ? std::memchr(buffer, 0, made) : nullptr;
    out.append(buffer, nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : made);
    return nul == nullptr;
  };
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    // A conversion that goes through a form of its own (UTF-8 to a code page
    // does) converts its whole input to that form and, at a character it
    // cannot write, converts again up to it: given the input in small pieces
    // it does so over a piece, not over the rest of the document, for each
    // such character.
    size_t piece = std::min(srcLeft, kTranscodePiece);
    size_t pieceLeft = piece;
    size_t rc = iconv(cd, &src, &pieceLeft, &dst, &dstLeft);
    int error = rc == static_cast<size_t>(-1) ? errno : 0;
    srcLeft -= piece - pieceLeft;
    if (!take(dst)) return true;
    // A sequence cut by the piece's end is read whole with the next piece.
    bool cut = error == EINVAL && srcLeft > pieceLeft;
    if (error == 0 || error == E2BIG || cut) continue;
    // What stands for the sequence is written in the initial shift state.
    dst = buffer;
    dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    take(dst);
    size_t used = stop(static_cast<size_t>(src - in.data()), out);
    if (used == 0 || used > srcLeft) return false;
    src += used;
    srcLeft -= used;
  }
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  take(dst);
  return true;
}

// The first position from i on whose byte is not ASCII or is zero, or n; 16
// bytes per step where the processor allows.
size_t SkipAsciiText(const unsigned char* p, size_t i, size_t n) noexcept {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (n - i >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
    if (mask) return i + static_cast<size_t>(__builtin_ctz(mask));
    i += 16;
  }
#endif
  while (i < n && p[i] != 0 && p[i] < 0x80) ++i;
  return i;
}

#if defined(RSSVANE_UTF8_BLOCKS)
// UTF-8 checked sixteen bytes at a time with table look-ups (pshufb): each
// byte is classed by its high nibble, the high nibble of the byte before it
// and that byte's low nibble, and the three classes, ANDed, leave a bit for
// every rule the pair breaks (a lead without its continuation, a
// continuation without a lead, overlong forms, surrogates, values above
// U+10FFFF). A third or fourth byte must follow a lead two or three places
// back, which saturating subtraction finds. Returns a position at the start
// of a character up to which the text is well formed and holds no NUL; the
// careful walk below goes on from there and finds where exactly it ends.
__attribute__((target("ssse3"))) size_t Utf8CheckedBlocks(const unsigned char* p, size_t n) noexcept {
  constexpr char kTooShort = 1 << 0, kTooLong = 1 << 1, kOverlong3 = 1 << 2, kTooLarge = 1 << 3,
                 kSurrogate = 1 << 4, kOverlong2 = 1 << 5, kTooLarge1000 = 1 << 6, kOverlong4 = 1 << 6;
  constexpr char kTwoConts = static_cast<char>(1 << 7);
  constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
  const __m128i firstHigh = _mm_setr_epi8(
      kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,  // 0___ ASCII
      kTwoConts, kTwoConts, kTwoConts, kTwoConts,                                    // 10__ continuation
      kTooShort | kOverlong2,                                                        // 1100 lead of 2
      kTooShort,                                                                     // 1101 lead of 2
      kTooShort | kOverlong3 | kSurrogate,                                           // 1110 lead of 3
      kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);                           // 1111 lead of 4
  const __m128i firstLow = _mm_setr_epi8(
      kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,  // ____0000 to ____0011
      kCarry | kTooLarge, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
      kCarry | kTooLarge | kTooLarge1000 | kSurrogate,  // ____1101
      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000);
  const __m128i secondHigh = _mm_setr_epi8(
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,  // 0___
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,          // 1000
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                           // 1001
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                           // 1010
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                           // 1011
      kTooShort, kTooShort, kTooShort, kTooShort);                                          // 11__
  const __m128i zero = _mm_setzero_si128();
  const __m128i nibble = _mm_set1_epi8(0x0F);
  __m128i previous = zero;
  size_t i = 0;
  // Blocks of ASCII are checked as the others are: a branch on which it is
  // costs more, in text that mixes scripts, than the look-ups. A character
  // cut at the end of the last block is left for the walk below.
  while (n - i >= 16) {
    __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i prev1 = _mm_alignr_epi8(in, previous, 15);
    __m128i classes = _mm_and_si128(
        _mm_and_si128(_mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble)),
                      _mm_shuffle_epi8(firstLow, _mm_and_si128(prev1, nibble))),
        _mm_shuffle_epi8(secondHigh, _mm_and_si128(_mm_srli_epi16(in, 4), nibble)));
    __m128i third = _mm_subs_epu8(_mm_alignr_epi8(in, previous, 14), _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    __m128i fourth = _mm_subs_epu8(_mm_alignr_epi8(in, previous, 13), _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    __m128i must = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
    __m128i error = _mm_or_si128(_mm_xor_si128(must, classes), _mm_cmpeq_epi8(in, zero));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(error, zero)) != 0xFFFF) break;
    previous = in;
    i += 16;
  }
  // Back to the start of a character the last block passed may have cut.
  if (i == 0) return 0;
  size_t lead = i - 1;
  while (lead > 0 && i - lead < 4 && (p[lead] & 0xC0) == 0x80) --lead;
  size_t length = p[lead] < 0x80 ? 1 : p[lead] < 0xE0 ? 2 : p[lead] < 0xF0 ? 3 : 4;
  return lead + length <= i ? i : lead;
}

bool HasBlockInstructions() noexcept {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

// The length of the longest well-formed UTF-8 prefix of text that holds no
// NUL character; nul says whether a NUL ends it.
size_t Utf8TextLength(std::string_view text, bool& nul) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  nul = false;
  size_t i = 0;
#if defined(RSSVANE_UTF8_BLOCKS)
  if (HasBlockInstructions()) i = Utf8CheckedBlocks(p, n);
#endif
  for (;;) {
    i = SkipAsciiText(p, i, n);
    if (i == n) return i;
    if (p[i] == 0) {
      nul = true;
      return i;
    }
    // A run of characters above ASCII, as words in most scripts are.
    uint32_t codePoint;
    while (i < n && p[i] >= 0x80) {
      size_t length = Utf8Sequence(text, i, codePoint);
      if (length == 0) return i;
      i += length;
    }
  }
}

// Where a document's bytes are in UTF-16 or UTF-32: a byte order mark, or
// without one the zero bytes of a first character below 128, which no
// document in an 8-bit encoding begins with (its text would end there).
struct Form {
  const char* name = nullptr;
  size_t markLength = 0;
};

Form FindForm(std::string_view bytes) noexcept {
  auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  using namespace std::string_view_literals;
  if (starts("\xEF\xBB\xBF"sv)) return {"UTF-8", 3};
  if (starts("\x00\x00\xFE\xFF"sv)) return {"UTF-32BE", 4};
  if (starts("\xFF\xFE\x00\x00"sv)) return {"UTF-32LE", 4};
  if (starts("\xFE\xFF"sv)) return {"UTF-16BE", 2};
  if (starts("\xFF\xFE"sv)) return {"UTF-16LE", 2};
  auto ascii = [](unsigned b) { return b > 0 && b < 0x80; };
  if (at(0) == 0 && at(1) == 0 && at(2) == 0 && ascii(at(3))) return {"UTF-32BE", 0};
  if (at(0) == 0 && ascii(at(1))) return {"UTF-16BE", 0};
  if (ascii(at(0)) && at(1) == 0 && at(2) == 0 && at(3) == 0) return {"UTF-32LE", 0};
  if (ascii(at(0)) && at(1) == 0) return {"UTF-16LE", 0};
  return {};
}

bool IsXmlSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsAsciiAlnum(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The XML declaration at the start of a text in an ASCII-compatible form,
// after any white space (some servers send a line break before it). Its
// pseudo-attributes must be well formed and its bytes printable ASCII;
// anything else is not taken for a declaration.
struct Declaration {
  bool found = false;
  size_t end = 0;  // just past "?>"
  bool hasEncoding = false;
  size_t encodingStart = 0, encodingEnd = 0;  // the value, inside its quotes
  size_t insertAt = 0;                        // where an encoding goes when it has none: after the version

  std::string_view Encoding(std::string_view text) const noexcept {
    return text.substr(encodingStart, encodingEnd - encodingStart);
  }
};

Declaration FindDeclaration(std::string_view text) noexcept {
  size_t p = 0;
  while (p < text.size() && IsXmlSpace(text[p])) ++p;
  if (text.substr(p, 5) != "<?xml" || p + 5 >= text.size() || !IsXmlSpace(text[p + 5])) return {};
  size_t close = text.find("?>", p + 5);
  if (close == std::string_view::npos) return {};
  for (size_t i = p; i < close; ++i) {
    if (IsControlByte(text[i]) && !IsXmlSpace(text[i])) return {};
    if (static_cast<unsigned char>(text[i]) >= 0x80) return {};
  }
  Declaration d;
  p += 5;
  d.insertAt = p;
  for (;;) {
    while (p < close && IsXmlSpace(text[p])) ++p;
    if (p == close) break;
    size_t nameStart = p;
    while (p < close && IsAsciiAlnum(text[p])) ++p;
    std::string_view name = text.substr(nameStart, p - nameStart);
    while (p < close && IsXmlSpace(text[p])) ++p;
    if (name.empty() || p == close || text[p] != '=') return {};
    ++p;
    while (p < close && IsXmlSpace(text[p])) ++p;
    if (p == close || (text[p] != '"' && text[p] != '\'')) return {};
    size_t valueEnd = text.find(text[p], p + 1);
    if (valueEnd == std::string_view::npos || valueEnd > close) return {};
    if (name == "version") d.insertAt = valueEnd + 1;
    if (name == "encoding") {
      d.hasEncoding = true;
      d.encodingStart = p + 1;
      d.encodingEnd = valueEnd;
    }
    p = valueEnd + 1;
  }
  d.found = true;
  d.end = close + 2;
  return d;
}

// An encoding name as XML declarations and HTTP parameters write them. Other
// bytes never reach iconv, whose names take suffixes after "/".
bool IsLabel(std::string_view label) noexcept {
  if (label.empty() || label.size() > kMaxLabel) return false;
  for (char c : label) {
    if (!IsAsciiAlnum(c) && c != '-' && c != '_' && c != '.' && c != ':') return false;
  }
  return true;
}

// A label without case or punctuation, for recognising the spellings of one
// encoding.
std::string Squeezed(std::string_view label) {
  std::string squeezed;
  for (char c : label) {
    if (IsAsciiAlnum(c)) squeezed += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return squeezed;
}

bool IsUtf8Label(std::string_view label) { return Squeezed(label) == "UTF8"; }

// ISO-8859-1 and windows-1252 under their common names. Both are read as
// windows-1252: feeds that declare ISO-8859-1 and hold 0x80 to 0x9F mean its
// quotes, dashes and euro sign, never the C1 controls, which no feed text
// holds. The five bytes windows-1252 leaves undefined keep their ISO-8859-1
// meaning, so no byte of such a feed is invalid.
bool IsWindows1252Label(std::string_view label) {
  static constexpr std::string_view kNames[] = {"ISO88591", "ISO885911987", "LATIN1", "L1",      "ISOIR100",   "CP819",
                                                "IBM819",   "CSISOLATIN1",  "CP1252", "XCP1252", "WINDOWS1252"};
  std::string squeezed = Squeezed(label);
  for (std::string_view name : kNames) {
    if (squeezed == name) return true;
  }
  return false;
}

bool IsWindows1252Hole(unsigned char b) noexcept {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// A label fit for a message, whatever bytes it holds.
std::string Printable(std::string_view label) {
  std::string out;
  for (char c : label.substr(0, kMaxLabel)) out += c > 0x20 && c < 0x7F && c != '"' ? c : '?';
  if (label.size() > kMaxLabel) out += "...";
  return out;
}

// The name the rewritten declaration gives the code page: the registered
// name where iconv's differs from it.
std::string DeclarationName(const std::string& iconvName) {
  if (iconvName.size() == 6 && iconvName.compare(0, 5, "CP125") == 0) return "windows-" + iconvName.substr(2);
  return iconvName;
}

// The reader finds markup by its ASCII bytes, so the code page must write
// them as ASCII does.
bool HoldsMarkup(const std::string& iconvName) {
  std::string probe = "\t\n\r";
  for (char c = 0x20; c < 0x7F; ++c) probe += c;
  Conversion cd(iconvName, "UTF-8");
  if (!cd.Open()) return false;
  std::string out;
  return Transcode(cd.Get(), probe, false, out, [](size_t, std::string&) { return size_t{0}; }) && out == probe;
}

// The UTF-8 form of a byte of a code page of one byte a character; length
// 0 for a byte that stands for nothing.
struct ByteForm {
  char bytes[7];
  uint8_t length;
};

// Decodes each byte of a code page on its own. False for a code page that
// reads a byte as the start of a longer sequence, reads a byte by those
// around it (a converter that holds a character back to join it with the
// marks that may follow, as windows-1255 and windows-1258 do, writes
// nothing for it here), or does not read the ASCII bytes as ASCII does.
bool DecodeEachByte(const std::string& iconvName, ByteForm (&forms)[0x100]) {
  Conversion cd("UTF-8", iconvName);
  if (!cd.Open()) return false;
  for (unsigned b = 0; b < 0x100; ++b) {
    ByteForm& form = forms[b];
    form.length = 0;
    char in = static_cast<char>(b);
    char* src = &in;
    size_t srcLeft = 1;
    char* dst = form.bytes;
    size_t dstLeft = sizeof form.bytes;
    iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd.Get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
      // A byte that stands for nothing is one the code page leaves out; a
      // byte that begins a longer sequence makes it a multi-byte one.
      if (errno == EILSEQ && b >= 0x80) continue;
      return false;
    }
    uint32_t codePoint = 0;
    std::string_view decoded(form.bytes, static_cast<size_t>(dst - form.bytes));
    if (decoded.empty() || Utf8Sequence(decoded, 0, codePoint) != decoded.size()) return false;
    if (b < 0x80 && codePoint != b) return false;
    form.length = static_cast<uint8_t>(decoded.size());
  }
  return true;
}

// A code page of one byte a character, as most are: the byte of each
// character it holds, found once by decoding every byte. Written through it,
// a character the code page lacks costs a look-up; through iconv it costs a
// stop and a restart.
class ByteTable {
 public:
  // False where DecodeEachByte is.
  bool Build(const std::string& iconvName) {
    ByteForm forms[0x100];
    if (!DecodeEachByte(iconvName, forms)) return false;
    for (unsigned b = 0x80; b < 0x100; ++b) {
      uint32_t codePoint = 0;
      if (forms[b].length == 0) continue;
      Utf8Sequence(std::string_view(forms[b].bytes, forms[b].length), 0, codePoint);
      bytes_.push_back({codePoint, static_cast<char>(b)});
    }
    std::stable_sort(bytes_.begin(), bytes_.end(), [](const Entry& a, const Entry& b) { return a.codePoint < b.codePoint; });
    // The first byte for a character wins, as in the search below.
    for (auto e = bytes_.rbegin(); e != bytes_.rend(); ++e) {
      if (e->codePoint < kDirect) direct_[e->codePoint] = e->byte;
    }
    return true;
  }

  // The byte for a character above ASCII, or false.
  bool Find(uint32_t codePoint, char& byte) const noexcept {
    if (codePoint < kDirect) {
      byte = direct_[codePoint];
      return byte != 0;
    }
    auto at = std::lower_bound(bytes_.begin(), bytes_.end(), codePoint,
                               [](const Entry& e, uint32_t c) { return e.codePoint < c; });
    if (at == bytes_.end() || at->codePoint != codePoint) return false;
    byte = at->byte;
    return true;
  }

 private:
  struct Entry {
    uint32_t codePoint;
    char byte;
  };
  // Characters written in two bytes of UTF-8, which most code pages of one
  // byte a character hold, are looked up directly (0: not held; no
  // character above ASCII is written as a zero byte).
  static constexpr uint32_t kDirect = 0x800;
  std::vector<Entry> bytes_;
  char direct_[kDirect] = {};
};

// An encoding of one byte a character, as most are, read through a table:
// the UTF-8 form of each byte, found once by decoding every byte. Through
// iconv, a document is converted a piece at a time with a call per piece.
class ByteDecoding {
 public:
  // False where DecodeEachByte is. With windows1252, the five bytes
  // windows-1252 leaves undefined read as ISO-8859-1 does.
  bool Build(const std::string& iconvName, bool windows1252) {
    if (!DecodeEachByte(iconvName, forms_)) return false;
    for (unsigned b = 0x80; windows1252 && b < 0x100; ++b) {
      if (forms_[b].length == 0 && IsWindows1252Hole(static_cast<unsigned char>(b))) {
        forms_[b] = {{'\xC2', static_cast<char>(b)}, 2};
      }
    }
    return true;
  }

  // Appends the UTF-8 form of bytes up to the first NUL, or gives the offset
  // of a byte that stands for nothing.
  bool Decode(std::string_view bytes, GrowString& out, size_t& bad) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
      size_t ascii = SkipAsciiText(p, i, n);
      if (ascii > i && out.Append(bytes.substr(i, ascii - i))) throw std::bad_alloc();
      i = ascii;
      if (i == n || p[i] == 0) break;
      const ByteForm& form = forms_[p[i]];
      if (form.length == 0) {
        bad = i;
        return false;
      }
      char* at = out.Extend(form.length);
      if (!at) throw std::bad_alloc();
      std::memcpy(at, form.bytes, form.length);
      ++i;
    }
    return true;
  }

 private:
  ByteForm forms_[0x100] = {};
};

template <class Out>
void AppendReference(Out& out, uint32_t codePoint) {
  char digits[10];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + codePoint % 10);
    codePoint /= 10;
  } while (codePoint != 0);
  char reference[16] = {'&', '#'};
  size_t length = 2;
  while (n > 0) reference[length++] = digits[--n];
  reference[length++] = ';';
  out.append(reference, length);
}

// Replaces the first from bytes of text with head, moving the rest in place:
// a declaration rewritten in a document the decoder made needs no copy of it.
void ReplaceHead(GrowString& text, size_t from, std::string_view head) {
  size_t rest = text.Length() - from;
  if (head.size() > from && text.Extend(head.size() - from) == nullptr) throw std::bad_alloc();
  std::memmove(text.Data() + head.size(), text.Data() + from, rest);
  std::memcpy(text.Data(), head.data(), head.size());
  text.Truncate(head.size() + rest);
}

// Where a character stands in the markup of a document, found by following
// its ASCII markup from the start. Asked about offsets in increasing order,
// it follows the document once.
class MarkupPosition {
 public:
  enum Place { kText, kValue, kName, kCdata, kOther };

  explicit MarkupPosition(std::string_view text) noexcept : text_(text) {}

  Place At(size_t offset) noexcept {
    while (pos_ < offset) {
      // Text, quoted parts, comments, processing instructions and CDATA
      // sections end only at one byte: the bytes before it are passed
      // whole.
      if (char awaited = Awaited()) {
        const void* at = std::memchr(text_.data() + pos_, awaited, offset - pos_);
        if (at == nullptr) {
          pos_ = offset;
          break;
        }
        pos_ = static_cast<size_t>(static_cast<const char*>(at) - text_.data());
      }
      Step();
    }
    switch (state_) {
      case kInText: return kText;
      case kInQuoted: return resume_ == kInTag ? kValue : kOther;
      case kInUnquoted:
      case kBeforeValue: return kValue;  // the first character of an unquoted value
      case kInTag: return kName;
      case kInCdata: return kCdata;
      default: return kOther;
    }
  }

 private:
  // Quoted parts, comments and processing instructions occur both in tags
  // or text and inside the document type, and return to where they began.
  enum State { kInText, kInTag, kBeforeValue, kInQuoted, kInUnquoted, kInComment, kInPi, kInCdata, kInDeclaration };

  bool Starts(std::string_view what) const noexcept { return text_.substr(pos_, what.size()) == what; }

  // The byte that may end the state, or 0 where any may.
  char Awaited() const noexcept {
    switch (state_) {
      case kInText: return '<';
      case kInQuoted: return quote_;
      case kInComment: return '-';
      case kInPi: return '?';
      case kInCdata: return ']';
      default: return 0;
    }
  }

  void Step() noexcept {
    char c = text_[pos_];
    switch (state_) {
      case kInText:
        if (c != '<') break;
        if (Starts("<![CDATA[")) return Enter(kInCdata, 9);
        if (Inner()) return;
        if (Starts("<!")) {
          depth_ = 0;
          return Enter(kInDeclaration, 2);
        }
        return Enter(kInTag, 1);
      case kInTag:
        if (Quote(c)) return;
        if (c == '=') return Enter(kBeforeValue, 1);
        if (c == '>') return Enter(kInText, 1);
        break;
      case kBeforeValue:
        if (IsXmlSpace(c)) break;
        if (Quote(c)) return;
        if (c == '>') return Enter(kInText, 1);
        return Enter(kInUnquoted, 0);
      case kInUnquoted:
        if (IsXmlSpace(c)) return Enter(kInTag, 1);
        if (c == '>') return Enter(kInText, 1);
        break;
      case kInDeclaration:
        if (Quote(c) || Inner()) return;
        if (c == '[') ++depth_;
        if (c == ']' && depth_ > 0) --depth_;
        if (c == '>' && depth_ == 0) return Enter(kInText, 1);
        break;
      case kInQuoted:
        if (c == quote_) return Enter(resume_, 1);
        break;
      case kInComment:
        if (Starts("-->")) return Enter(resume_, 3);
        break;
      case kInPi:
        if (Starts("?>")) return Enter(resume_, 2);
        break;
      case kInCdata:
        if (Starts("]]>")) return Enter(kInText, 3);
        break;
    }
    ++pos_;
  }

  // Enters a quoted part at a quote character; false for any other.
  bool Quote(char c) noexcept {
    if (c != '"' && c != '\'') return false;
    quote_ = c;
    Begin(kInQuoted, 1);
    return true;
  }

  // Enters a comment or a processing instruction that starts here.
  bool Inner() noexcept {
    if (Starts("<!--")) {
      Begin(kInComment, 4);
    } else if (Starts("<?")) {
      Begin(kInPi, 2);
    } else {
      return false;
    }
    return true;
  }

  void Begin(State inner, size_t length) noexcept {
    resume_ = state_ == kBeforeValue ? kInTag : state_;
    Enter(inner, length);
  }

  void Enter(State state, size_t length) noexcept {
    state_ = state;
    pos_ += length;
  }

  std::string_view text_;
  size_t pos_ = 0;
  State state_ = kInText;
  State resume_ = kInText;
  char quote_ = 0;
  size_t depth_ = 0;
};

size_t LineOf(std::string_view text, size_t offset) noexcept {
  size_t line = 1;
  for (size_t i = 0; i < offset; ++i) line += text[i] == '\n';
  return line;
}

}  // namespace

GrowString DocumentDecoder::TakeText() noexcept {
  GrowString taken;
  if (ownsText_) taken = std::move(out_);
  ownsText_ = false;
  text_ = {};
  return taken;
}

int DocumentDecoder::Fail(int code, std::string message) noexcept {
  ownsText_ = false;
  text_ = {};
  message_ = std::move(message);
  return code;
}

int DocumentDecoder::Decode(std::string_view bytes, std::string_view charset, int codePage) noexcept {
  try {
    utf8_.Clear();
    out_.Clear();
    ownsText_ = false;
    text_ = {};
    message_.clear();

    std::string target = CodePageName(codePage);
    bool targetUtf8 = CodePageIsUtf8(codePage);
    if (target.empty() || (!targetUtf8 && !HoldsMarkup(target))) {
      return Fail(kErrCodePage, "Code page " + std::to_string(codePage) + " cannot hold an XML document.");
    }

    // The encoding, and the bytes written in it.
    Form form = FindForm(bytes);
    std::string_view body = bytes.substr(form.markLength);
    std::string label;
    Declaration declared;
    if (form.name) {
      label = form.name;
    } else {
      declared = FindDeclaration(body);
      if (declared.hasEncoding) {
        label = declared.Encoding(body);
      } else if (!charset.empty()) {
        label = charset;
      } else {
        label = "UTF-8";
      }
    }
    std::string unknown = "Unknown document encoding \"" + Printable(label) + "\".";
    if (!IsLabel(label)) return Fail(kErrDocumentEncoding, unknown);
    auto invalidAt = [&](size_t offset) {
      return Fail(kErrDocumentEncoding,
                  "The document is not valid " + label + " at byte " + std::to_string(form.markLength + offset) + ".");
    };

    // Into UTF-8, up to the first NUL character.
    std::string_view utf8;
    bool ownUtf8 = false;
    if (IsUtf8Label(label)) {
      bool nul = false;
      size_t valid = Utf8TextLength(body, nul);
      if (!nul && valid < body.size()) return invalidAt(valid);
      utf8 = body.substr(0, valid);
    } else {
      bool windows1252 = IsWindows1252Label(label);
      Conversion cd("UTF-8", windows1252 ? "CP1252" : label);
      if (!cd.Open()) return Fail(kErrDocumentEncoding, unknown);
      // The declaration was read as ASCII; an encoding that does not write
      // it so (UTF-16 named in an 8-bit document) is not the document's.
      if (declared.hasEncoding && !windows1252) {
        std::string_view text = body.substr(0, declared.end);
        std::string same;
        if (!Transcode(cd.Get(), text, false, same, [](size_t, std::string&) { return size_t{0}; }) || same != text) {
          return Fail(kErrDocumentEncoding,
                      "The document declares the encoding \"" + label + "\" but is not written in it.");
        }
      }
      size_t bad = 0;
      if (utf8_.Reserve(body.size() + body.size() / 8) != 0) throw std::bad_alloc();
      ByteDecoding table;
      bool converted;
      if (table.Build(windows1252 ? "CP1252" : label, windows1252)) {
        converted = table.Decode(body, utf8_, bad);
      } else {
        Appender into(utf8_);
        converted = Transcode(cd.Get(), body, true, into, [&](size_t offset, Appender& out) -> size_t {
          auto b = static_cast<unsigned char>(body[offset]);
          if (windows1252 && IsWindows1252Hole(b)) {
            out += '\xC2';
            out += static_cast<char>(b);
            return 1;
          }
          bad = offset;
          return 0;
        });
      }
      if (!converted) return invalidAt(bad);
      utf8 = utf8_.View();
      ownUtf8 = true;
    }

    // A mark written twice (a file converted twice) is a mark still: before
    // the first element it cannot be text, and left in UTF-8 it would read
    // as the mark of the decoded document.
    while (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);

    // The declaration names the code page.
    Declaration d = FindDeclaration(utf8);
    std::string name = DeclarationName(target);
    if (targetUtf8 && utf8.data() == bytes.data() && (!d.hasEncoding || IsUtf8Label(d.Encoding(utf8)))) {
      text_ = utf8;
      return 0;
    }
    // The declaration as the decoded document has it, and where the rest
    // of the document begins after the one it had.
    std::string head;
    size_t restStart = 0;
    if (d.hasEncoding) {
      head.append(utf8.substr(0, d.encodingStart)).append(name).append(utf8.substr(d.encodingEnd, d.end - d.encodingEnd));
      restStart = d.end;
    } else if (d.found) {
      head.append(utf8.substr(0, d.insertAt));
      if (!targetUtf8) head.append(" encoding=\"").append(name).append("\"");
      head.append(utf8.substr(d.insertAt, d.end - d.insertAt));
      restStart = d.end;
    } else if (!targetUtf8) {
      head.append("<?xml version=\"1.0\" encoding=\"").append(name).append("\"?>");
    }
    std::string_view rest = utf8.substr(restStart);
    if (targetUtf8) {
      if (!ownUtf8) {
        // The bytes given: copied, behind a new head.
        if (out_.Reserve(head.size() + rest.size()) != 0) throw std::bad_alloc();
        Appender(out_).append(head).append(rest);
      } else {
        // The decoder's own UTF-8: rewritten where it lies.
        size_t from = static_cast<size_t>(utf8.data() - utf8_.CStr()) + restStart;
        out_ = std::move(utf8_);
        ReplaceHead(out_, from, head);
      }
      ownsText_ = true;
      text_ = out_.View();
      return 0;
    }
    if (out_.Reserve(utf8.size() + utf8.size() / 8 + 64) != 0) throw std::bad_alloc();
    Appender out(out_);
    out.append(head);

    // Into the code page, with references for what it lacks: lacking()
    // writes what stands for the character at utf8[at] and gives its length,
    // or 0 where nothing can.
    MarkupPosition markup(utf8);
    size_t nameAt = 0;
    uint32_t nameCharacter = 0;
    auto lacking = [&](size_t at, Appender& to) -> size_t {
      uint32_t codePoint = 0;
      size_t length = Utf8Sequence(utf8, at, codePoint);
      MarkupPosition::Place place = markup.At(at);
      if (length == 0 || place == MarkupPosition::kName) {
        nameAt = at;
        nameCharacter = codePoint;
        return 0;
      }
      if (place == MarkupPosition::kCdata) to += "]]>";
      AppendReference(to, codePoint);
      if (place == MarkupPosition::kCdata) to += "<![CDATA[";
      return length;
    };
    bool converted = true;
    ByteTable table;
    if (table.Build(target)) {
      const auto* p = reinterpret_cast<const unsigned char*>(rest.data());
      for (size_t i = 0; i < rest.size() && converted;) {
        if (p[i] < 0x80) {
          size_t ascii = SkipAsciiText(p, i, rest.size());
          out.append(rest.substr(i, ascii - i));
          i = ascii;
          if (i == rest.size()) break;
        }
        uint32_t codePoint = 0;
        size_t length = Utf8Sequence(rest, i, codePoint);
        char byte;
        if (length > 0 && table.Find(codePoint, byte)) {
          out += byte;
        } else {
          length = lacking(restStart + i, out);
          converted = length > 0;
        }
        i += length;
      }
    } else {
      Conversion cd(target, "UTF-8");
      if (!cd.Open()) {
        return Fail(kErrCodePage, "Code page " + std::to_string(codePage) + " cannot hold an XML document.");
      }
      converted = Transcode(cd.Get(), rest, false, out,
                            [&](size_t offset, Appender& to) { return lacking(restStart + offset, to); });
    }
    if (!converted) {
      char character[16];
      std::snprintf(character, sizeof character, "U+%04X", static_cast<unsigned>(nameCharacter));
      return Fail(kErrDocumentEncoding, std::string("The character ") + character + " in a name on line " +
                                            std::to_string(LineOf(utf8, nameAt)) +
                                            " of the document has no form in code page " + std::to_string(codePage) +
                                            ".");
    }
    ownsText_ = true;
    text_ = out_.View();
    return 0;
  } catch (const std::bad_alloc&) {
    return Fail(kErrOutOfMemory, {});
  }
}

}  // namespace rssvane
