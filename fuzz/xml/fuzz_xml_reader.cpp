// The XML reader in every combination of its modes. The first byte picks the
// options and how the input is cut into calls; the document must end with 0
// or a reader code, give the same result whole and in pieces (whose buffers
// are written over once fed), and leave a tree that can be walked and
// searched by path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xml/XmlReader.h"

using namespace rssvane;

namespace {

void Configure(XmlReader& reader, uint8_t options) {
  reader.SetXmlMode(options & 1);
  reader.SetBuildTree(options & 2);
  reader.SetMultiByte(options & 4);
  reader.SetIgnoreBadElementPrefixes(options & 8);
  reader.SetIgnoreBadAttributePrefixes(options & 16);
  reader.SetFlushOnNewline(!(options & 32));
  // Character references resolve into UTF-8 or, through the converter,
  // into a single-byte code page.
  reader.SetCodePage(options & 128 ? 1252 : 0);
  reader.Reset();
}

class Client : public XmlClient {
 public:
  explicit Client(XmlReader& reader) : reader_(reader) {}
  int StartElement(std::string_view, std::string_view, std::string_view, bool) override {
    GrowString name;
    std::string_view value;
    for (size_t n = 0; n <= reader_.AttributeCount() + 1; ++n) {
      reader_.AttributeQualifiedName(n, name);
      reader_.AttributeValue(n, value);
    }
    std::string_view prefix, uri;
    for (size_t n = 0; n <= reader_.NamespaceCount() + 1; ++n) reader_.Namespace(n, prefix, uri);
    return 0;
  }
  int Entity(std::string_view name, GrowString& result) override {
    if (name == "x") result.Assign("<&>");
    return 0;
  }

 private:
  XmlReader& reader_;
};

void Walk(const XmlTree& tree, uint32_t element, int depth) {
  GrowString name;
  tree.QualifiedName(element, name);
  (void)tree.Text(element);
  (void)tree.NamespaceUri(element);
  for (uint32_t n = 1; n <= tree.AttributeCount(element); ++n) {
    tree.AttributeQualifiedName(tree.Attribute(element, n), name);
    (void)tree.AttributeValue(tree.Attribute(element, n));
  }
  uint32_t children = 0;
  for (uint32_t child = tree.FirstChild(element); child; child = tree.NextSibling(child)) {
    ++children;
    Walk(tree, child, depth + 1);
  }
  if (children != tree.ChildCount(element)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint8_t options = data[0];
  size_t cut = data[1];
  const char* text = reinterpret_cast<const char*>(data + 2);
  size_t length = size - 2;

  XmlReader whole;
  Configure(whole, options);
  Client client(whole);
  if (options & 64) whole.SetClient(&client);
  int rc = whole.Feed(text, length);
  if (rc == 0) rc = whole.Finish();
  if (rc != 0 && (rc < 200 || rc > 206)) std::abort();

  // The same bytes in pieces of cut + 1 bytes, each from a buffer that is
  // written over once it was fed.
  XmlReader pieces;
  Configure(pieces, options);
  Client other(pieces);
  if (options & 64) pieces.SetClient(&other);
  int rc2 = 0;
  std::string piece;
  for (size_t at = 0; at < length && rc2 == 0; at += cut + 1) {
    piece.assign(text + at, std::min(cut + 1, length - at));
    rc2 = pieces.Feed(piece.data(), piece.size());
    piece.assign(piece.size(), '<');
  }
  if (rc2 == 0) rc2 = pieces.Finish();
  if (rc2 != rc) std::abort();
  if (rc == 0 && whole.Tree().Buffer() != pieces.Tree().Buffer()) std::abort();

  XmlTree& tree = whole.Tree();
  if (rc == 0 && tree.HasRoot()) {
    Walk(tree, tree.Root(), 0);
    // The tail of the input as a path.
    std::string path(text + length - std::min<size_t>(length, 24), std::min<size_t>(length, 24));
    int code = tree.Select(path);
    if (code != 0 && (code < 207 || code > 210)) std::abort();
    tree.Select("/");
    tree.Select("*" + std::to_string(cut * 7));
  }
  return 0;
}
