#include "xml/XmlTree.h"

#include <cstring>
#include <type_traits>

#include "xml/XmlErrors.h"

namespace rssvane {

namespace {

constexpr uint32_t kPHeader = 12;
constexpr uint32_t kEHeader = 32;
constexpr uint32_t kAHeader = 12;
constexpr uint32_t kTHeader = 8;

// The bytes of a multi-byte character count as name bytes, as in the reader.
inline bool IsNameChar(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == ':' || c == '_' || c >= 0x80;
}

inline bool IsNameStart(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsValidName(std::string_view name) noexcept {
  if (name.empty() || !IsNameStart(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!IsNameChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

XmlTree::XmlTree() { Reset(); }

int XmlTree::Reset() noexcept {
  // A large document's buffer is given back rather than kept for the next.
  if (buffer_.Capacity() > (1u << 20)) buffer_ = GrowString();
  buffer_.Clear();
  depth_ = 0;
  root_ = 0;
  current_ = 0;
  uint32_t none;
  if (int rc = AddNamespace({}, {}, none)) return rc;
  return AddNamespace("xml", kXmlNamespaceUri, xmlNamespace_);
}

namespace {

// Writes a text and its zero byte; returns where the next one goes.
char* PutText(char* out, std::string_view text) noexcept {
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out + text.size() + 1;
}

// Writes the record's header words and its first text. Each word is stored
// from where it was worked out: a header gathered on the stack and copied in
// one piece is read back before its stores have landed, which stalls every
// record.
template <class... Words>
char* PutRecord(char* out, std::string_view text, Words... words) noexcept {
  static_assert((std::is_same_v<Words, uint32_t> && ...));
  ((std::memcpy(out, &words, 4), out += 4), ...);
  return PutText(out, text);
}

}  // namespace

int XmlTree::AddNamespace(std::string_view prefix, std::string_view uri, uint32_t& offset) noexcept {
  size_t length = kPHeader + prefix.size() + 1 + uri.size() + 1;
  offset = static_cast<uint32_t>(buffer_.Length());
  char* out = NewRecord(length);
  if (!out) return kErrXmlOutOfMemory;
  PutText(PutRecord(out, prefix, uint32_t{'P'}, static_cast<uint32_t>(length), uint32_t{0}), uri);
  return 0;
}

void XmlTree::EndNamespaceScope(uint32_t offset) noexcept {
  SetWord(offset, 2, static_cast<uint32_t>(buffer_.Length()));
}

int XmlTree::StartElement(uint32_t ns, std::string_view localName, uint32_t attributeCount,
                          bool emptyElement) noexcept {
  if (depth_ >= kMaxDepth) return kErrXmlOutOfMemory;
  size_t length = kEHeader + localName.size() + 1;
  uint32_t offset = static_cast<uint32_t>(buffer_.Length());
  char* out = NewRecord(length);
  if (!out) return kErrXmlOutOfMemory;
  uint32_t parent = depth_ ? depthTable_[depth_ - 1] : 0;
  PutRecord(out, localName, uint32_t{'E'}, static_cast<uint32_t>(length), uint32_t{0},
            emptyElement ? 0xFFFFFFFFu : 0u, parent, ns, attributeCount, uint32_t{0});
  depthTable_[depth_++] = offset;
  if (root_ == 0) root_ = offset;
  return 0;
}

int XmlTree::AddAttribute(uint32_t ns, std::string_view localName, std::string_view value) noexcept {
  size_t length = kAHeader + localName.size() + 1 + value.size() + 1;
  char* out = NewRecord(length);
  if (!out) return kErrXmlOutOfMemory;
  PutText(PutRecord(out, localName, uint32_t{'A'}, static_cast<uint32_t>(length), ns), value);
  return 0;
}

int XmlTree::EndElement(std::string_view text) noexcept {
  if (depth_ == 0) return 0;
  uint32_t element = depthTable_[depth_ - 1];
  if (!text.empty()) {
    size_t length = kTHeader + text.size() + 1;
    uint32_t offset = static_cast<uint32_t>(buffer_.Length());
    char* out = NewRecord(length);
    if (!out) return kErrXmlOutOfMemory;
    SetWord(element, 7, offset);
    PutRecord(out, text, uint32_t{'T'}, static_cast<uint32_t>(length));
  }
  SetWord(element, 2, static_cast<uint32_t>(buffer_.Length()));
  --depth_;
  if (depth_ > 0) {
    uint32_t parent = depthTable_[depth_ - 1];
    SetWord(parent, 3, static_cast<uint32_t>(static_cast<int32_t>(Word(parent, 3)) < 0 ? 1 : Word(parent, 3) + 1));
  }
  return 0;
}

std::string_view XmlTree::LocalName(uint32_t element) const noexcept {
  return std::string_view(buffer_.CStr() + element + kEHeader);
}

std::string_view XmlTree::NamespacePrefix(uint32_t ns) const noexcept {
  return std::string_view(buffer_.CStr() + ns + kPHeader);
}

std::string_view XmlTree::NamespaceRecordUri(uint32_t ns) const noexcept {
  const char* prefix = buffer_.CStr() + ns + kPHeader;
  const char* uri = prefix + std::strlen(prefix) + 1;
  return std::string_view(uri);
}

std::string_view XmlTree::Prefix(uint32_t element) const noexcept { return NamespacePrefix(Word(element, 5)); }

std::string_view XmlTree::NamespaceUri(uint32_t element) const noexcept {
  return NamespaceRecordUri(Word(element, 5));
}

int XmlTree::QualifiedName(uint32_t element, GrowString& out) const noexcept {
  std::string_view prefix = Prefix(element);
  if (prefix.empty()) return out.Assign(LocalName(element));
  if (int rc = out.Assign(prefix)) return rc;
  if (int rc = out.Append(':')) return rc;
  return out.Append(LocalName(element));
}

std::string_view XmlTree::Text(uint32_t element) const noexcept {
  uint32_t text = Word(element, 7);
  if (text == 0) return {};
  return std::string_view(buffer_.CStr() + text + kTHeader, Word(text, 1) - kTHeader - 1);
}

uint32_t XmlTree::ChildCount(uint32_t element) const noexcept {
  int32_t count = StoredChildCount(element);
  return count < 0 ? 0 : static_cast<uint32_t>(count);
}

uint32_t XmlTree::ChildrenStart(uint32_t element) const noexcept {
  uint32_t pos = element + Word(element, 1);
  uint32_t attributes = Word(element, 6);
  for (uint32_t i = 0; i < attributes; ++i) pos += Word(pos, 1);
  return pos;
}

// The first element record at or after pos, skipping namespace records,
// before limit; 0 when the next record is anything else.
uint32_t XmlTree::FindElementFrom(uint32_t pos, uint32_t limit) const noexcept {
  while (pos + kTHeader <= limit) {
    char type = RecordType(pos);
    if (type == 'E') return pos;
    if (type != 'P') return 0;
    pos += Word(pos, 1);
  }
  return 0;
}

uint32_t XmlTree::FirstChild(uint32_t element) const noexcept {
  uint32_t end = End(element);
  uint32_t limit = end ? end : static_cast<uint32_t>(buffer_.Length());
  return FindElementFrom(ChildrenStart(element), limit);
}

uint32_t XmlTree::NextSibling(uint32_t element) const noexcept {
  uint32_t end = End(element);
  // An element still open has no sibling yet.
  if (end == 0) return 0;
  uint32_t parent = Parent(element);
  uint32_t limit = static_cast<uint32_t>(buffer_.Length());
  if (parent != 0 && End(parent) != 0) limit = End(parent);
  if (parent == 0) return 0;
  return FindElementFrom(end, limit);
}

uint32_t XmlTree::Attribute(uint32_t element, uint32_t n) const noexcept {
  if (n < 1 || n > AttributeCount(element)) return 0;
  uint32_t pos = element + Word(element, 1);
  for (uint32_t i = 1; i < n; ++i) pos += Word(pos, 1);
  return pos;
}

std::string_view XmlTree::AttributeLocalName(uint32_t attribute) const noexcept {
  return std::string_view(buffer_.CStr() + attribute + kAHeader);
}

std::string_view XmlTree::AttributeValue(uint32_t attribute) const noexcept {
  uint32_t length = Word(attribute, 1);
  std::string_view name = AttributeLocalName(attribute);
  uint32_t start = attribute + kAHeader + static_cast<uint32_t>(name.size()) + 1;
  return std::string_view(buffer_.CStr() + start, attribute + length - 1 - start);
}

std::string_view XmlTree::AttributePrefix(uint32_t attribute) const noexcept {
  return NamespacePrefix(Word(attribute, 2));
}

std::string_view XmlTree::AttributeNamespaceUri(uint32_t attribute) const noexcept {
  return NamespaceRecordUri(Word(attribute, 2));
}

int XmlTree::AttributeQualifiedName(uint32_t attribute, GrowString& out) const noexcept {
  std::string_view prefix = AttributePrefix(attribute);
  if (prefix.empty()) return out.Assign(AttributeLocalName(attribute));
  if (int rc = out.Assign(prefix)) return rc;
  if (int rc = out.Append(':')) return rc;
  return out.Append(AttributeLocalName(attribute));
}

int XmlTree::AttributeByName(uint32_t element, std::string_view name, std::string_view& value) const noexcept {
  value = {};
  uint32_t count = AttributeCount(element);
  if (count == 0) return kErrXmlNoAttributes;
  uint32_t pos = element + Word(element, 1);
  for (uint32_t i = 0; i < count; ++i, pos += Word(pos, 1)) {
    std::string_view prefix = AttributePrefix(pos);
    std::string_view local = AttributeLocalName(pos);
    bool match = prefix.empty() ? local == name
                                : name.size() == prefix.size() + 1 + local.size() && name.substr(0, prefix.size()) == prefix &&
                                      name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
    if (match) {
      value = AttributeValue(pos);
      return 0;
    }
  }
  return kErrXmlNoSuchAttribute;
}

bool XmlTree::NameMatches(uint32_t element, std::string_view name) const noexcept {
  std::string_view uri = NamespaceUri(element);
  std::string_view local = LocalName(element);
  if (name.size() == uri.size() + local.size() && name.substr(0, uri.size()) == uri && name.substr(uri.size()) == local) {
    return true;
  }
  std::string_view prefix = Prefix(element);
  if (!prefix.empty() && name.size() == prefix.size() + 1 + local.size() && name.substr(0, prefix.size()) == prefix &&
      name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local) {
    return true;
  }
  return name == local;
}

int XmlTree::Select(std::string_view path) noexcept {
  if (path.empty()) return 0;
  if (root_ == 0) return kErrXmlNoTree;
  if (path[0] == '*') {
    uint64_t offset = 0;
    size_t i = 1;
    if (i == path.size()) return kErrXmlInvalidPath;
    for (; i < path.size(); ++i) {
      char c = path[i];
      if (c < '0' || c > '9') return kErrXmlInvalidPath;
      offset = offset * 10 + static_cast<uint64_t>(c - '0');
      if (offset > buffer_.Length()) return 0;  // beyond the buffer: nothing changes
    }
    if (offset >= buffer_.Length()) return 0;
    // Only an offset at which a record starts can be an element.
    uint32_t pos = 0;
    while (pos < offset) pos += Word(pos, 1);
    if (pos != offset || RecordType(pos) != 'E') return kErrXmlInvalidPath;
    current_ = pos;
    return 0;
  }
  size_t pos = 0;
  if (path[0] == '/') {
    current_ = root_;
    pos = 1;
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view name = path.substr(pos, end - pos);
    // "/[n]" is a step below the root, not the root's name.
    if (!name.empty() && name[0] != '[') {
      if (!IsValidName(name)) return kErrXmlInvalidPath;
      if (!NameMatches(root_, name)) return kErrXmlTopMismatch;
      pos = end;
    }
  }
  return SelectRelative(path, pos);
}

int XmlTree::SelectRelative(std::string_view path, size_t pos) noexcept {
  uint32_t element = current_ ? current_ : root_;
  while (true) {
    while (pos < path.size() && path[pos] == '/') ++pos;
    if (pos >= path.size()) break;
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view step = path.substr(pos, end - pos);
    pos = end;
    if (step[0] == '[') {
      if (step.size() < 3 || step.back() != ']') {
        current_ = element;
        return kErrXmlInvalidPath;
      }
      uint64_t n = 0;
      for (size_t i = 1; i + 1 < step.size(); ++i) {
        char c = step[i];
        if (c < '0' || c > '9' || n > 0xFFFFFFFFu) {
          current_ = element;
          return kErrXmlInvalidPath;
        }
        n = n * 10 + static_cast<uint64_t>(c - '0');
      }
      if (n < 1 || n > ChildCount(element)) {
        current_ = element;
        return kErrXmlInvalidPath;
      }
      uint32_t child = FirstChild(element);
      for (uint64_t i = 1; i < n && child; ++i) child = NextSibling(child);
      if (!child) {
        current_ = element;
        return kErrXmlInvalidPath;
      }
      element = child;
      continue;
    }
    if (!IsValidName(step)) {
      current_ = element;
      return kErrXmlInvalidPath;
    }
    uint32_t child = FirstChild(element);
    while (child && !NameMatches(child, step)) child = NextSibling(child);
    if (!child) {
      current_ = element;
      return kErrXmlNoSuchChild;
    }
    element = child;
  }
  current_ = element;
  return 0;
}

}  // namespace rssvane
