#include "xml/XmlReader.h"

#include <cstring>
#include <string>

#include "base/Bytes.h"
#include "base/CodePage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rssvane {

namespace {

// Tokenizer states.
enum State : int {
  kText = 0,
  kTagName = 1,
  kAfterLt = 2,
  kBeforeAttribute = 3,
  kAttributeName = 4,
  kAfterAttributeName = 5,
  kBeforeValue = 6,
  kUnquotedValue = 7,
  kAfterTag = 8,
  kSingleQuoted = 9,
  kDoubleQuoted = 10,
  kEndTagName = 11,
  kAfterEndTagName = 12,
  kEntityText = 13,
  kEntityUnquoted = 14,
  kEntitySingle = 15,
  kEntityDouble = 16,
  kEndTagJunk = 17,
  kAfterBangDash = 18,
  kComment = 19,
  kInstruction = 20,
  kAfterBang = 21,
  kDeclaration = 22,
  kSectionContent = 23,
  kSectionKeyword = 24,
  kDeclSingle = 25,
  kDeclDouble = 26,
  kDeclBracket = 27,
  kSecondByte = 28,
};

// Byte classes.
enum : uint8_t {
  kName = 1,
  kSpace = 2,
  kTextStop = 4,  // ends a run of plain text in multi-byte mode
  kLead = 8,      // the first byte of a double-byte character in multi-byte mode
};

// Where in p[i, n) the next '>' stands that may close a marked section
// (mark ']', "]]>") or a comment (mark '-', "-->"): the first one after two
// marks, or one of the first two bytes, whose marks may have come in the
// piece before; n when there is none. What these hold (markup, mostly) has
// '>' often and marks seldom, so the search goes from mark to mark.
size_t NextPossibleClose(const unsigned char* p, size_t i, size_t n, unsigned char mark) noexcept {
  for (size_t k = i; k < n && k < i + 2; ++k) {
    if (p[k] == '>') return k;
  }
  for (size_t k = i; k < n; ++k) {
    const void* found = std::memchr(p + k, mark, n - k);
    if (!found) return n;
    k = static_cast<size_t>(static_cast<const unsigned char*>(found) - p);
    // Marks at the very end close in the next piece, at its first bytes.
    if (k + 2 >= n) return n;
    if (p[k + 1] == mark && p[k + 2] == '>') return k + 2;
  }
  return n;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The first position from j on whose byte is one of a, b or c, or n; 16
// bytes per step where the processor allows.
inline size_t FindAny(const unsigned char* p, size_t j, size_t n, unsigned char a, unsigned char b,
                      unsigned char c) noexcept {
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(static_cast<char>(a));
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
  while (j + 16 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
    int mask = _mm_movemask_epi8(hit);
    if (mask) return j + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    j += 16;
  }
#endif
  while (j < n && p[j] != a && p[j] != b && p[j] != c) ++j;
  return j;
}

// The code point a numeric reference ("#65", "#x41") stands for, or 0 when
// it stands for no character: not a number, above U+10FFFF, the zero byte
// (which would end the text for every C caller) or a lone surrogate (half a
// character in any encoding).
uint32_t ReferenceValue(std::string_view reference) noexcept {
  if (reference.size() < 2 || reference[0] != '#') return 0;
  // A decimal number, or "x" and a hexadecimal one.
  bool hex = reference[1] == 'x' || reference[1] == 'X';
  size_t i = hex ? 2 : 1;
  if (i == reference.size()) return 0;
  uint32_t value = 0;
  for (; i < reference.size(); ++i) {
    char c = reference[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return 0;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return 0;
  }
  if (value >= 0xD800 && value <= 0xDFFF) return 0;
  return value;
}

// The byte that a predefined reference ("lt", "gt", "amp", "apos", "quot")
// stands for, or 0 for any other name.
inline char PredefinedCharacter(std::string_view name) noexcept {
  switch (name.size()) {
    case 2:
      if (name[1] != 't') return 0;
      return name[0] == 'l' ? '<' : name[0] == 'g' ? '>' : 0;
    case 3:
      return name[0] == 'a' && name[1] == 'm' && name[2] == 'p' ? '&' : 0;
    case 4:
      if (name[0] == 'a' && name[1] == 'p' && name[2] == 'o' && name[3] == 's') return '\'';
      if (name[0] == 'q' && name[1] == 'u' && name[2] == 'o' && name[3] == 't') return '"';
      return 0;
    default:
      return 0;
  }
}

}  // namespace

// The first position from j on whose byte is not a name byte, or n. The
// bytes that are always name bytes (see BuildClasses: ASCII letters and
// digits, "-", ".", ":", "_", and every byte from 0x80 up) are passed 16 per
// step where the processor allows. With colon, *colon is set when one of
// the bytes passed is ":", so that a name seen to have none needs no prefix
// resolution.
[[gnu::always_inline]] inline size_t XmlReader::SkipNameBytes(const unsigned char* p, size_t j, size_t n,
                                                             bool* colon) const noexcept {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i beforeA = _mm_set1_epi8('a' - 1), afterZ = _mm_set1_epi8('z' + 1);
  // "-", ".", "/", the digits and ":" are one range, less "/".
  const __m128i beforeDash = _mm_set1_epi8('-' - 1), afterColon = _mm_set1_epi8(':' + 1);
  const __m128i slash = _mm_set1_epi8('/'), underscore = _mm_set1_epi8('_');
  while (j + 16 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
    __m128i lower = _mm_or_si128(v, caseBit);
    __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, beforeA), _mm_cmplt_epi8(lower, afterZ));
    __m128i range = _mm_and_si128(_mm_cmpgt_epi8(v, beforeDash), _mm_cmplt_epi8(v, afterColon));
    range = _mm_andnot_si128(_mm_cmpeq_epi8(v, slash), range);
    __m128i name = _mm_or_si128(_mm_or_si128(letter, range),
                                _mm_or_si128(_mm_cmplt_epi8(v, zero), _mm_cmpeq_epi8(v, underscore)));
    unsigned mask = ~static_cast<unsigned>(_mm_movemask_epi8(name)) & 0xFFFFu;
    if (colon) {
      unsigned colons = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(':'))));
      // Only those before the first byte that is not a name byte count.
      if (mask) colons &= (1u << __builtin_ctz(mask)) - 1;
      if (colons) *colon = true;
    }
    if (mask) {
      j += static_cast<size_t>(__builtin_ctz(mask));
      break;
    }
    j += 16;
  }
#endif
  // The table has the last word: it also holds the extra name characters.
  while (j < n && (classes_[p[j]] & kName)) {
    if (colon && p[j] == ':') *colon = true;
    ++j;
  }
  return j;
}

XmlReader::XmlReader() {
  SetCodePage(0);
  BuildClasses();
  Reset();
}

XmlReader::~XmlReader() = default;

void XmlReader::BuildClasses() noexcept {
  for (int c = 0; c < 256; ++c) {
    uint8_t bits = 0;
    // Every byte of a multi-byte character is a name byte, so that names
    // in any script read alike in start tags, end tags and attributes.
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == ':' || c == '_' || c >= 0x80) {
      bits |= kName;
    }
    if ((c >= 9 && c <= 13) || c == ' ') bits |= kSpace;
    classes_[c] = bits;
  }
  for (char c : extraNameChars_.View()) classes_[static_cast<unsigned char>(c)] |= kName;
  for (char c : extraWhiteSpace_.View()) classes_[static_cast<unsigned char>(c)] |= kSpace;
  classes_[static_cast<unsigned char>('<')] |= kTextStop;
  classes_[static_cast<unsigned char>('&')] |= kTextStop;
  if (flushOnNewline_) classes_[static_cast<unsigned char>('\n')] |= kTextStop;
  if (multiByte_) {
    for (int c = 0x81; c <= 0x9F; ++c) classes_[c] |= kTextStop | kLead;
    for (int c = 0xE0; c <= 0xEF; ++c) classes_[c] |= kTextStop | kLead;
  }
}

void XmlReader::SetFlushOnNewline(bool on) noexcept {
  flushOnNewline_ = on;
  BuildClasses();
}

void XmlReader::SetMultiByte(bool on) noexcept {
  multiByte_ = on;
  BuildClasses();
}

void XmlReader::SetCodePage(int codePage) noexcept {
  codePage_ = codePage;
  utf8References_ = CodePageIsUtf8(codePage);
}

int XmlReader::SetExtraNameChars(std::string_view chars) noexcept {
  if (int rc = extraNameChars_.Assign(chars)) return rc;
  BuildClasses();
  return 0;
}

int XmlReader::SetExtraWhiteSpace(std::string_view chars) noexcept {
  if (int rc = extraWhiteSpace_.Assign(chars)) return rc;
  BuildClasses();
  return 0;
}

void XmlReader::SetClient(XmlClient* client) noexcept {
  client_ = client;
  textClient_ = client && client->WantsTextPieces() ? client : nullptr;
  rawBytes_ = client && client->WantsRawBytes();
}

void XmlReader::Reset() noexcept {
  state_ = kText;
  entityReturn_ = kText;
  prev1_ = prev2_ = 0;
  error_ = 0;
  bytesFed_ = 0;
  rawMode_ = false;
  nameTrail_ = false;
  subsetPart_ = 0;
  droppedWhiteSpace_ = false;
  inStartEvent_ = false;
  inEndEvent_ = false;
  eventDepth_ = 0;
  // Give back what a large document made the buffers grow to.
  for (Collected& accumulator : accumulators_) accumulator.Release();
  pendingStart_ = 0;
  whiteMark_ = SIZE_MAX;
  for (Collected* s : {&whiteSpace_, &name_, &attributeName_, &value_, &entity_, &section_}) s->Release();
  if (attributes_.OnHeap()) attributes_ = GrowString();
  attributes_.Clear();
  pendingCount_ = 0;
  elementNames_.Clear();
  depth_ = 0;
  FollowDepth();
  nsCount_ = 0;
  innermostDefault_ = kNoNamespace;
  nsData_.Clear();
  if (tree_.Reset()) error_ = kErrXmlOutOfMemory;
}

int XmlReader::Fail(int code) noexcept {
  if (error_ == 0) error_ = code;
  return error_;
}

int XmlReader::Feed(const char* text) noexcept {
  if (!text) return error_;
  return Feed(text, std::strlen(text));
}

int XmlReader::Feed(const char* data, size_t size) noexcept {
  if (error_) return error_;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  if (!rawBytes_) {
    int rc = Run(p, size);
    bytesFed_ += size;
    return rc;
  }
  for (size_t i = 0; i < size; ++i) {
    ++bytesFed_;
    if (int rc = client_->RawByte(static_cast<char>(p[i]))) return Fail(rc);
    if (int rc = Run(p + i, 1)) return rc;
  }
  return 0;
}

int XmlReader::Finish() noexcept {
  if (error_) return error_;
  if (state_ != kText && state_ != kAfterTag) return Fail(kErrXmlEndState);
  if (int rc = FlushAtTag()) return Fail(rc);
  if (xmlMode_) {
    if (depth_ > 0) return Fail(kErrXmlUnclosedElements);
    return 0;
  }
  // Lenient mode forgives what was left open, so that the tree is whole.
  while (buildTree_ && depth_ > 0) {
    std::string_view top = OpenName(depth_ - 1);
    if (int rc = closing_.Assign(top)) return Fail(rc);
    if (int rc = EndTag(closing_.View(), false)) return Fail(rc);
  }
  return 0;
}

// Hands the pending text up to end (counted from its start) to the client
// and the tree, and drops it from the pending text.
inline int XmlReader::Deliver(size_t end) noexcept {
  whiteMark_ = SIZE_MAX;
  Collected& acc = Accumulator();
  if (end > 0 && textClient_) {
    if (int rc = textClient_->Characters(acc.View().substr(pendingStart_, end))) return rc;
  }
  if (buildTree_ && depth_ > 0) {
    pendingStart_ += end;
  } else {
    acc.RemovePrefix(end);
    pendingStart_ = 0;
  }
  return 0;
}

inline int XmlReader::FlushPendingAtTag() noexcept {
  Collected& acc = Accumulator();
  const char* data = acc.Data();
  size_t length = acc.Length();
  size_t end = length;
  while (end > pendingStart_ && (classes_[static_cast<unsigned char>(data[end - 1])] & kSpace)) --end;
  droppedWhiteSpace_ = end < length;
  if (end < length) {
    if (textClient_) {
      if (int rc = textClient_->IgnorableWhiteSpace(acc.View().substr(end))) return rc;
    }
    acc.Truncate(end);
  }
  return Deliver(end - pendingStart_);
}

inline int XmlReader::FlushText() noexcept {
  Collected& acc = Accumulator();
  return Deliver(acc.Length() - pendingStart_);
}

int XmlReader::FlushAtNewline() noexcept {
  Collected& acc = Accumulator();
  const char* data = acc.Data();
  size_t end = acc.Length();
  size_t floor = whiteMark_ >= pendingStart_ && whiteMark_ <= end ? whiteMark_ : pendingStart_;
  while (end > floor && (classes_[static_cast<unsigned char>(data[end - 1])] & kSpace)) --end;
  if (end == floor) end = pendingStart_;
  if (int rc = Deliver(end - pendingStart_)) return rc;
  whiteMark_ = Accumulator().Length();
  return 0;
}

size_t XmlReader::CharacterBytes(uint32_t value, char (&bytes)[kNarrowCharacterRoom]) const noexcept {
  if (utf8References_) {
    if (value < 0x80) {
      bytes[0] = static_cast<char>(value);
      return 1;
    }
    if (value < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (value >> 6));
      bytes[1] = static_cast<char>(0x80 | (value & 0x3F));
      return 2;
    }
    if (value < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (value >> 12));
      bytes[1] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (value & 0x3F));
      return 3;
    }
    bytes[0] = static_cast<char>(0xF0 | (value >> 18));
    bytes[1] = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (value & 0x3F));
    return 4;
  }
  try {
    return CharacterToNarrow(value, codePage_, bytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool XmlReader::AppendReferencedCharacter(std::string_view reference, GrowString& out) noexcept {
  uint32_t value = ReferenceValue(reference);
  if (value == 0) return false;
  char bytes[kNarrowCharacterRoom];
  size_t length = CharacterBytes(value, bytes);
  if (length == 0) return false;
  if (length != kNarrowCharacterLong) return out.Append(std::string_view(bytes, length)) == 0;
  try {
    std::string narrow;
    return CharacterToNarrow(value, codePage_, narrow) && out.Append(narrow) == 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

[[gnu::always_inline]] inline size_t XmlReader::ScanName(const unsigned char* p, size_t j, size_t n,
                                                        bool* colon) noexcept {
  if (nameTrail_) {
    nameTrail_ = false;
    ++j;
    if (colon) *colon = true;
  }
  if (!multiByte_) return SkipNameBytes(p, j, n, colon);
  // A second byte may be a ":" too: such names are not looked at.
  if (colon) *colon = true;
  while (j < n && (classes_[p[j]] & kName)) {
    if (!(classes_[p[j]] & kLead)) {
      ++j;
    } else if (j + 1 < n) {
      j += 2;
    } else {
      nameTrail_ = true;
      return n;
    }
  }
  return j;
}

int XmlReader::ResolveEntity(bool closedBySemicolon, Collected& target) noexcept {
  std::string_view name = entity_.View();
  char predefined = buildTree_ ? PredefinedCharacter(name) : 0;
  // The common reference with no client to show it to: its byte goes
  // straight to the text.
  if (predefined && !textClient_) return target.Append(predefined) ? kErrXmlOutOfMemory : 0;
  GrowString& result = entityResult_;
  result.Clear();
  bool resolved = false;
  if (predefined) {
    resolved = !result.Append(predefined);
  } else if (buildTree_) {
    resolved = AppendReferencedCharacter(name, result);
  }
  if (!resolved) {
    result.Clear();
    if (result.Append('&') || result.Append(name) || (closedBySemicolon && result.Append(';'))) {
      return kErrXmlOutOfMemory;
    }
  }
  if (textClient_) {
    if (int rc = textClient_->Entity(name, result)) return rc;
  }
  if (target.Append(result.View())) return kErrXmlOutOfMemory;
  return 0;
}

int XmlReader::ResolvePrefix(std::string_view name, bool attribute, Resolved& out) noexcept {
  out = {kNoNamespace, 0, false};
  const void* at = std::memchr(name.data(), ':', name.size());
  bool found = at != nullptr;
  size_t colon = found ? static_cast<size_t>(static_cast<const char*>(at) - name.data()) : 0;
  // Without a prefix: no namespace for an attribute, the default one for an
  // element, when one is declared.
  if (!found) {
    if (!attribute) out.ns = innermostDefault_;
    return 0;
  }
  const char* names = nsData_.CStr();
  for (size_t i = nsCount_; i-- > 0;) {
    const NamespaceEntry& e = namespaces_[i];
    if (e.prefixLength == colon && std::memcmp(names + e.prefixStart, name.data(), colon) == 0) {
      out = {static_cast<int32_t>(i), found ? static_cast<uint32_t>(colon + 1) : 0, false};
      return 0;
    }
  }
  if (!found) return 0;
  if (name.substr(0, colon) == "xml") {
    out = {kXmlPrefix, static_cast<uint32_t>(colon + 1), false};
    return 0;
  }
  int code = attribute ? kErrXmlAttributePrefix : kErrXmlElementPrefix;
  bool ignore = attribute ? ignoreBadAttributePrefixes_ : ignoreBadElementPrefixes_;
  if (!ignore) return code;
  out.ignored = true;
  if (client_) return client_->Warning(code, XmlErrorText(code));
  return 0;
}

inline std::string_view XmlReader::UriOf(const Resolved& r) const noexcept {
  if (r.ns >= 0) return NsUri(namespaces_[r.ns]);
  return r.ns == kXmlPrefix ? XmlTree::kXmlNamespaceUri : std::string_view();
}

inline uint32_t XmlReader::RecordOf(const Resolved& r) const noexcept {
  if (r.ns >= 0) return namespaces_[r.ns].record;
  return r.ns == kXmlPrefix ? tree_.XmlNamespaceOffset() : 0;
}

int XmlReader::StoreAttribute(bool mayBePrefixed) noexcept {
  std::string_view name = attributeName_.View();
  std::string_view value = value_.View();
  if (xmlMode_ && name.substr(0, 5) == "xmlns" && (name.size() == 5 || name[5] == ':')) {
    std::string_view prefix = name.size() == 5 ? std::string_view() : name.substr(6);
    if (nsCount_ >= kMaxNamespaces) return kErrXmlOutOfMemory;
    NamespaceEntry& e = namespaces_[nsCount_];
    e.prefixStart = static_cast<uint32_t>(nsData_.Length());
    e.prefixLength = static_cast<uint32_t>(prefix.size());
    if (nsData_.Append(prefix)) return kErrXmlOutOfMemory;
    e.uriStart = static_cast<uint32_t>(nsData_.Length());
    e.uriLength = static_cast<uint32_t>(value.size());
    if (nsData_.Append(value)) return kErrXmlOutOfMemory;
    e.depth = static_cast<uint32_t>(depth_);
    e.record = 0;
    if (RecordTree()) {
      if (int rc = tree_.AddNamespace(prefix, value, e.record)) return rc;
    }
    if (prefix.empty()) innermostDefault_ = static_cast<int32_t>(nsCount_);
    ++nsCount_;
    if (client_) {
      if (int rc = client_->StartPrefixMapping(prefix, value)) return rc;
    }
  } else {
    if (pendingCount_ >= kMaxAttributes) return kErrXmlOutOfMemory;
    Pending& a = pending_[pendingCount_];
    const bool nameInInput = attributeName_.InInput();
    const bool valueInInput = value_.InInput();
    a.nameAt = nameInInput ? name.data() : nullptr;
    a.valueAt = valueInInput ? value.data() : nullptr;
    a.nameLength = static_cast<uint32_t>(name.size());
    a.valueLength = static_cast<uint32_t>(value.size());
    a.mayBePrefixed = mayBePrefixed;
    if (!nameInInput) {
      a.nameStart = static_cast<uint32_t>(attributes_.Length());
      if (attributes_.Append(name)) return kErrXmlOutOfMemory;
    }
    if (!valueInInput) {
      a.valueStart = static_cast<uint32_t>(attributes_.Length());
      if (attributes_.Append(value)) return kErrXmlOutOfMemory;
    }
    ++pendingCount_;
  }
  attributeName_.Clear();
  value_.Clear();
  return 0;
}

int XmlReader::CloseStartTag(bool emptyElement, bool mayBePrefixed) noexcept {
  std::string_view name = name_.View();
  // A name without a prefix: the default namespace, if any. The resolution
  // is gathered in scalars, which stay in registers: a struct whose address
  // goes to ResolvePrefix lives on the stack, and copying it whole into the
  // open element reads it back wider than it was just written.
  int32_t ns = kNoNamespace;
  uint32_t localAt = 0;
  bool ignored = false;
  if (xmlMode_) {
    if (mayBePrefixed) {
      Resolved prefixed;
      if (int rc = ResolvePrefix(name, false, prefixed)) return rc;
      ns = prefixed.ns;
      localAt = prefixed.local;
      ignored = prefixed.ignored;
    } else {
      ns = innermostDefault_;
    }
  }
  const Resolved resolved{ns, localAt, ignored};
  if (xmlMode_ || buildTree_) {
    if (depth_ >= kMaxDepth) return kErrXmlOutOfMemory;
    OpenElement& open = open_[depth_];
    open.nameAt = name_.InInput() ? name.data() : nullptr;
    open.nameLength = static_cast<uint32_t>(name.size());
    if (!open.nameAt) {
      open.nameStart = static_cast<uint32_t>(elementNames_.Length());
      if (elementNames_.Append(name)) return kErrXmlOutOfMemory;
    }
    open.resolved = resolved;
    ++depth_;
    FollowDepth();
    pendingStart_ = 0;
    whiteMark_ = SIZE_MAX;
    Accumulator().Clear();
  }
  std::string_view local = name.substr(resolved.local);
  if (!xmlMode_ && !emptyElement && EqualsIgnoreCase(name, "SCRIPT")) rawMode_ = true;
  eventDepth_ = depth_ ? depth_ - 1 : 0;
  if (client_) {
    inStartEvent_ = true;
    int rc = client_->StartElement(UriOf(resolved), local, name, emptyElement);
    inStartEvent_ = false;
    if (rc) return rc;
  }
  if (buildTree_) {
    if (RecordTree()) {
      int rc = tree_.StartElement(RecordOf(resolved), local, static_cast<uint32_t>(pendingCount_), emptyElement);
      if (rc) return rc;
    }
    for (size_t i = 0; i < pendingCount_; ++i) {
      std::string_view attributeName = PendingName(i);
      Resolved attribute{kNoNamespace, 0, false};
      if (xmlMode_ && pending_[i].mayBePrefixed) {
        if (int rc = ResolvePrefix(attributeName, true, attribute)) return rc;
      }
      if (RecordTree()) {
        int rc = tree_.AddAttribute(RecordOf(attribute), attributeName.substr(attribute.local), PendingValue(i));
        if (rc) return rc;
      }
    }
  }
  pendingCount_ = 0;
  attributes_.Clear();
  if (emptyElement) return EndTag(name, true);
  return 0;
}

int XmlReader::EndTag(std::string_view name, bool emptyElement) noexcept {
  Resolved resolved{kNoNamespace, 0, false};
  if (xmlMode_) {
    if (depth_ == 0 || !SameBytes(OpenName(depth_ - 1), name)) return kErrXmlUnbalanced;
    // The same name in the same scope: its start tag's resolution holds,
    // and an unknown prefix is reported again.
    resolved = open_[depth_ - 1].resolved;
    if (resolved.ignored && client_) {
      if (int rc = client_->Warning(kErrXmlElementPrefix, XmlErrorText(kErrXmlElementPrefix))) return rc;
    }
  }
  eventDepth_ = depth_ ? depth_ - 1 : 0;
  if (client_) {
    inEndEvent_ = true;
    int rc = client_->EndElement(UriOf(resolved), name.substr(resolved.local), name, emptyElement);
    inEndEvent_ = false;
    if (rc) return rc;
  }
  if (depth_ > 0) {
    if (buildTree_) {
      Collected& acc = accumulators_[depth_];
      if (RecordTree()) {
        if (int rc = tree_.EndElement(acc.View())) return rc;
      }
      acc.Clear();
    }
    if (xmlMode_) {
      while (nsCount_ > 0 && namespaces_[nsCount_ - 1].depth + 1 >= depth_) {
        NamespaceEntry& e = namespaces_[nsCount_ - 1];
        if (RecordTree()) tree_.EndNamespaceScope(e.record);
        if (client_) {
          if (int rc = client_->EndPrefixMapping(NsPrefix(e))) return rc;
        }
        nsData_.Truncate(e.prefixStart);
        --nsCount_;
        if (e.prefixLength == 0) {
          // The default declared before it, if any, is in scope again.
          do --innermostDefault_;
          while (innermostDefault_ >= 0 && namespaces_[innermostDefault_].prefixLength != 0);
        }
      }
    }
    --depth_;
    FollowDepth();
    if (!open_[depth_].nameAt) elementNames_.Truncate(open_[depth_].nameStart);
    pendingStart_ = buildTree_ ? accumulators_[depth_].Length() : 0;
    whiteMark_ = SIZE_MAX;
    if (buildTree_ && depth_ == 0) {
      accumulators_[0].Clear();
      pendingStart_ = 0;
    }
  }
  if (!xmlMode_ && rawMode_ && EqualsIgnoreCase(name, "SCRIPT")) rawMode_ = false;
  return 0;
}

int XmlReader::ReportMarkedSection() noexcept {
  // The section content ends with the "]]" of its "]]>".
  size_t length = section_.Length();
  section_.Truncate(length >= 2 ? length - 2 : 0);
  if (client_) {
    if (int rc = client_->MarkedSection(name_.View(), section_.View())) return rc;
  }
  if (buildTree_ && depth_ > 0 && name_.View() == "CDATA") {
    Collected& acc = accumulators_[depth_];
    // White space cut off right before the section separated words.
    if (droppedWhiteSpace_ && acc.Append(' ')) return kErrXmlOutOfMemory;
    int rc = section_.InInput() ? acc.AppendInput(section_.View()) : acc.Append(section_.View());
    if (rc) return kErrXmlOutOfMemory;
    pendingStart_ = acc.Length();
    whiteMark_ = SIZE_MAX;
  }
  droppedWhiteSpace_ = false;
  return 0;
}

#define XR_CHECK(expr)             \
  do {                             \
    if (int rc_ = (expr)) {        \
      return Fail(rc_);            \
    }                              \
  } while (0)

#define XR_APPEND(buffer, what)                                 \
  do {                                                          \
    if ((buffer).Append(what)) return Fail(kErrXmlOutOfMemory); \
  } while (0)

// Bytes of the input, collected where they are.
#define XR_INPUT(buffer, at, n)                                         \
  do {                                                                  \
    if ((buffer).AppendInput(reinterpret_cast<const char*>(at), (n))) { \
      return Fail(kErrXmlOutOfMemory);                                  \
    }                                                                   \
  } while (0)

int XmlReader::Run(const unsigned char* p, size_t n) noexcept {
  const uint8_t* cls = classes_;
  size_t i = 0;
  // The byte before p[i] and the one before that.
  auto prev1 = [&](size_t at) -> unsigned char { return at >= 1 ? p[at - 1] : prev1_; };
  auto prev2 = [&](size_t at) -> unsigned char { return at >= 2 ? p[at - 2] : (at == 1 ? prev1_ : prev2_); };

  while (i < n) {
    unsigned char c = p[i];
    switch (state_) {
      case kText: {
        // Text, and the plain tags and white space between texts, in one
        // loop: the states they pass through are left only for the rest.
        for (;;) {
          size_t j;
          if (!multiByte_) {
            // Text stops only at "<", "&" and, when flushing lines, a line feed.
            j = FindAny(p, i, n, '<', '&', flushOnNewline_ ? '\n' : '<');
          } else {
            j = i;
            while (j + 4 <= n && !((cls[p[j]] | cls[p[j + 1]] | cls[p[j + 2]] | cls[p[j + 3]]) & kTextStop)) j += 4;
            while (j < n && !(cls[p[j]] & kTextStop)) ++j;
          }
          if (j != i) {
            XR_INPUT(Accumulator(), p + i, j - i);
            i = j;
          }
          if (i == n) break;
          c = p[i++];
          if (c == '<') {
            XR_CHECK(FlushAtTag());
            name_.Clear();
            state_ = kAfterLt;
            if (rawMode_) break;
            XR_CHECK(PlainTag(p, i, n));
            if (state_ != kAfterTag) break;
            XR_CHECK(AfterTag(p, i, n));
            if (state_ != kText) break;
            continue;
          }
          if (c == '&') {
            XR_CHECK(FlushText());
            entity_.Clear();
            entityReturn_ = kText;
            state_ = kEntityText;
            // A reference whole in the input is resolved here, as its state
            // would resolve it, and the text goes on.
            const size_t ampersand = i - 1;
            size_t j = i;
            while (j < n && ((cls[p[j]] & kName) || p[j] == '#')) ++j;
            if (j == n) break;
            std::string_view name(reinterpret_cast<const char*>(p + i), j - i);
            bool semicolon = p[j] == ';';
            i = semicolon ? j + 1 : j;
            state_ = kText;
            if (buildTree_ && !textClient_) {
              // With nobody to show it to, a predefined one is just its byte,
              // a character reference its character's bytes.
              if (char predefined = PredefinedCharacter(name)) {
                XR_APPEND(Accumulator(), predefined);
                continue;
              }
              uint32_t value = ReferenceValue(name);
              char bytes[kNarrowCharacterRoom];
              size_t length = value ? CharacterBytes(value, bytes) : 0;
              if (length == 0) {
                // One that stands for nothing this text can hold stays as
                // written: bytes of the input, so that a text that lies in
                // the input still does.
                XR_INPUT(Accumulator(), p + ampersand, i - ampersand);
                continue;
              }
              if (length != kNarrowCharacterLong) {
                XR_APPEND(Accumulator(), std::string_view(bytes, length));
                continue;
              }
            }
            if (!name.empty()) XR_INPUT(entity_, name.data(), name.size());
            XR_CHECK(ResolveEntity(semicolon, Accumulator()));
            continue;
          }
          if (c == '\n' && flushOnNewline_) {
            XR_INPUT(Accumulator(), p + i - 1, 1);
            XR_CHECK(FlushAtNewline());
          } else {
            // A lead byte of a double-byte character.
            XR_INPUT(Accumulator(), p + i - 1, 1);
            state_ = kSecondByte;
          }
          break;
        }
        break;
      }
      case kSecondByte:
        XR_INPUT(Accumulator(), p + i, 1);
        ++i;
        state_ = kText;
        break;
      case kAfterLt:
        if (xmlMode_ || (cls[c] & kName) || c == '!' || c == '/' || c == '?') {
          state_ = kTagName;
        } else if (i > 0) {
          XR_INPUT(Accumulator(), p + i - 1, 1);
          state_ = kText;
        } else {
          XR_APPEND(Accumulator(), '<');
          state_ = kText;
        }
        break;
      case kTagName: {
        if (nameTrail_ || (cls[c] & kName)) {
          size_t j = ScanName(p, i, n);
          XR_INPUT(name_, p + i, j - i);
          i = j;
          break;
        }
        if (name_.Empty()) {
          if (c == '/' && prev1(i) == '<') {
            ++i;
            state_ = kEndTagName;
            break;
          }
          if (c == '!') {
            ++i;
            state_ = kAfterBang;
            break;
          }
          if (c == '?') {
            ++i;
            state_ = kInstruction;
            break;
          }
        }
        if (rawMode_) {
          Collected& acc = Accumulator();
          XR_APPEND(acc, '<');
          XR_APPEND(acc, name_.View());
          state_ = kText;
          break;
        }
        // A start tag needs a name.
        if (xmlMode_ && name_.Empty()) return Fail(kErrXmlInvalidMarkup);
        pendingCount_ = 0;
        attributes_.Clear();
        attributeName_.Clear();
        value_.Clear();
        state_ = kBeforeAttribute;
        break;
      }
      case kBeforeAttribute:
        ++i;
        if ((cls[c] & kSpace) || c == '/') break;
        if (c == '>') {
          state_ = kAfterTag;
          XR_CHECK(CloseStartTag(prev1(i - 1) == '/'));
          break;
        }
        attributeName_.Clear();
        XR_INPUT(attributeName_, p + i - 1, 1);
        state_ = kAttributeName;
        break;
      case kAttributeName: {
        if (cls[c] & kName) {
          size_t j = SkipNameBytes(p, i + 1, n);
          XR_INPUT(attributeName_, p + i, j - i);
          i = j;
          break;
        }
        ++i;
        if (cls[c] & kSpace) {
          state_ = kAfterAttributeName;
        } else if (c == '=') {
          state_ = kBeforeValue;
        } else if (c == '>' || c == '/') {
          value_.Clear();
          XR_CHECK(StoreAttribute());
          if (c == '>') {
            state_ = kAfterTag;
            XR_CHECK(CloseStartTag(false));
          } else {
            state_ = kAfterAttributeName;
          }
        } else {
          // Not a name character, but the name goes on to the next separator.
          XR_INPUT(attributeName_, p + i - 1, 1);
        }
        break;
      }
      case kAfterAttributeName:
        ++i;
        if (cls[c] & kSpace) break;
        if (c == '=') {
          state_ = kBeforeValue;
          break;
        }
        // The name waiting here is empty when it was stored at a "/".
        if (!attributeName_.Empty()) {
          value_.Clear();
          XR_CHECK(StoreAttribute());
        }
        if (c == '>') {
          state_ = kAfterTag;
          XR_CHECK(CloseStartTag(prev1(i - 1) == '/'));
        } else if (c == '/') {
          state_ = kBeforeAttribute;
        } else {
          XR_INPUT(attributeName_, p + i - 1, 1);
          state_ = kAttributeName;
        }
        break;
      case kBeforeValue:
        ++i;
        if (cls[c] & kSpace) break;
        value_.Clear();
        if (c == '"') {
          state_ = kDoubleQuoted;
        } else if (c == '\'') {
          state_ = kSingleQuoted;
        } else if (c == '&') {
          entity_.Clear();
          entityReturn_ = kUnquotedValue;
          state_ = kEntityUnquoted;
        } else if (c == '>') {
          if (xmlMode_) return Fail(kErrXmlInvalidMarkup);
          XR_CHECK(StoreAttribute());
          state_ = kAfterTag;
          XR_CHECK(CloseStartTag(false));
        } else {
          XR_INPUT(value_, p + i - 1, 1);
          state_ = kUnquotedValue;
        }
        break;
      case kUnquotedValue:
        ++i;
        if (c == '&') {
          entity_.Clear();
          entityReturn_ = kUnquotedValue;
          state_ = kEntityUnquoted;
        } else if (cls[c] & kSpace) {
          XR_CHECK(StoreAttribute());
          state_ = kBeforeAttribute;
        } else if (c == '>') {
          bool slash = prev1(i - 1) == '/';
          if (slash && !value_.Empty() && value_.View().back() == '/') value_.Truncate(value_.Length() - 1);
          XR_CHECK(StoreAttribute());
          state_ = kAfterTag;
          XR_CHECK(CloseStartTag(slash));
        } else {
          XR_INPUT(value_, p + i - 1, 1);
        }
        break;
      case kDoubleQuoted:
      case kSingleQuoted: {
        unsigned char quote = state_ == kDoubleQuoted ? '"' : '\'';
        size_t j = FindAny(p, i, n, quote, '&', '&');
        if (j != i) {
          XR_INPUT(value_, p + i, j - i);
          i = j;
          if (i == n) break;
          c = p[i];
        }
        ++i;
        if (c == '&') {
          entity_.Clear();
          entityReturn_ = state_;
          state_ = state_ == kDoubleQuoted ? kEntityDouble : kEntitySingle;
        } else {
          XR_CHECK(StoreAttribute());
          state_ = kBeforeAttribute;
        }
        break;
      }
      case kAfterTag:
        XR_CHECK(AfterTag(p, i, n));
        break;
      case kEndTagName: {
        if (nameTrail_ || (cls[c] & kName)) {
          size_t j = ScanName(p, i, n);
          XR_INPUT(name_, p + i, j - i);
          i = j;
          break;
        }
        state_ = kAfterEndTagName;
        break;
      }
      case kAfterEndTagName:
        ++i;
        if (cls[c] & kSpace) break;
        state_ = c == '>' ? kAfterTag : kEndTagJunk;
        XR_CHECK(EndTag(name_.View(), false));
        if (state_ == kEndTagJunk && xmlMode_) return Fail(kErrXmlInvalidMarkup);
        break;
      case kEndTagJunk:
        if (xmlMode_) return Fail(kErrXmlInvalidMarkup);
        ++i;
        if (c == '>') state_ = kText;
        break;
      case kEntityText:
      case kEntityUnquoted:
      case kEntitySingle:
      case kEntityDouble: {
        if ((cls[c] & kName) || c == '#') {
          size_t j = i + 1;
          while (j < n && ((cls[p[j]] & kName) || p[j] == '#')) ++j;
          XR_INPUT(entity_, p + i, j - i);
          i = j;
          break;
        }
        bool semicolon = c == ';';
        if (semicolon) ++i;
        XR_CHECK(ResolveEntity(semicolon, state_ == kEntityText ? Accumulator() : value_));
        state_ = entityReturn_;
        break;
      }
      case kAfterBangDash:
        ++i;
        if (c == '-') {
          // The "-" kept in case this was a declaration is not comment text.
          name_.Clear();
          state_ = kComment;
        } else {
          XR_INPUT(name_, p + i - 1, 1);
          state_ = kDeclaration;
        }
        break;
      case kComment:
      case kInstruction:
      case kSectionContent: {
        Collected& target = state_ == kSectionContent ? section_ : name_;
        size_t j;
        if (state_ == kInstruction) {
          const void* found = std::memchr(p + i, '>', n - i);
          j = found ? static_cast<size_t>(static_cast<const unsigned char*>(found) - p) : n;
        } else {
          // A '>' passed over here is text like any other.
          j = NextPossibleClose(p, i, n, state_ == kComment ? '-' : ']');
        }
        if (j != i) {
          XR_INPUT(target, p + i, j - i);
          i = j;
          if (i == n) break;
        }
        ++i;
        unsigned char b1 = prev1(j), b2 = prev2(j);
        if (state_ == kComment) {
          if (b1 == '-' && b2 == '-') {
            name_.Truncate(name_.Length() >= 2 ? name_.Length() - 2 : 0);
            state_ = kAfterTag;
            if (client_) XR_CHECK(client_->Comment(name_.View()));
            break;
          }
        } else if (state_ == kInstruction) {
          if (b1 == '?' || !xmlMode_) {
            if (!name_.Empty()) name_.Truncate(name_.Length() - 1);
            state_ = kAfterTag;
            if (client_) XR_CHECK(client_->ProcessingInstruction(name_.View()));
            break;
          }
        } else if (b1 == ']' && b2 == ']') {
          state_ = kText;
          XR_CHECK(ReportMarkedSection());
          break;
        }
        XR_INPUT(target, p + j, 1);
        break;
      }
      case kAfterBang:
        ++i;
        if (c == '[') {
          name_.Clear();
          state_ = kSectionKeyword;
        } else if (c == '-') {
          XR_INPUT(name_, p + i - 1, 1);
          state_ = kAfterBangDash;
        } else {
          XR_INPUT(name_, p + i - 1, 1);
          state_ = kDeclaration;
        }
        break;
      case kDeclaration:
        ++i;
        if (c == '>') {
          state_ = kAfterTag;
          if (client_) XR_CHECK(client_->Declaration(name_.View()));
          break;
        }
        XR_INPUT(name_, p + i - 1, 1);
        if (c == '[') {
          subsetPart_ = 0;
          state_ = kDeclBracket;
        } else if (c == '"') {
          state_ = kDeclDouble;
        } else if (c == '\'') {
          state_ = kDeclSingle;
        }
        break;
      case kDeclSingle:
      case kDeclDouble: {
        unsigned char close = state_ == kDeclSingle ? '\'' : '"';
        const void* found = std::memchr(p + i, close, n - i);
        size_t j = found ? static_cast<size_t>(static_cast<const unsigned char*>(found) + 1 - p) : n;
        XR_INPUT(name_, p + i, j - i);
        i = j;
        if (found) state_ = kDeclaration;
        break;
      }
      case kDeclBracket: {
        // The internal subset: its "]" ends it only outside the literals,
        // comments and instructions that may hold one.
        ++i;
        XR_INPUT(name_, p + i - 1, 1);
        unsigned char b1 = prev1(i - 1), b2 = prev2(i - 1);
        if (subsetPart_ == 0) {
          if (c == ']') {
            state_ = kDeclaration;
          } else if (c == '"' || c == '\'') {
            subsetPart_ = c;
          } else if (c == '-' && b1 == '-' && b2 == '!') {
            subsetPart_ = '-';
          } else if (c == '?' && b1 == '<') {
            subsetPart_ = '?';
          }
        } else if (subsetPart_ == '-') {
          if (c == '>' && b1 == '-' && b2 == '-') subsetPart_ = 0;
        } else if (subsetPart_ == '?') {
          if (c == '>' && b1 == '?') subsetPart_ = 0;
        } else if (c == subsetPart_) {
          subsetPart_ = 0;
        }
        break;
      }
      case kSectionKeyword:
        ++i;
        if (c == '[') {
          section_.Clear();
          state_ = kSectionContent;
        } else if (!(cls[c] & kSpace)) {
          XR_INPUT(name_, p + i - 1, 1);
        }
        break;
      default:
        return Fail(kErrXmlEndState);
    }
  }
  if (n >= 2) {
    prev2_ = p[n - 2];
    prev1_ = p[n - 1];
  } else if (n == 1) {
    prev2_ = prev1_;
    prev1_ = p[0];
  }
  XR_CHECK(KeepCollected());
  return 0;
}

// The common tags, "<name>", "<name/>" and "</name>", whole in the input
// and read at once, with what the states they pass through would do. At
// anything else (attributes, white space, the input's end) the states take
// over where this stopped, with the name collected so far.
[[gnu::always_inline]] inline int XmlReader::PlainTag(const unsigned char* p, size_t& i, size_t n) noexcept {
  if (i >= n) return 0;
  bool end = p[i] == '/';
  size_t start = end ? i + 1 : i;
  if (start >= n || !(classes_[p[start]] & kName)) return 0;
  bool elementColon = false;
  size_t stop = ScanName(p, start, n, &elementColon);
  if (name_.AppendInput(reinterpret_cast<const char*>(p + start), stop - start)) return kErrXmlOutOfMemory;
  i = stop;
  state_ = end ? kEndTagName : kTagName;
  if (nameTrail_ || stop >= n) return 0;
  if (end) {
    if (p[stop] != '>') return 0;
    i = stop + 1;
    state_ = kAfterTag;
    return EndTag(name_.View(), false);
  }
  bool spaced = classes_[p[stop]] & kSpace;
  bool slash = p[stop] == '/' && stop + 1 < n && p[stop + 1] == '>';
  if (p[stop] != '>' && !slash && !spaced) return 0;
  pendingCount_ = 0;
  attributes_.Clear();
  attributeName_.Clear();
  value_.Clear();
  // Attributes written name="value" or name='value', each after white
  // space; the states take over at anything else.
  size_t k = stop;
  while (spaced) {
    while (k < n && (classes_[p[k]] & kSpace)) ++k;
    i = k;
    state_ = kBeforeAttribute;
    if (k >= n || p[k] == '>' || p[k] == '/') break;
    if (!(classes_[p[k]] & kName)) return 0;
    size_t nameStart = k;
    bool attributeColon = false;
    k = SkipNameBytes(p, k, n, &attributeColon);
    if (attributeName_.AppendInput(reinterpret_cast<const char*>(p + nameStart), k - nameStart)) {
      return kErrXmlOutOfMemory;
    }
    i = k;
    state_ = kAttributeName;
    if (k >= n || p[k] != '=') return 0;
    i = ++k;
    state_ = kBeforeValue;
    if (k >= n || (p[k] != '"' && p[k] != '\'')) return 0;
    unsigned char quote = p[k++];
    size_t valueEnd = FindAny(p, k, n, quote, '&', '&');
    if (value_.AppendInput(reinterpret_cast<const char*>(p + k), valueEnd - k)) return kErrXmlOutOfMemory;
    i = valueEnd;
    state_ = quote == '"' ? kDoubleQuoted : kSingleQuoted;
    if (valueEnd >= n || p[valueEnd] != quote) return 0;
    if (int rc = StoreAttribute(attributeColon)) return rc;
    k = valueEnd + 1;
    i = k;
    state_ = kBeforeAttribute;
    spaced = k < n && (classes_[p[k]] & kSpace);
    if (!spaced) break;
  }
  if (k >= n) return 0;
  // As in the states, a "/" right before the ">" makes the element empty,
  // also when a double-byte character's second byte is that "/".
  slash = p[k] == '/' && k + 1 < n && p[k + 1] == '>';
  if (p[k] != '>' && !slash) return 0;
  bool empty = slash || p[k - 1] == '/';
  i = k + (slash ? 2 : 1);
  state_ = kAfterTag;
  return CloseStartTag(empty, elementColon);
}

// White space after a tag, reported as ignorable once something else
// follows; the text state then takes over. Stays in the state at the end of
// the input, which may bring more white space.
[[gnu::always_inline]] inline int XmlReader::AfterTag(const unsigned char* p, size_t& i, size_t n) noexcept {
  if (i >= n) return 0;
  size_t j = i;
  while (j < n && (classes_[p[j]] & kSpace)) ++j;
  if (j != i) {
    if (textClient_) {
      if (whiteSpace_.AppendInput(reinterpret_cast<const char*>(p + i), j - i)) return kErrXmlOutOfMemory;
    }
    i = j;
    if (i == n) return 0;
  }
  if (!whiteSpace_.Empty()) {
    if (textClient_) {
      if (int rc = textClient_->IgnorableWhiteSpace(whiteSpace_.View())) return rc;
    }
    whiteSpace_.Clear();
  }
  state_ = kText;
  return 0;
}

int XmlReader::KeepCollected() noexcept {
  // Names still in the input go, bottom up, after those already kept.
  for (size_t d = 0; d < depth_; ++d) {
    OpenElement& open = open_[d];
    if (!open.nameAt) continue;
    open.nameStart = static_cast<uint32_t>(elementNames_.Length());
    if (elementNames_.Append(std::string_view(open.nameAt, open.nameLength))) return kErrXmlOutOfMemory;
    open.nameAt = nullptr;
  }
  size_t top = buildTree_ ? depth_ : 0;
  for (size_t d = 0; d <= top; ++d) {
    if (accumulators_[d].Keep()) return kErrXmlOutOfMemory;
  }
  for (Collected* c : {&whiteSpace_, &name_, &attributeName_, &value_, &entity_, &section_}) {
    if (c->Keep()) return kErrXmlOutOfMemory;
  }
  for (size_t i = 0; i < pendingCount_; ++i) {
    Pending& a = pending_[i];
    if (a.nameAt) {
      a.nameStart = static_cast<uint32_t>(attributes_.Length());
      if (attributes_.Append(std::string_view(a.nameAt, a.nameLength))) return kErrXmlOutOfMemory;
      a.nameAt = nullptr;
    }
    if (a.valueAt) {
      a.valueStart = static_cast<uint32_t>(attributes_.Length());
      if (attributes_.Append(std::string_view(a.valueAt, a.valueLength))) return kErrXmlOutOfMemory;
      a.valueAt = nullptr;
    }
  }
  return 0;
}

int XmlReader::Namespace(size_t n, std::string_view& prefix, std::string_view& uri) const noexcept {
  prefix = uri = {};
  if (nsCount_ == 0) return kErrXmlNoNamespaces;
  if (n < 1 || n > nsCount_) return kErrXmlInvalidNamespaceIndex;
  prefix = NsPrefix(namespaces_[n - 1]);
  uri = NsUri(namespaces_[n - 1]);
  return 0;
}

size_t XmlReader::TreeAttributeCount() const noexcept {
  if (!tree_.HasRoot()) return 0;
  return tree_.AttributeCount(tree_.Current() ? tree_.Current() : tree_.Root());
}

int XmlReader::CheckAttribute(size_t n, uint32_t& treeAttribute) const noexcept {
  treeAttribute = 0;
  size_t count = AttributeCount();
  if (count == 0) return kErrXmlNoAttributes;
  if (n < 1 || n > count) return kErrXmlInvalidAttributeIndex;
  if (!inStartEvent_) {
    uint32_t element = tree_.Current() ? tree_.Current() : tree_.Root();
    treeAttribute = tree_.Attribute(element, static_cast<uint32_t>(n));
  }
  return 0;
}

int XmlReader::AttributeQualifiedName(size_t n, GrowString& out) const noexcept {
  out.Clear();
  uint32_t attribute;
  if (int rc = CheckAttribute(n, attribute)) return rc;
  if (inStartEvent_) return out.Assign(PendingName(n - 1));
  return tree_.AttributeQualifiedName(attribute, out);
}

int XmlReader::AttributeLocalName(size_t n, std::string_view& out) const noexcept {
  return AttributeNamePart(n, false, out);
}

int XmlReader::AttributePrefix(size_t n, std::string_view& out) const noexcept {
  return AttributeNamePart(n, true, out);
}

int XmlReader::AttributeNamePart(size_t n, bool prefix, std::string_view& out) const noexcept {
  out = {};
  uint32_t attribute;
  if (int rc = CheckAttribute(n, attribute)) return rc;
  if (!inStartEvent_) {
    out = prefix ? tree_.AttributePrefix(attribute) : tree_.AttributeLocalName(attribute);
    return 0;
  }
  std::string_view name = PendingName(n - 1);
  size_t colon = name.find(':');
  if (colon == std::string_view::npos) {
    out = prefix ? std::string_view() : name;
  } else {
    out = prefix ? name.substr(0, colon) : name.substr(colon + 1);
  }
  return 0;
}

int XmlReader::AttributeValue(size_t n, std::string_view& out) const noexcept {
  out = {};
  uint32_t attribute;
  if (int rc = CheckAttribute(n, attribute)) return rc;
  out = inStartEvent_ ? PendingValue(n - 1) : tree_.AttributeValue(attribute);
  return 0;
}

int XmlReader::AttributeValue(std::string_view qualifiedName, std::string_view& out) const noexcept {
  out = {};
  if (inStartEvent_) {
    if (pendingCount_ == 0) return kErrXmlNoAttributes;
    for (size_t i = 0; i < pendingCount_; ++i) {
      if (PendingName(i) == qualifiedName) {
        out = PendingValue(i);
        return 0;
      }
    }
    return kErrXmlNoSuchAttribute;
  }
  if (!tree_.HasRoot()) return kErrXmlNoAttributes;
  return tree_.AttributeByName(tree_.Current() ? tree_.Current() : tree_.Root(), qualifiedName, out);
}

}  // namespace rssvane
