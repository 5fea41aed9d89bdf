#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "xml/XmlReader.h"

namespace rssvane {
namespace {

int Read(XmlReader& reader, std::string_view text) {
  reader.SetBuildTree(true);
  reader.Reset();
  int rc = reader.Feed(text.data(), text.size());
  return rc ? rc : reader.Finish();
}

uint32_t Word(std::string_view buffer, uint32_t offset, int index) {
  uint32_t value;
  std::memcpy(&value, buffer.data() + offset + 4 * index, 4);
  return value;
}

TEST(XmlTree, RecordsAreLaidOutInDocumentOrder) {
  XmlReader reader;
  ASSERT_EQ(Read(reader, "<r xmlns:p='u' a='v'><p:x/>t</r>"), 0);
  XmlTree& tree = reader.Tree();
  std::string_view b = tree.Buffer();
  // The buffer opens with the no-namespace record and the xml prefix's.
  EXPECT_EQ(Word(b, 0, 0), uint32_t{'P'});
  EXPECT_EQ(Word(b, 0, 1), 14u);
  uint32_t xmlRecord = 14;
  EXPECT_EQ(Word(b, xmlRecord, 0), uint32_t{'P'});
  uint32_t declaration = xmlRecord + Word(b, xmlRecord, 1);
  EXPECT_EQ(Word(b, declaration, 0), uint32_t{'P'});
  EXPECT_EQ(Word(b, declaration, 1), 12u + 2 + 2);
  uint32_t root = declaration + 16;
  EXPECT_EQ(tree.Root(), root);
  EXPECT_EQ(Word(b, root, 0), uint32_t{'E'});
  EXPECT_EQ(Word(b, root, 1), 32u + 2);
  EXPECT_EQ(Word(b, root, 2), b.size());          // end
  EXPECT_EQ(Word(b, root, 3), 1u);                // one child
  EXPECT_EQ(Word(b, root, 4), 0u);                // no parent
  EXPECT_EQ(Word(b, root, 5), 0u);                // no namespace
  EXPECT_EQ(Word(b, root, 6), 1u);                // one attribute
  uint32_t attribute = root + 34;
  EXPECT_EQ(Word(b, attribute, 0), uint32_t{'A'});
  EXPECT_EQ(Word(b, attribute, 1), 12u + 2 + 2);
  uint32_t child = attribute + 16;
  EXPECT_EQ(Word(b, child, 0), uint32_t{'E'});
  EXPECT_EQ(Word(b, child, 3), 0xFFFFFFFFu);
  EXPECT_EQ(Word(b, child, 4), root);
  EXPECT_EQ(Word(b, child, 5), declaration);
  uint32_t text = child + 34;
  EXPECT_EQ(Word(b, root, 7), text);
  EXPECT_EQ(Word(b, text, 0), uint32_t{'T'});
  EXPECT_EQ(Word(b, text, 1), 1u + 9);
  EXPECT_EQ(Word(b, declaration, 2), b.size());  // scope ended with the root
}

TEST(XmlTree, PathsSelectByNamePositionAndOffset) {
  XmlReader reader;
  ASSERT_EQ(Read(reader, "<rss xmlns:p='u'><channel><title>T</title><p:x>X</p:x><item/><item>2</item></channel></rss>"), 0);
  XmlTree& tree = reader.Tree();
  auto text = [&](std::string_view path) -> std::string {
    int rc = tree.Select(path);
    return rc ? "error " + std::to_string(rc) : std::string(tree.Text(tree.Current()));
  };
  EXPECT_EQ(text("/rss/channel/title"), "T");
  EXPECT_EQ(text("/rss//[1]/[4]"), "2");
  EXPECT_EQ(text("/rss/channel/p:x"), "X");
  EXPECT_EQ(text("/rss/channel/x"), "X");
  EXPECT_EQ(text("/rss/channel/ux"), "X");
  EXPECT_EQ(text("/rss/channel/item"), "");
  ASSERT_EQ(tree.Select("/rss/channel"), 0);
  EXPECT_EQ(text("item"), "");
  EXPECT_EQ(tree.Select("/other"), kErrXmlTopMismatch);
  EXPECT_EQ(tree.Select("/rss/nothing"), kErrXmlNoSuchChild);
  // The failing step leaves the cursor where it got to.
  EXPECT_EQ(tree.LocalName(tree.Current()), "rss");
  EXPECT_EQ(tree.Select("/rss/[0]"), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("/rss/[2]"), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("/rss/[x]"), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("/rss/9bad"), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("/9bad"), kErrXmlInvalidPath);
  ASSERT_EQ(tree.Select("/rss/channel/title"), 0);
  uint32_t title = tree.Current();
  ASSERT_EQ(tree.Select("/"), 0);
  EXPECT_EQ(tree.Select("*" + std::to_string(title)), 0);
  EXPECT_EQ(tree.Current(), title);
  EXPECT_EQ(tree.Select("*" + std::to_string(title + 1)), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("*0"), kErrXmlInvalidPath);
  EXPECT_EQ(tree.Select("*999999"), 0);
  EXPECT_EQ(tree.Current(), title);
  EXPECT_EQ(tree.Select("*"), kErrXmlInvalidPath);
}

TEST(XmlTree, PrefixedChildIsFoundByQualifiedLocalOrUriName) {
  XmlReader reader;
  ASSERT_EQ(Read(reader, "<r xmlns:p='u'><p:x/></r>"), 0);
  XmlTree& tree = reader.Tree();
  for (const char* path : {"/r/p:x", "/r/x", "/r/ux"}) {
    ASSERT_EQ(tree.Select(path), 0) << path;
    GrowString name;
    tree.QualifiedName(tree.Current(), name);
    EXPECT_EQ(name.View(), "p:x");
    EXPECT_EQ(tree.Prefix(tree.Current()), "p");
  }
}

TEST(XmlTree, EmptyTreesAndChildlessRootsRefusePaths) {
  XmlReader reader;
  ASSERT_EQ(Read(reader, ""), 0);
  EXPECT_EQ(reader.Tree().Select("/"), kErrXmlNoTree);
  EXPECT_EQ(reader.Tree().Select("a"), kErrXmlNoTree);
  EXPECT_EQ(XmlErrorText(kErrXmlNoTree), "DOM tree unavailable (set BuildDOM to true and reparse).");
  ASSERT_EQ(Read(reader, "<r/>"), 0);
  EXPECT_EQ(reader.Tree().Select("/[1]"), kErrXmlInvalidPath);
  EXPECT_EQ(reader.AttributeCount(), 0u);
  std::string_view value;
  EXPECT_EQ(reader.AttributeValue(1, value), kErrXmlNoAttributes);
  EXPECT_EQ(XmlErrorText(kErrXmlNoAttributes), "No attributes available.");
  ASSERT_EQ(Read(reader, "<r a='1'/>"), 0);
  EXPECT_EQ(reader.AttributeValue(2, value), kErrXmlInvalidAttributeIndex);
  EXPECT_EQ(reader.AttributeValue(0, value), kErrXmlInvalidAttributeIndex);
  EXPECT_EQ(XmlErrorText(kErrXmlInvalidAttributeIndex), "Invalid attribute index.");
  EXPECT_EQ(XmlErrorText(kErrXmlNoSuchAttribute), "Attribute does not exist.");
  EXPECT_EQ(XmlErrorText(kErrXmlInvalidNamespaceIndex), "Invalid namespace index.");
  EXPECT_EQ(XmlErrorText(kErrXmlNoNamespaces), "No namespaces available.");
  EXPECT_EQ(XmlErrorText(kErrXmlInvalidPath), "Invalid XPath.");
  EXPECT_EQ(XmlErrorText(kErrXmlNoSuchChild), "No such child.");
  EXPECT_EQ(XmlErrorText(kErrXmlTopMismatch), "Top element does not match start of path.");
  EXPECT_EQ(XmlErrorText(42), "xrdrimpl: unknown error");
}

TEST(XmlTree, NamespacesInScopeAreReadByPositionDuringTheStartEvent) {
  struct Client : XmlClient {
    explicit Client(XmlReader& r) : reader(r) {}
    int StartElement(std::string_view, std::string_view, std::string_view, bool) override {
      std::string_view prefix, uri;
      for (size_t n = 1; n <= reader.NamespaceCount(); ++n) {
        reader.Namespace(n, prefix, uri);
        seen += std::string(prefix) + "=" + std::string(uri) + ";";
      }
      seen += std::to_string(reader.Namespace(reader.NamespaceCount() + 1, prefix, uri)) + "|";
      return 0;
    }
    XmlReader& reader;
    std::string seen;
  };
  XmlReader reader;
  Client client(reader);
  reader.SetClient(&client);
  ASSERT_EQ(Read(reader, "<r xmlns='d' xmlns:a='1'><x xmlns:b='2'/></r>"), 0);
  EXPECT_EQ(client.seen, "=d;a=1;103|=d;a=1;b=2;103|");
}

}  // namespace
}  // namespace rssvane
