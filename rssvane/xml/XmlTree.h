#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

// The document tree of the XML reader: every namespace declaration ("P"),
// element ("E"), attribute ("A") and element text ("T") as a tagged record in
// one buffer, in document order. Records start with a 32-bit type word (the
// letter, then three zero bytes) and a 32-bit length; offsets count from the
// buffer's start. Keeping the document in one buffer costs no allocation per
// node, and moving around it is arithmetic on offsets.
//
// A cursor, the current element, is moved by Select with a small path
// language (see Select). Offsets passed to the accessors must be those the
// tree handed out.
class XmlTree {
 public:
  static constexpr size_t kMaxDepth = 128;
  static constexpr std::string_view kXmlNamespaceUri = "http://www.w3.org/XML/1998/namespace";

  XmlTree();

  // Empties the tree. The buffer then holds the "P" record of no namespace
  // (offset 0) and that of the "xml" prefix, which is always in scope.
  int Reset() noexcept;

  // Building, in document order.
  int AddNamespace(std::string_view prefix, std::string_view uri, uint32_t& offset) noexcept;
  void EndNamespaceScope(uint32_t offset) noexcept;
  int StartElement(uint32_t ns, std::string_view localName, uint32_t attributeCount, bool emptyElement) noexcept;
  int AddAttribute(uint32_t ns, std::string_view localName, std::string_view value) noexcept;
  int EndElement(std::string_view text) noexcept;
  size_t OpenDepth() const noexcept { return depth_; }
  uint32_t XmlNamespaceOffset() const noexcept { return xmlNamespace_; }

  std::string_view Buffer() const noexcept { return buffer_.View(); }
  bool HasRoot() const noexcept { return root_ != 0; }
  uint32_t Root() const noexcept { return root_; }
  uint32_t Current() const noexcept { return current_; }

  // Moves the current element along path, or fails with 207 to 210 and
  // leaves it where the failing step found it:
  //   "*" offset      the element record at that offset
  //   "/" [name]      the root, whose name must match when given
  //   name            the first child named so (URI + local name, qualified
  //                   name or local name)
  //   "[" n "]"       child n, from 1
  // Steps are separated by "/".
  int Select(std::string_view path) noexcept;

  // Of an element.
  std::string_view LocalName(uint32_t element) const noexcept;
  std::string_view Prefix(uint32_t element) const noexcept;
  std::string_view NamespaceUri(uint32_t element) const noexcept;
  // prefix:localName, or the local name when there is no prefix.
  int QualifiedName(uint32_t element, GrowString& out) const noexcept;
  std::string_view Text(uint32_t element) const noexcept;
  uint32_t ChildCount(uint32_t element) const noexcept;
  int32_t StoredChildCount(uint32_t element) const noexcept { return static_cast<int32_t>(Word(element, 3)); }
  uint32_t Parent(uint32_t element) const noexcept { return Word(element, 4); }
  uint32_t End(uint32_t element) const noexcept { return Word(element, 2); }
  uint32_t AttributeCount(uint32_t element) const noexcept { return Word(element, 6); }
  // 0 when there is none.
  uint32_t FirstChild(uint32_t element) const noexcept;
  uint32_t NextSibling(uint32_t element) const noexcept;

  // Attribute n of an element, from 1: 0 when outside the range.
  uint32_t Attribute(uint32_t element, uint32_t n) const noexcept;
  std::string_view AttributeLocalName(uint32_t attribute) const noexcept;
  std::string_view AttributeValue(uint32_t attribute) const noexcept;
  std::string_view AttributePrefix(uint32_t attribute) const noexcept;
  std::string_view AttributeNamespaceUri(uint32_t attribute) const noexcept;
  int AttributeQualifiedName(uint32_t attribute, GrowString& out) const noexcept;
  // The value of the attribute whose qualified name is name; 107 or 102.
  int AttributeByName(uint32_t element, std::string_view name, std::string_view& value) const noexcept;

  // Of a "P" record.
  std::string_view NamespacePrefix(uint32_t ns) const noexcept;
  std::string_view NamespaceRecordUri(uint32_t ns) const noexcept;
  uint32_t NamespaceScopeEnd(uint32_t ns) const noexcept { return Word(ns, 2); }

  char RecordType(uint32_t offset) const noexcept { return buffer_.CStr()[offset]; }
  uint32_t RecordLength(uint32_t offset) const noexcept { return Word(offset, 1); }

 private:
  // These run several times per element while the tree is built: inline.
  uint32_t Word(uint32_t offset, int index) const noexcept {
    uint32_t value;
    std::memcpy(&value, buffer_.CStr() + offset + 4 * index, 4);
    return value;
  }
  void SetWord(uint32_t offset, int index, uint32_t value) noexcept {
    std::memcpy(buffer_.Data() + offset + 4 * index, &value, 4);
  }
  // Room for a record of length bytes at the end of the buffer; nullptr
  // when the buffer cannot grow or its offsets would not fit 32 bits.
  char* NewRecord(size_t length) noexcept {
    if (buffer_.Length() + length >= std::numeric_limits<uint32_t>::max()) return nullptr;
    return buffer_.Extend(length);
  }
  uint32_t ChildrenStart(uint32_t element) const noexcept;
  uint32_t FindElementFrom(uint32_t pos, uint32_t limit) const noexcept;
  bool NameMatches(uint32_t element, std::string_view name) const noexcept;
  int SelectRelative(std::string_view path, size_t pos) noexcept;

  GrowString buffer_;
  uint32_t depthTable_[kMaxDepth + 1];
  size_t depth_ = 0;
  uint32_t root_ = 0;
  uint32_t current_ = 0;
  uint32_t xmlNamespace_ = 0;
};

}  // namespace rssvane
