#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "xml/XmlReader.h"

namespace rssvane {
namespace {

// Writes every event as one line, so that a test can compare the whole order.
class Recorder : public XmlClient {
 public:
  explicit Recorder(XmlReader& reader) : reader_(reader) {}
  int Characters(std::string_view t) override { return Log("chars[" + std::string(t) + "]"); }
  int IgnorableWhiteSpace(std::string_view t) override { return Log("ws[" + std::to_string(t.size()) + "]"); }
  int StartElement(std::string_view uri, std::string_view local, std::string_view qname, bool empty) override {
    std::string line = "start " + std::string(uri) + "|" + std::string(local) + "|" + std::string(qname);
    if (empty) line += " empty";
    for (size_t n = 1; n <= reader_.AttributeCount(); ++n) {
      GrowString name;
      std::string_view value;
      reader_.AttributeQualifiedName(n, name);
      reader_.AttributeValue(n, value);
      line += " " + std::string(name.View()) + "=" + std::string(value);
    }
    return Log(line);
  }
  int EndElement(std::string_view uri, std::string_view local, std::string_view qname, bool empty) override {
    return Log("end " + std::string(uri) + "|" + std::string(local) + "|" + std::string(qname) + (empty ? " empty" : ""));
  }
  int StartPrefixMapping(std::string_view p, std::string_view u) override {
    return Log("map " + std::string(p) + "=" + std::string(u));
  }
  int EndPrefixMapping(std::string_view p) override { return Log("unmap " + std::string(p)); }
  int Comment(std::string_view t) override { return Log("comment[" + std::string(t) + "]"); }
  int ProcessingInstruction(std::string_view t) override { return Log("pi[" + std::string(t) + "]"); }
  int Declaration(std::string_view t) override { return Log("decl[" + std::string(t) + "]"); }
  int MarkedSection(std::string_view k, std::string_view c) override {
    return Log("section " + std::string(k) + "[" + std::string(c) + "]");
  }
  int Entity(std::string_view name, GrowString& result) override {
    if (name == "replace") result.Assign("R");
    return Log("entity " + std::string(name) + "=" + std::string(result.View()));
  }
  int Warning(int code, std::string_view message) override {
    return Log("warning " + std::to_string(code) + " " + std::string(message));
  }

  std::vector<std::string> events;
  int failAt = -1;

 private:
  int Log(std::string line) {
    events.push_back(std::move(line));
    return static_cast<int>(events.size()) - 1 == failAt ? 999 : 0;
  }
  XmlReader& reader_;
};

struct Parsed {
  int code;
  XmlReader reader;
};

// Reads text in tree mode, one call per byte when byByte, and selects path.
int ReadTree(XmlReader& reader, std::string_view text, bool byByte = false) {
  reader.SetBuildTree(true);
  reader.Reset();
  int rc = 0;
  if (byByte) {
    for (char c : text) {
      if ((rc = reader.Feed(c))) return rc;
    }
  } else {
    rc = reader.Feed(text.data(), text.size());
  }
  return rc ? rc : reader.Finish();
}

std::string TextAt(XmlReader& reader, std::string_view path) {
  if (int rc = reader.Tree().Select(path)) return "error " + std::to_string(rc);
  return std::string(reader.Tree().Text(reader.Tree().Current()));
}

TEST(XmlReader, ResolvesThePredefinedEntitiesAndCharacterReferencesButKeepsOthersAsWritten) {
  XmlReader reader;
  ASSERT_EQ(ReadTree(reader, "<r><a>a &lt; b &amp; c</a><b>&#65;&#x42;</b><c>&#300; &foo; &#x100;x</c>"
                             "<d>&apos;&quot;&gt; &bar</d><e>&#0;&#xD800;&#x110000;&#4294967361;&#x;</e>"
                             "<f t='&#233;&#8217;&#x2014;&#x1F600;'/></r>"),
            0);
  EXPECT_EQ(TextAt(reader, "/r/a"), "a < b & c");
  EXPECT_EQ(TextAt(reader, "/r/b"), "AB");
  // In the default narrow encoding, UTF-8, a reference gives its character's bytes.
  EXPECT_EQ(TextAt(reader, "/r/c"), "\xC4\xAC &foo; \xC4\x80x");
  EXPECT_EQ(TextAt(reader, "/r/d"), "'\"> &bar");
  // No character, half of one, past Unicode, past 32 bits (65 when wrapped), no digits.
  EXPECT_EQ(TextAt(reader, "/r/e"), "&#0;&#xD800;&#x110000;&#4294967361;&#x;");
  std::string_view value;
  ASSERT_EQ(reader.Tree().Select("/r/f"), 0);
  ASSERT_EQ(reader.AttributeValue("t", value), 0);
  EXPECT_EQ(value, "\xC3\xA9\xE2\x80\x99\xE2\x80\x94\xF0\x9F\x98\x80");

  // A single-byte code page gives the character's one byte where it has the
  // character, and keeps the reference where it has not.
  // Whole or byte by byte, with text between the references and one left
  // without its semicolon.
  reader.SetCodePage(1252);
  for (bool byByte : {false, true}) {
    ASSERT_EQ(ReadTree(reader, "<r>&#233;&#8217;&#x4E00;&#65;</r>", byByte), 0);
    EXPECT_EQ(TextAt(reader, "/"), "\xE9\x92&#x4E00;A");
    ASSERT_EQ(ReadTree(reader, "<r>at &#x4E00; and &#1076 &amp; &#233;&nbsp;&#x4E01;end</r>", byByte), 0);
    EXPECT_EQ(TextAt(reader, "/"), "at &#x4E00; and &#1076 & \xE9&nbsp;&#x4E01;end");
  }
  reader.SetCodePage(932);
  ASSERT_EQ(ReadTree(reader, "<r>&#x65E5;&#233;</r>"), 0);
  EXPECT_EQ(TextAt(reader, "/"), "\x93\xFA&#233;");
}

TEST(XmlReader, TrimsWhiteSpaceAtTheEndsOfEachTextRunButKeepsInnerWhiteSpace) {
  for (bool byByte : {false, true}) {
    XmlReader reader;
    ASSERT_EQ(ReadTree(reader, "<r><a>  text  </a><b>a\n  b</b><c>\n  x \n y  \n</c><d>  A &amp; B  </d></r>", byByte), 0);
    EXPECT_EQ(TextAt(reader, "/r/a"), "text");
    EXPECT_EQ(TextAt(reader, "/r/b"), "a\n  b");
    EXPECT_EQ(TextAt(reader, "/r/c"), "x \n y");
    EXPECT_EQ(TextAt(reader, "/r/d"), "A & B");
  }
}

TEST(XmlReader, ElementTextLeavesOutTheTextOfChildrenAndJoinsItsOwnTrimmedRuns) {
  XmlReader reader;
  ASSERT_EQ(ReadTree(reader, "<r>one<x>inner</x>two <y/> three</r>"), 0);
  // Each run loses its white space at both ends, so the runs join directly.
  EXPECT_EQ(TextAt(reader, "/"), "onetwothree");
  EXPECT_EQ(TextAt(reader, "/r/x"), "inner");
}

TEST(XmlReader, EventsArriveInDocumentOrderWithNamespacesResolved) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  const char* text =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"<>\">]><!-- note -->"
      "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\" a='1'><p:x p:b=\"2\">t&amp;u</p:x><y/></r>";
  ASSERT_EQ(reader.Feed(text), 0);
  ASSERT_EQ(reader.Finish(), 0);
  std::vector<std::string> expected = {
      "pi[xml version=\"1.0\"]",
      "decl[DOCTYPE r [<!ENTITY e \"<>\">]]",
      "comment[ note ]",
      "map =urn:d",
      "map p=urn:p",
      "start urn:d|r|r a=1",
      "start urn:p|x|p:x p:b=2",
      "chars[t]",
      "entity amp=&amp;",
      "chars[&amp;u]",
      "end urn:p|x|p:x",
      "start urn:d|y|y empty",
      "end urn:d|y|y empty",
      "end urn:d|r|r",
      "unmap p",
      "unmap ",
  };
  EXPECT_EQ(recorder.events, expected);
}

TEST(XmlReader, TheInternalSubsetEndsAtItsOwnBracketNotAtOneInsideALiteralCommentOrInstruction) {
  const std::string subset = "DOCTYPE r [<!ENTITY rsqb \"]\"><!ENTITY q ']>'><!-- isn't ] --><?pi ]?>]";
  for (bool byByte : {false, true}) {
    XmlReader reader;
    Recorder recorder(reader);
    reader.SetClient(&recorder);
    ASSERT_EQ(ReadTree(reader, "<!" + subset + "><r>t</r>", byByte), 0);
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events[0], "decl[" + subset + "]");
    EXPECT_EQ(TextAt(reader, "/r"), "t");
  }
}

TEST(XmlReader, EntityHandlerMayReplaceTheResult) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  ASSERT_EQ(ReadTree(reader, "<r a=\"&replace;\">x&replace;y</r>"), 0);
  EXPECT_EQ(TextAt(reader, "/"), "xRy");
  std::string_view value;
  EXPECT_EQ(reader.AttributeValue("a", value), 0);
  EXPECT_EQ(value, "R");
}

TEST(XmlReader, AClientDecliningTextPiecesGetsEachElementsWholeTextAtItsEnd) {
  // Logs each element's text at its end, and wants no pieces.
  struct WholeText : Recorder {
    explicit WholeText(XmlReader& r) : Recorder(r), reader(r) {}
    bool WantsTextPieces() const override { return false; }
    int EndElement(std::string_view uri, std::string_view local, std::string_view qname, bool empty) override {
      Recorder::EndElement(uri, local, qname, empty);
      events.push_back("text[" + std::string(reader.ElementText()) + "]");
      return 0;
    }
    XmlReader& reader;
  };
  const std::string text =
      "<r>\n  <a>x &lt; y &amp;&gt;&apos;&quot; &#65;&#x4E00; &foo; &amp</a>\n  <b k=\"1&amp;2\">"
      "  <![CDATA[c]]>  </b>\n  <c/>\n</r>";
  const std::vector<std::string> expected = {
      "start |r|r",
      "start |a|a",
      "end |a|a",
      "text[x < y &>'\" A\xE4\xB8\x80 &foo; &]",
      "start |b|b k=1&2",
      "section CDATA[c]",
      "end |b|b",
      "text[c]",
      "start |c|c empty",
      "end |c|c empty",
      "text[]",
      "end |r|r",
      "text[]",
  };
  for (bool byByte : {false, true}) {
    XmlReader reader;
    WholeText client(reader);
    reader.SetClient(&client);
    reader.SetKeepTree(false);
    ASSERT_EQ(ReadTree(reader, text, byByte), 0) << byByte;
    EXPECT_EQ(client.events, expected) << byByte;
  }
}

TEST(XmlReader, StartAttributeGivesEachAttributeAsWrittenAndEmptyViewsOutsideItsRange) {
  // Logs what StartAttribute gives at each start and end, from 0 to one past
  // the count, into views that held something before.
  struct Attributes : XmlClient {
    explicit Attributes(XmlReader& r) : reader(r) {}
    int StartElement(std::string_view, std::string_view, std::string_view, bool) override { return Log("start"); }
    int EndElement(std::string_view, std::string_view, std::string_view, bool) override { return Log("end"); }
    int Log(const char* event) {
      size_t count = reader.AttributeCount();
      for (size_t n = 0; n <= count + 1; ++n) {
        std::string_view name = "stale", value = "stale";
        int rc = reader.StartAttribute(n, name, value);
        lines.push_back(std::string(event) + " " + std::to_string(rc) + " " + std::string(name) + "=" +
                        std::string(value));
      }
      return 0;
    }
    XmlReader& reader;
    std::vector<std::string> lines;
  };
  XmlReader reader;
  Attributes client(reader);
  reader.SetClient(&client);
  ASSERT_EQ(ReadTree(reader, "<r a='1' b:c=\"x&amp;y\" xmlns:b='u'/>"), 0);
  const std::vector<std::string> expected = {
      "start 101 =", "start 0 a=1", "start 0 b:c=x&y", "start 101 =",
      "end 102 =",   "end 102 =",   "end 102 =",       "end 102 =",
  };
  EXPECT_EQ(client.lines, expected);
}

TEST(XmlReader, AHandlerCodeEndsTheDocumentWithThatCode) {
  XmlReader reader;
  Recorder recorder(reader);
  recorder.failAt = 1;
  reader.SetClient(&recorder);
  EXPECT_EQ(reader.Feed("<a><b/></a>"), 999);
  EXPECT_EQ(reader.Feed("<c/>"), 999);
  EXPECT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(reader.LastErrorText(), "xrdrimpl: unknown error");
}

TEST(XmlReader, CrossedEndTagsFailWithUnbalancedAtTheFirstWrongOne) {
  XmlReader reader;
  EXPECT_EQ(reader.Feed("<a><b></a>"), kErrXmlUnbalanced);
  EXPECT_EQ(reader.LastErrorText(), "Unbalanced element tag.");
  reader.Reset();
  EXPECT_EQ(reader.Feed("</a>"), kErrXmlUnbalanced);
  // Lenient mode does not check.
  reader.SetXmlMode(false);
  reader.Reset();
  EXPECT_EQ(reader.Feed("<a><b></a></b>"), 0);
}

TEST(XmlReader, UnquotedAndBareAttributes) {
  XmlReader reader;
  ASSERT_EQ(ReadTree(reader, "<r><a x=1 y>t</a><b x=1/><c y /><d z='' w=\"&lt;/>\"/></r>"), 0);
  XmlTree& tree = reader.Tree();
  ASSERT_EQ(tree.Select("/r/a"), 0);
  std::string_view value;
  EXPECT_EQ(reader.AttributeCount(), 2u);
  EXPECT_EQ(reader.AttributeValue("x", value), 0);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(reader.AttributeValue("y", value), 0);
  EXPECT_EQ(value, "");
  ASSERT_EQ(tree.Select("/r/b"), 0);
  EXPECT_EQ(reader.AttributeValue("x", value), 0);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(tree.StoredChildCount(tree.Current()), -1);
  EXPECT_EQ(tree.ChildCount(tree.Current()), 0u);
  EXPECT_EQ(tree.Text(tree.Current()), "");
  ASSERT_EQ(tree.Select("/r/c"), 0);
  EXPECT_EQ(reader.AttributeCount(), 1u);
  EXPECT_EQ(tree.StoredChildCount(tree.Current()), -1);
  ASSERT_EQ(tree.Select("/r/d"), 0);
  EXPECT_EQ(reader.AttributeValue("w", value), 0);
  EXPECT_EQ(value, "</>");
  EXPECT_EQ(reader.AttributeValue("nope", value), kErrXmlNoSuchAttribute);
  EXPECT_EQ(tree.ChildCount(tree.Root()), 4u);
}

TEST(XmlReader, MarkupErrorsInXmlModeAreForgivenInLenientMode) {
  for (const char* text : {"<a x=>", "<a></a junk>", "<>", "< a/>"}) {
    XmlReader reader;
    EXPECT_EQ(reader.Feed(text), kErrXmlInvalidMarkup) << text;
    EXPECT_EQ(reader.LastErrorText(), "Invalid XML markup.");
    reader.SetXmlMode(false);
    reader.Reset();
    EXPECT_EQ(reader.Feed(text), 0) << text;
  }
}

TEST(XmlReader, PrefixesAreFoundAnywhereInANameWhetherReadWholeOrByteByByte) {
  // The ":" early, past the first 16 bytes of the name, and in the last
  // bytes of the input; byte by byte every name goes through the states.
  const std::string longPrefix = "averyveryverylongprefix";
  const std::string declared = "<r xmlns:p='urn:p' xmlns:" + longPrefix + "='urn:l'><" + longPrefix + ":e " +
                               longPrefix + ":a='1' p:b='2' c='3'/><p:f/></r>";
  const std::pair<std::string, int> cases[] = {
      {declared, 0},
      {"<" + longPrefix + ":e/>", kErrXmlElementPrefix},
      {"<r " + longPrefix + ":a='1'></r>", kErrXmlAttributePrefix},
      {"<r><x:y/></r>", kErrXmlElementPrefix},
      {"<r b:c='1'/>", kErrXmlAttributePrefix},
  };
  for (const auto& [text, code] : cases) {
    XmlReader whole, byByte;
    EXPECT_EQ(ReadTree(whole, text), code) << text;
    EXPECT_EQ(ReadTree(byByte, text, true), code) << text;
    if (code == 0) {
      EXPECT_EQ(whole.Tree().Buffer(), byByte.Tree().Buffer()) << text;
    }
  }
  XmlReader reader;
  ASSERT_EQ(ReadTree(reader, declared), 0);
  const XmlTree& tree = reader.Tree();
  uint32_t e = tree.FirstChild(tree.Root());
  EXPECT_EQ(tree.NamespaceUri(e), "urn:l");
  EXPECT_EQ(tree.AttributeNamespaceUri(tree.Attribute(e, 1)), "urn:l");
  EXPECT_EQ(tree.AttributeNamespaceUri(tree.Attribute(e, 2)), "urn:p");
  EXPECT_EQ(tree.AttributeNamespaceUri(tree.Attribute(e, 3)), "");
}

TEST(XmlReader, UnknownPrefixesFailUnlessIgnoredWithAWarning) {
  XmlReader reader;
  EXPECT_EQ(ReadTree(reader, "<x:a/>"), kErrXmlElementPrefix);
  EXPECT_EQ(reader.LastErrorText(), "Unknown element prefix (can't find namespace).");
  EXPECT_EQ(ReadTree(reader, "<a y:b='1'/>"), kErrXmlAttributePrefix);
  EXPECT_EQ(reader.LastErrorText(), "Unknown attribute prefix (can't find namespace).");

  Recorder recorder(reader);
  reader.SetClient(&recorder);
  reader.SetIgnoreBadElementPrefixes(true);
  reader.SetIgnoreBadAttributePrefixes(true);
  ASSERT_EQ(ReadTree(reader, "<x:a y:b='1'/>"), 0);
  EXPECT_EQ(recorder.events[0], "warning 202 Unknown element prefix (can't find namespace).");
  XmlTree& tree = reader.Tree();
  EXPECT_EQ(tree.LocalName(tree.Root()), "x:a");
  EXPECT_EQ(tree.NamespaceUri(tree.Root()), "");
  uint32_t attribute = tree.Attribute(tree.Root(), 1);
  EXPECT_EQ(tree.AttributeLocalName(attribute), "y:b");
  EXPECT_EQ(tree.AttributePrefix(attribute), "");
}

TEST(XmlReader, TheXmlPrefixNeedsNoDeclarationOnAttributesOrElements) {
  XmlReader reader;
  ASSERT_EQ(ReadTree(reader, "<a xml:lang='en'><xml:b/></a>"), 0);
  XmlTree& tree = reader.Tree();
  uint32_t attribute = tree.Attribute(tree.Root(), 1);
  EXPECT_EQ(tree.AttributeNamespaceUri(attribute), "http://www.w3.org/XML/1998/namespace");
  GrowString name;
  tree.AttributeQualifiedName(attribute, name);
  EXPECT_EQ(name.View(), "xml:lang");
  ASSERT_EQ(tree.Select("/a/xml:b"), 0);
  EXPECT_EQ(tree.NamespaceUri(tree.Current()), "http://www.w3.org/XML/1998/namespace");
}

// The reader's own attribute accessors split a name alike during the start
// event (from the pending attributes) and after the read (from the tree).
TEST(XmlReader, AttributePrefixAndLocalNameAgreeDuringTheStartEventAndAfterTheRead) {
  XmlReader reader;
  auto split = [&reader] {
    std::string out;
    for (size_t n = 1; n <= reader.AttributeCount(); ++n) {
      std::string_view prefix, local;
      if (reader.AttributePrefix(n, prefix) || reader.AttributeLocalName(n, local)) return out + "error";
      out += std::string(prefix) + "|" + std::string(local) + " ";
    }
    return out;
  };
  struct AtStart : XmlClient {
    std::function<std::string()> look;
    std::string seen;
    int StartElement(std::string_view, std::string_view, std::string_view, bool) override {
      seen = look();
      return 0;
    }
  } atStart;
  atStart.look = split;
  reader.SetClient(&atStart);
  ASSERT_EQ(ReadTree(reader, "<a xmlns:p='u' p:b='1' c='2'/>"), 0);
  EXPECT_EQ(atStart.seen, "p|b |c ");
  EXPECT_EQ(split(), "p|b |c ");
}

TEST(XmlReader, NamespacesGoOutOfScopeWithTheirElement) {
  XmlReader reader;
  EXPECT_EQ(ReadTree(reader, "<r><a xmlns:p='u'><p:b/></a><p:c/></r>"), kErrXmlElementPrefix);
  ASSERT_EQ(ReadTree(reader, "<r xmlns:p='u1'><a xmlns:p='u2'><p:b/></a><p:c/></r>"), 0);
  XmlTree& tree = reader.Tree();
  ASSERT_EQ(tree.Select("/r/a/b"), 0);
  EXPECT_EQ(tree.NamespaceUri(tree.Current()), "u2");
  ASSERT_EQ(tree.Select("/r/c"), 0);
  EXPECT_EQ(tree.NamespaceUri(tree.Current()), "u1");
  EXPECT_EQ(reader.NamespaceCount(), 0u);
  // Default namespaces: the innermost one holds, and the one before it comes
  // back when it goes out of scope, whatever prefixes are declared between.
  ASSERT_EQ(ReadTree(reader, "<r xmlns='d1'><a xmlns:q='x' xmlns='d2'><b/></a><c xmlns:q='y'><e/></c>"
                             "<f xmlns=''><g/></f><h/></r>"),
            0);
  for (auto [path, expected] : {std::pair{"/r/a/b", "d2"}, {"/r/c/e", "d1"}, {"/r/f/g", ""}, {"/r/h", "d1"}}) {
    ASSERT_EQ(tree.Select(path), 0) << path;
    EXPECT_EQ(tree.NamespaceUri(tree.Current()), expected) << path;
  }
  std::string_view prefix, uri;
  EXPECT_EQ(reader.Namespace(1, prefix, uri), kErrXmlNoNamespaces);
}

TEST(XmlReader, CdataIsKeptUnchangedAndGetsASpaceOnlyAfterDroppedWhiteSpace) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  ASSERT_EQ(ReadTree(reader, "<r><a><![CDATA[<b>&amp;]]]]></a><c>word <![CDATA[x]]></c><d>\n  <![CDATA[y]]></d>"
                             "<e><![ INCLUDE [z]]></e></r>"),
            0);
  EXPECT_EQ(TextAt(reader, "/r/a"), "<b>&amp;]]");
  EXPECT_EQ(TextAt(reader, "/r/c"), "word x");
  EXPECT_EQ(TextAt(reader, "/r/d"), "y");
  EXPECT_EQ(TextAt(reader, "/r/e"), "");
  EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "section INCLUDE[z]"), recorder.events.end());
}

TEST(XmlReader, WithoutATreeEntitiesStayAsWritten) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  ASSERT_EQ(reader.Feed("<a>x &lt; y</a>"), 0);
  std::vector<std::string> expected = {"start |a|a", "chars[x ]", "entity lt=&lt;", "chars[&lt; y]", "end |a|a"};
  EXPECT_EQ(recorder.events, expected);
}

TEST(XmlReader, FlushOnNewlineDeliversTextLineByLine) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  ASSERT_EQ(reader.Feed("<a>one\ntwo  \n</a>"), 0);
  std::vector<std::string> expected = {"start |a|a", "chars[one]", "chars[\ntwo]", "ws[3]", "end |a|a"};
  EXPECT_EQ(recorder.events, expected);
  reader.SetFlushOnNewline(false);
  reader.Reset();
  recorder.events.clear();
  ASSERT_EQ(reader.Feed("<a>one\ntwo</a>"), 0);
  EXPECT_EQ(recorder.events[1], "chars[one\ntwo]");
}

TEST(XmlReader, LenientModeKeepsStrayMarkupAndScriptBodiesAsText) {
  XmlReader reader;
  reader.SetXmlMode(false);
  ASSERT_EQ(ReadTree(reader, "<html><p>a < b</p><script>if (a<b && c) x();</SCRIPT><p>x</html>"), 0);
  EXPECT_EQ(TextAt(reader, "/html/p"), "a< b");
  EXPECT_EQ(TextAt(reader, "/html/script"), "if (a<b && c) x();");
  EXPECT_EQ(TextAt(reader, "/html/[3]"), "x");
}

TEST(XmlReader, MultiByteModeTakesTheSecondByteWhateverItIs) {
  XmlReader reader;
  reader.SetMultiByte(true);
  // 0x83 0x3C is one double-byte character whose second byte is "<".
  ASSERT_EQ(ReadTree(reader, "<a>\x83<\x83&x</a>"), 0);
  EXPECT_EQ(TextAt(reader, "/"), "\x83<\x83&x");
  // Without it the "<" opens a tag, which is never closed.
  reader.SetMultiByte(false);
  EXPECT_EQ(ReadTree(reader, "<a>\x83<\x83&x</a>"), kErrXmlUnclosedElements);
}

TEST(XmlReader, EveryByteOfAMultiByteCharacterIsANameByte) {
  XmlReader reader;
  for (bool byByte : {false, true}) {
    ASSERT_EQ(ReadTree(reader, "<a\xC3\xA9 \xC3\xA9t\xC3\xA9='1'><\xC3\xA9l\xC3\xA8ve/></a\xC3\xA9>", byByte), 0);
    XmlTree& tree = reader.Tree();
    EXPECT_EQ(tree.LocalName(tree.Root()), "a\xC3\xA9");
    EXPECT_EQ(tree.AttributeLocalName(tree.Attribute(tree.Root(), 1)), "\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(tree.Select("/a\xC3\xA9/\xC3\xA9l\xC3\xA8ve"), 0);
  }
  // In multi-byte mode a lead byte takes the next byte into the name,
  // whatever it is: 0x95 0x5C is one character whose second byte is "\".
  reader.SetMultiByte(true);
  for (bool byByte : {false, true}) {
    ASSERT_EQ(ReadTree(reader, "<\x95\\>t</\x95\\>", byByte), 0);
    EXPECT_EQ(reader.Tree().LocalName(reader.Tree().Root()), "\x95\\");
    EXPECT_EQ(TextAt(reader, "/"), "t");
  }
}

// Long names are passed many bytes at a time: an extra name character deep
// inside one must still belong to it.
TEST(XmlReader, ExtraNameCharactersBelongToNamesOfAnyLength) {
  XmlReader reader;
  ASSERT_EQ(reader.SetExtraNameChars("!"), 0);
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  const std::string name = "a_rather_long_element!name_with_more_after_it";
  const std::string attribute = "an_equally_long_attribute!name_to_read_past";
  std::string text = "<" + name + " " + attribute + "='v'>t</" + name + ">";
  ASSERT_EQ(ReadTree(reader, text), 0);
  ASSERT_EQ(recorder.events.size(), 3u);
  EXPECT_EQ(recorder.events[0], "start |" + name + "|" + name + " " + attribute + "=v");
  EXPECT_EQ(recorder.events[2], "end |" + name + "|" + name);
}

TEST(XmlReader, NestingDeclarationsAndAttributesAreLimitedTo128) {
  XmlReader reader;
  std::string deep;
  for (int i = 0; i < 128; ++i) deep += "<a>";
  EXPECT_EQ(reader.Feed(deep.c_str()), 0);
  EXPECT_EQ(reader.Feed("<a>"), kErrXmlOutOfMemory);
  EXPECT_EQ(reader.LastErrorText(), "Out of memory.");

  std::string attributes = "<a";
  for (int i = 0; i < 128; ++i) attributes += " x" + std::to_string(i) + "=''";
  reader.Reset();
  EXPECT_EQ(reader.Feed((attributes + "/>").c_str()), 0);
  reader.Reset();
  EXPECT_EQ(reader.Feed((attributes + " y=''/>").c_str()), kErrXmlOutOfMemory);

  std::string declarations = "<a";
  for (int i = 0; i < 129; ++i) declarations += " xmlns:p" + std::to_string(i) + "='u'";
  reader.Reset();
  EXPECT_EQ(reader.Feed((declarations + "/>").c_str()), kErrXmlOutOfMemory);
}

TEST(XmlReader, FinishReportsDocumentsThatStopTooSoon) {
  XmlReader reader;
  EXPECT_EQ(ReadTree(reader, "<a><b></b>"), kErrXmlUnclosedElements);
  EXPECT_EQ(reader.LastErrorText(), "Document contains unbalanced elements.");
  EXPECT_EQ(ReadTree(reader, "<a></a><!-- open"), kErrXmlEndState);
  EXPECT_EQ(reader.LastErrorText(), "Invalid end state for parser.");
  EXPECT_EQ(ReadTree(reader, ""), 0);
  EXPECT_EQ(ReadTree(reader, "<a/>  trailing"), 0);
}

// Tokens stay views of the input while a call lasts and are copied when it
// returns: cutting the input anywhere must not change what is read.
TEST(XmlReader, AnyCutOfTheInputGivesTheSameTreeAsOneCall) {
  const std::string text =
      "<?xml version='1.0'?>\n<rss version=\"2.0\" xmlns:dc='urn:dc'>\n <channel>\n  <title>A &amp; B</title>\n"
      "  <!-- c -- > -->\n  <item><dc:creator a=\"x&quot;y\" b='2' c=3>Me\n and you</dc:creator>"
      "<description><![CDATA[<p>hi]]]></description><caf\xC3\xA9 x=\"1\"/>"
      "<!--->-- >-->-><content><![CDATA[>]>]]x]] >]]]]]></content></item>\n </channel>\n</rss>\n";
  XmlReader whole;
  ASSERT_EQ(ReadTree(whole, text), 0);
  EXPECT_EQ(TextAt(whole, "/rss/channel/item/description"), "<p>hi]");
  EXPECT_EQ(TextAt(whole, "/rss/channel/item/content"), ">]>]]x]] >]]]");
  EXPECT_EQ(TextAt(whole, "/rss/channel/item/dc:creator"), "Me\n and you");
  XmlReader bytes;
  ASSERT_EQ(ReadTree(bytes, text, true), 0);
  EXPECT_EQ(whole.Tree().Buffer(), bytes.Tree().Buffer());
  for (size_t cut = 1; cut < text.size(); ++cut) {
    XmlReader pieces;
    pieces.SetBuildTree(true);
    pieces.Reset();
    // Each piece comes from a buffer that is written over once it was fed,
    // as a network read's would be.
    std::string buffer = text.substr(0, cut);
    ASSERT_EQ(pieces.Feed(buffer.data(), buffer.size()), 0) << cut;
    buffer.assign(buffer.size(), '#');
    buffer = text.substr(cut);
    ASSERT_EQ(pieces.Feed(buffer.data(), buffer.size()), 0) << cut;
    ASSERT_EQ(pieces.Finish(), 0) << cut;
    ASSERT_EQ(pieces.Tree().Buffer(), whole.Tree().Buffer()) << cut;
  }
}

TEST(XmlReader, RawByteClientSeesEveryByte) {
  struct Counter : XmlClient {
    bool WantsRawBytes() const override { return true; }
    int RawByte(char c) override {
      seen += c;
      return 0;
    }
    std::string seen;
  } counter;
  XmlReader reader;
  reader.SetClient(&counter);
  ASSERT_EQ(reader.Feed("<a>x</a>"), 0);
  EXPECT_EQ(counter.seen, "<a>x</a>");
  EXPECT_EQ(reader.BytesFed(), 8u);
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

TEST(XmlReader, LongRunsOfLineFeedsKeepTheTextAroundThem) {
  std::string text = "<a>x";
  text += std::string(200000, '\n');
  text += "y\n \n</a>";
  XmlReader reader;
  reader.SetBuildTree(true);
  ASSERT_EQ(reader.Feed(text.data(), text.size()), 0);
  ASSERT_EQ(reader.Finish(), 0);
  EXPECT_EQ(reader.Tree().Text(reader.Tree().Root()), "x" + std::string(200000, '\n') + "y");
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

TEST(XmlReader, InstructionsEndAtQuestionMarkInXmlModeButAtAnyGreaterThanInLenientMode) {
  XmlReader reader;
  Recorder recorder(reader);
  reader.SetClient(&recorder);
  ASSERT_EQ(reader.Feed("<?a b>c?><r/>"), 0);
  EXPECT_EQ(recorder.events[0], "pi[a b>c]");
  reader.SetXmlMode(false);
  reader.Reset();
  recorder.events.clear();
  ASSERT_EQ(reader.Feed("<?a b>c?><r></r junk>tail"), 0);
  EXPECT_EQ(recorder.events[0], "pi[a ]");
  EXPECT_EQ(recorder.events[1], "chars[c?>]");
  EXPECT_EQ(recorder.events.back(), "end |r|r");
  ASSERT_EQ(reader.Finish(), 0);
  EXPECT_EQ(recorder.events.back(), "chars[tail]");
}

}  // namespace
}  // namespace rssvane
