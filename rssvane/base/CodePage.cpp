#include "base/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "base/Utf8.h"

namespace rssvane {

namespace {

std::string SystemCodeset() {
  static const std::string codeset = [] {
    std::string name = "UTF-8";
    locale_t env = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (env != static_cast<locale_t>(0)) {
      const char* set = nl_langinfo_l(CODESET, env);
      if (set && *set && std::strcmp(set, "ANSI_X3.4-1968") != 0 && std::strcmp(set, "ASCII") != 0) name = set;
      freelocale(env);
    }
    return name;
  }();
  return codeset;
}

bool IsUtf8Name(const std::string& name) {
  return name == "UTF-8" || name == "utf8" || name == "UTF8" || name == "utf-8";
}

// One conversion descriptor per direction and code set, opened on first use
// and closed when the thread ends. The component runs on one thread per
// control, so a thread's own cache needs no lock.
class ConverterCache {
 public:
  ConverterCache() = default;
  ConverterCache(const ConverterCache&) = delete;
  ConverterCache& operator=(const ConverterCache&) = delete;
  ~ConverterCache() {
    for (auto& entry : open_) iconv_close(entry.second);
  }

  iconv_t Get(const std::string& to, const std::string& from) {
    auto key = std::make_pair(to, from);
    auto found = open_.find(key);
    if (found != open_.end()) {
      iconv(found->second, nullptr, nullptr, nullptr, nullptr);
      return found->second;
    }
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd != reinterpret_cast<iconv_t>(-1)) open_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

iconv_t Converter(const std::string& to, const std::string& from) {
  thread_local ConverterCache cache;
  return cache.Get(to, from);
}

// Runs iconv over in, replacing what does not convert: an input sequence that
// is invalid in the source set is skipped a unit at a time and replaced by
// badInput, a character the target lacks by badOutput.
bool Convert(const std::string& to, const std::string& from, std::string_view in, size_t inputUnit,
             std::string_view badInput, std::string_view badOutput, std::string& out) {
  out.clear();
  iconv_t cd = Converter(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut short at the end): decide whether the
    // input is bad or the target lacks the character by asking the source
    // set alone, through a conversion to UTF-32 of one character.
    bool inputValid = false;
    if (errno == EILSEQ) {
      iconv_t probe = Converter("UTF-32LE", from);
      if (probe != reinterpret_cast<iconv_t>(-1)) {
        char* p = src;
        size_t pLeft = srcLeft;
        char one[4];
        char* q = one;
        size_t qLeft = sizeof one;
        size_t probeRc = iconv(probe, &p, &pLeft, &q, &qLeft);
        inputValid = qLeft == 0 || probeRc != static_cast<size_t>(-1);
        if (inputValid) {
          out.append(badOutput);
          srcLeft = pLeft;
          src = p;
          iconv(cd, nullptr, nullptr, nullptr, nullptr);
          continue;
        }
      }
    }
    size_t skip = std::min(inputUnit, srcLeft);
    src += skip;
    srcLeft -= skip;
    out.append(badInput);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, sizeof buffer - dstLeft);
  return true;
}

std::string Utf16Bytes(std::u16string_view wide) {
  std::string bytes(wide.size() * 2, '\0');
  for (size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  return bytes;
}

std::u16string Utf16FromBytes(const std::string& bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return wide;
}

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kReplacementUtf16 = std::string_view("\xFD\xFF", 2);

}  // namespace

std::string CodePageName(int codePage) {
  switch (codePage) {
    case 0: return SystemCodeset();
    case 65001: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 20127: return "ASCII";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 50220: return "ISO-2022-JP";
    case 54936: return "GB18030";
    case 10000: return "MACINTOSH";
    default: break;
  }
  if (codePage >= 28591 && codePage <= 28605) return "ISO-8859-" + std::to_string(codePage - 28590);
  if (codePage > 0 && codePage < 10000) return "CP" + std::to_string(codePage);
  return {};
}

bool CodePageAvailable(int codePage) {
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  auto opens = [](const std::string& to, const std::string& from) {
    return Converter(to, from) != reinterpret_cast<iconv_t>(-1);
  };
  return opens("UTF-16LE", name) && opens(name, "UTF-16LE") && opens("UTF-8", name) && opens(name, "UTF-8");
}

bool CodePageIsUtf8(int codePage) { return IsUtf8Name(CodePageName(codePage)); }

namespace {

// The character in the code page through iconv, or false.
bool NarrowOf(uint32_t codePoint, int codePage, std::string& out) {
  out.clear();
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  iconv_t cd = Converter(name, "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char in[4] = {static_cast<char>(codePoint & 0xFF), static_cast<char>((codePoint >> 8) & 0xFF),
                static_cast<char>((codePoint >> 16) & 0xFF), static_cast<char>(codePoint >> 24)};
  char buffer[32];
  char* src = in;
  size_t srcLeft = sizeof in;
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  // Anything but an exact conversion (none, or an approximation) means the
  // code page cannot hold the character.
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != 0 || srcLeft != 0) return false;
  // A stateful code page returns to its initial state after the character.
  if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
  out.assign(buffer, sizeof buffer - dstLeft);
  return !out.empty();
}

// What CharacterToNarrow found lately, by code page and character: a
// document that refers to characters refers to the same few again and
// again, and each look-up through iconv costs a conversion of its own. The
// system's code page (0) is not kept, as the locale may change under it.
struct NarrowMemo {
  static constexpr size_t kSlots = 1024;
  struct Slot {
    int codePage = 0;
    uint32_t codePoint = 0;
    uint8_t length = 0;  // 0: the code page lacks the character
    char bytes[15] = {};
  };
  Slot slots[kSlots];

  Slot& For(uint32_t codePoint) noexcept { return slots[(codePoint ^ (codePoint >> 10)) % kSlots]; }
};

thread_local NarrowMemo narrowMemo;

}  // namespace

bool CharacterToNarrow(uint32_t codePoint, int codePage, std::string& out) {
  out.clear();
  NarrowMemo::Slot& slot = narrowMemo.For(codePoint);
  if (codePage != 0 && slot.codePage == codePage && slot.codePoint == codePoint) {
    out.assign(slot.bytes, slot.length);
    return slot.length > 0;
  }
  bool held = NarrowOf(codePoint, codePage, out);
  if (codePage != 0 && out.size() <= sizeof slot.bytes) {
    slot.codePage = codePage;
    slot.codePoint = codePoint;
    slot.length = held ? static_cast<uint8_t>(out.size()) : 0;
    if (held) std::memcpy(slot.bytes, out.data(), out.size());
  }
  return held;
}

size_t CharacterToNarrow(uint32_t codePoint, int codePage, char (&out)[kNarrowCharacterRoom]) {
  static_assert(sizeof NarrowMemo::Slot::bytes <= kNarrowCharacterRoom);
  NarrowMemo::Slot& slot = narrowMemo.For(codePoint);
  if (codePage == 0 || slot.codePage != codePage || slot.codePoint != codePoint) {
    std::string narrow;
    if (!CharacterToNarrow(codePoint, codePage, narrow)) return 0;
    if (narrow.size() > kNarrowCharacterRoom) return kNarrowCharacterLong;
    std::memcpy(out, narrow.data(), narrow.size());
    return narrow.size();
  }
  std::memcpy(out, slot.bytes, slot.length);
  return slot.length;
}

bool SystemCodePageIsJapanese() {
  std::string name = SystemCodeset();
  return name == "CP932" || name == "SHIFT_JIS" || name == "SJIS" || name == "Shift_JIS";
}

namespace {

// Well-formed UTF-8 decoded straight to UTF-16, as iconv decodes it but
// without its round trip through a byte buffer: false at the first sequence
// that is not well-formed (truncated, overlong, a surrogate, above U+10FFFF),
// leaving the whole text to iconv and its replacement characters.
bool WellFormedUtf8ToUtf16(std::string_view in, std::u16string& out) {
  out.clear();
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const unsigned char lead = static_cast<unsigned char>(in[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    uint32_t c = 0;
    size_t length = Utf8Sequence(in, i, c);
    if (length == 0) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return true;
}

}  // namespace

bool NarrowToWide(std::string_view narrow, int codePage, std::u16string& out) {
  out.clear();
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  // Every event of a fetched body converts it: the common case goes fast.
  if (IsUtf8Name(name) && WellFormedUtf8ToUtf16(narrow, out)) return true;
  std::string bytes;
  if (!Convert("UTF-16LE", name, narrow, 1, kReplacementUtf16, std::string_view("?\0", 2), bytes)) return false;
  out = Utf16FromBytes(bytes);
  return true;
}

bool WideToNarrow(std::u16string_view wide, int codePage, std::string& out) {
  out.clear();
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  std::string bytes = Utf16Bytes(wide);
  std::string_view bad = IsUtf8Name(name) ? kReplacementUtf8 : std::string_view("?");
  return Convert(name, "UTF-16LE", bytes, 2, bad, "?", out);
}

bool NarrowToUtf8(std::string_view narrow, int codePage, std::string& out) {
  out.clear();
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  return Convert("UTF-8", name, narrow, 1, kReplacementUtf8, "?", out);
}

bool Utf8ToNarrow(std::string_view utf8, int codePage, std::string& out) {
  out.clear();
  std::string name = CodePageName(codePage);
  if (name.empty()) return false;
  std::string_view bad = IsUtf8Name(name) ? kReplacementUtf8 : std::string_view("?");
  return Convert(name, "UTF-8", utf8, 1, bad, "?", out);
}

}  // namespace rssvane
