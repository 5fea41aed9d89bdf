#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/CodePage.h"
#include "base/GrowString.h"
#include "xml/Collected.h"
#include "xml/XmlClient.h"
#include "xml/XmlErrors.h"
#include "xml/XmlTree.h"

namespace rssvane {

// The component's XML reader: a push-driven, byte-oriented state machine.
// The caller feeds bytes; events go to an optional client as soon as the
// construct they report is complete and, in tree mode, the document is
// recorded in an XmlTree. The first error ends the document: every later
// call returns it until Reset.
//
// Two modes: XML mode (the default) checks that end tags match, resolves
// namespace prefixes and fails on markup it cannot read; lenient mode reads
// HTML-like text, keeps a "<" that starts no tag as text and keeps the body
// of a SCRIPT element as text.
//
// Nesting, declarations in scope and the attributes of one element are each
// limited to 128, so that hostile input cannot make the reader grow without
// bound other than in proportion to its own size.
class XmlReader {
 public:
  static constexpr size_t kMaxDepth = 128;
  static constexpr size_t kMaxNamespaces = 128;
  static constexpr size_t kMaxAttributes = 128;

  XmlReader();
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Clears every buffer and stack, the byte count and the tree; options stay.
  void Reset() noexcept;

  // Each returns 0 or the document's first error code.
  int Feed(char c) noexcept { return Feed(&c, 1); }
  // A zero-terminated text, up to its first zero byte.
  int Feed(const char* text) noexcept;
  // Every byte of data, zero bytes included.
  int Feed(const char* data, size_t size) noexcept;
  // The end of the document: 205 when it stops inside markup, 206 (XML
  // mode) when elements are still open. Lenient mode closes them.
  int Finish() noexcept;

  int LastError() const noexcept { return error_; }
  std::string_view LastErrorText() const noexcept { return XmlErrorText(error_); }
  uint64_t BytesFed() const noexcept { return bytesFed_; }

  // Options; change them only between documents.
  void SetClient(XmlClient* client) noexcept;
  XmlClient* Client() const noexcept { return client_; }
  void SetXmlMode(bool on) noexcept { xmlMode_ = on; }
  bool XmlMode() const noexcept { return xmlMode_; }
  void SetBuildTree(bool on) noexcept {
    buildTree_ = on;
    FollowDepth();
  }
  bool BuildTree() const noexcept { return buildTree_; }
  // In tree mode, whether the tree's records are written (the default). A
  // client that builds its own structure from the events needs tree mode's
  // reading rules (each element's own text, references resolved) but not a
  // second copy of the document.
  void SetKeepTree(bool on) noexcept { keepTree_ = on; }
  bool KeepTree() const noexcept { return keepTree_; }
  void SetFlushOnNewline(bool on) noexcept;
  bool FlushOnNewline() const noexcept { return flushOnNewline_; }
  void SetIgnoreBadElementPrefixes(bool on) noexcept { ignoreBadElementPrefixes_ = on; }
  bool IgnoreBadElementPrefixes() const noexcept { return ignoreBadElementPrefixes_; }
  void SetIgnoreBadAttributePrefixes(bool on) noexcept { ignoreBadAttributePrefixes_ = on; }
  bool IgnoreBadAttributePrefixes() const noexcept { return ignoreBadAttributePrefixes_; }
  // Double-byte text (Shift-JIS style): a lead byte from 0x81 to 0x9F or
  // 0xE0 to 0xEF takes the next byte with it, whatever it is.
  void SetMultiByte(bool on) noexcept;
  bool MultiByte() const noexcept { return multiByte_; }
  // The narrow encoding that numeric character references resolve into, a
  // code page number as CodePage takes it; 0, the system's encoding (UTF-8),
  // by default. A character the code page lacks stays as written.
  void SetCodePage(int codePage) noexcept;
  int CodePage() const noexcept { return codePage_; }
  int SetExtraNameChars(std::string_view chars) noexcept;
  int SetExtraWhiteSpace(std::string_view chars) noexcept;

  // Depth of the element of the current start or end event (the root is 0).
  size_t ElementDepth() const noexcept { return eventDepth_; }
  // Open elements right now.
  size_t OpenElements() const noexcept { return depth_; }

  // During an end element event in tree mode: the element's own text, as
  // the tree would record it.
  std::string_view ElementText() const noexcept {
    if (!inEndEvent_ || !buildTree_ || depth_ == 0) return {};
    return accumulators_[depth_].View();
  }
  // During a start element event: attribute n (from 1) as written, name and
  // value; 102 outside a start event, 101 outside the range.
  int StartAttribute(size_t n, std::string_view& name, std::string_view& value) const noexcept {
    // Each view is written once: one read back from the other (name =
    // value = {}) waits for the caller's own stores to it to land first.
    if (!inStartEvent_ || n < 1 || n > pendingCount_) {
      name = {};
      value = {};
      return inStartEvent_ ? kErrXmlInvalidAttributeIndex : kErrXmlNoAttributes;
    }
    name = PendingName(n - 1);
    value = PendingValue(n - 1);
    return 0;
  }

  // Namespace declarations in scope, from 1 (the outermost) to the count;
  // 104 when none is in scope, 103 outside the range.
  size_t NamespaceCount() const noexcept { return nsCount_; }
  int Namespace(size_t n, std::string_view& prefix, std::string_view& uri) const noexcept;

  // Attributes: during a start event those of the element being opened,
  // otherwise those of the tree's current element. n counts from 1; 102 when
  // there are none, 101 outside the range, 107 for a name not found.
  size_t AttributeCount() const noexcept { return inStartEvent_ ? pendingCount_ : TreeAttributeCount(); }
  int AttributeQualifiedName(size_t n, GrowString& out) const noexcept;
  int AttributeLocalName(size_t n, std::string_view& out) const noexcept;
  int AttributePrefix(size_t n, std::string_view& out) const noexcept;
  int AttributeValue(size_t n, std::string_view& out) const noexcept;
  int AttributeValue(std::string_view qualifiedName, std::string_view& out) const noexcept;

  XmlTree& Tree() noexcept { return tree_; }
  const XmlTree& Tree() const noexcept { return tree_; }

 private:
  // The attribute count of the tree's current element.
  size_t TreeAttributeCount() const noexcept;
  // Checks attribute n (from 1) of the current element; outside a start
  // event it also gives that attribute's record in the tree.
  int CheckAttribute(size_t n, uint32_t& treeAttribute) const noexcept;
  // Attribute n's prefix, or else its local name.
  int AttributeNamePart(size_t n, bool prefix, std::string_view& out) const noexcept;
  // A name and a value of the element being opened: views of the input
  // (nameAt, valueAt), or else held in attributes_ from their start.
  struct Pending {
    const char* nameAt;
    const char* valueAt;
    uint32_t nameStart, nameLength, valueStart, valueLength;
    bool mayBePrefixed;
  };
  struct NamespaceEntry {
    uint32_t prefixStart, prefixLength, uriStart, uriLength;
    uint32_t depth;
    uint32_t record;
  };

  void BuildClasses() noexcept;
  int Fail(int code) noexcept;
  int Run(const unsigned char* p, size_t n) noexcept;

  bool RecordTree() const noexcept { return buildTree_ && keepTree_; }
  Collected& Accumulator() noexcept { return *accumulator_; }
  // Points accumulator_ at the innermost element's accumulator; called
  // wherever the depth or the tree mode changes.
  void FollowDepth() noexcept { accumulator_ = accumulators_ + (buildTree_ ? depth_ : 0); }
  int FlushAtTag() noexcept {
    if (Accumulator().Length() != pendingStart_) return FlushPendingAtTag();
    // Nothing pending, as after most tags.
    droppedWhiteSpace_ = false;
    whiteMark_ = SIZE_MAX;
    return 0;
  }
  int FlushPendingAtTag() noexcept;
  int FlushText() noexcept;
  int FlushAtNewline() noexcept;
  int Deliver(size_t end) noexcept;

  // mayBePrefixed false: the name was seen whole and has no ":".
  int StoreAttribute(bool mayBePrefixed = true) noexcept;
  int CloseStartTag(bool emptyElement, bool mayBePrefixed = true) noexcept;
  int EndTag(std::string_view name, bool emptyElement) noexcept;
  int ResolveEntity(bool closedBySemicolon, Collected& target) noexcept;
  // Appends the character of a numeric reference ("#65", "#x41") in the
  // narrow encoding; false for any other name, and for a reference to no
  // character the encoding can hold.
  bool AppendReferencedCharacter(std::string_view reference, GrowString& out) noexcept;
  // A character's bytes in the narrow encoding: their length, 0 when the
  // code page lacks it, kNarrowCharacterLong when they do not fit.
  size_t CharacterBytes(uint32_t value, char (&bytes)[kNarrowCharacterRoom]) const noexcept;
  // The end of the run of name bytes from j; a multi-byte character's bytes
  // all belong to the name.
  // With colon, *colon is set unless the bytes passed are known to hold no ":".
  size_t ScanName(const unsigned char* p, size_t j, size_t n, bool* colon = nullptr) noexcept;
  // Past the name bytes from j on, whatever the mode.
  size_t SkipNameBytes(const unsigned char* p, size_t j, size_t n, bool* colon = nullptr) const noexcept;
  int ReportMarkedSection() noexcept;
  // What a name's prefix resolves to: a declaration in scope (its position
  // in namespaces_), the xml prefix, or no namespace; where its local name
  // starts; and whether an unknown prefix was ignored with a warning.
  static constexpr int32_t kNoNamespace = -1;
  static constexpr int32_t kXmlPrefix = -2;
  struct Resolved {
    int32_t ns;
    uint32_t local;
    bool ignored;
  };
  int ResolvePrefix(std::string_view name, bool attribute, Resolved& out) noexcept;
  std::string_view UriOf(const Resolved& r) const noexcept;
  uint32_t RecordOf(const Resolved& r) const noexcept;
  // An open element's name; every end tag compares with it.
  std::string_view OpenName(size_t level) const noexcept {
    const OpenElement& e = open_[level];
    return e.nameAt ? std::string_view(e.nameAt, e.nameLength) : elementNames_.View().substr(e.nameStart, e.nameLength);
  }
  std::string_view NsPrefix(const NamespaceEntry& e) const noexcept {
    return nsData_.View().substr(e.prefixStart, e.prefixLength);
  }
  std::string_view NsUri(const NamespaceEntry& e) const noexcept {
    return nsData_.View().substr(e.uriStart, e.uriLength);
  }
  std::string_view PendingName(size_t i) const noexcept {
    const Pending& a = pending_[i];
    return a.nameAt ? std::string_view(a.nameAt, a.nameLength) : attributes_.View().substr(a.nameStart, a.nameLength);
  }
  std::string_view PendingValue(size_t i) const noexcept {
    const Pending& a = pending_[i];
    return a.valueAt ? std::string_view(a.valueAt, a.valueLength)
                     : attributes_.View().substr(a.valueStart, a.valueLength);
  }
  // At the end of a call that feeds the reader: copies what its collections
  // still only view of the input.
  int KeepCollected() noexcept;
  int PlainTag(const unsigned char* p, size_t& i, size_t n) noexcept;
  int AfterTag(const unsigned char* p, size_t& i, size_t n) noexcept;

  // Options.
  XmlClient* client_ = nullptr;
  // The client when it takes the pieces of text, else nullptr.
  XmlClient* textClient_ = nullptr;
  bool rawBytes_ = false;
  bool xmlMode_ = true;
  bool buildTree_ = false;
  bool keepTree_ = true;
  bool flushOnNewline_ = true;
  bool ignoreBadElementPrefixes_ = false;
  bool ignoreBadAttributePrefixes_ = false;
  bool multiByte_ = false;
  int codePage_ = 0;
  bool utf8References_ = true;
  GrowString extraNameChars_;
  GrowString extraWhiteSpace_;
  uint8_t classes_[256];

  // Tokenizer.
  int state_ = 0;
  int entityReturn_ = 0;
  unsigned char prev1_ = 0;
  unsigned char prev2_ = 0;
  int error_ = 0;
  uint64_t bytesFed_ = 0;
  bool rawMode_ = false;
  // A name's last byte so far was the lead byte of a double-byte character,
  // whose second byte belongs to the name whatever it is.
  bool nameTrail_ = false;
  // Inside the brackets of a declaration: 0, or the quote of a literal, or
  // "-" in a comment, or "?" in a processing instruction, whose "]" does
  // not end the brackets.
  unsigned char subsetPart_ = 0;
  bool droppedWhiteSpace_ = false;
  bool inStartEvent_ = false;
  bool inEndEvent_ = false;
  size_t eventDepth_ = 0;

  // Pending text lives at the end of the innermost element's accumulator,
  // from pendingStart_ on, so text reaches the tree without another copy.
  Collected accumulators_[kMaxDepth + 1];
  // The one that text goes to now; text arrives a few times per tag.
  Collected* accumulator_ = accumulators_;
  size_t pendingStart_ = 0;
  // After a line-feed flush, the pending text up to here is known to be
  // white space, so the next line feed need not look at it again.
  size_t whiteMark_ = SIZE_MAX;
  Collected whiteSpace_;
  Collected name_;
  Collected attributeName_;
  Collected value_;
  Collected entity_;
  GrowString entityResult_;
  Collected section_;
  // The name of an element that Finish closes (lenient mode).
  GrowString closing_;

  // The element being opened.
  GrowString attributes_;
  Pending pending_[kMaxAttributes];
  size_t pendingCount_ = 0;

  // Open elements: their names, as views of the input or packed into
  // elementNames_ from nameStart, and what their prefixes resolved to.
  struct OpenElement {
    const char* nameAt;
    uint32_t nameStart;
    uint32_t nameLength;
    Resolved resolved;
  };
  OpenElement open_[kMaxDepth + 1];
  GrowString elementNames_;
  size_t depth_ = 0;

  NamespaceEntry namespaces_[kMaxNamespaces];
  size_t nsCount_ = 0;
  // The position among them of the innermost declaration of a default
  // namespace (-1: none), which names without a prefix take.
  int32_t innermostDefault_ = kNoNamespace;
  GrowString nsData_;

  XmlTree tree_;
};

}  // namespace rssvane
