#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/Codes.h"
#include "feed/DocumentDecoder.h"
#include "feed/FeedEngine.h"

namespace rssvane {
namespace {

using namespace std::string_literals;

// UTF-16 code units of ASCII and Latin-1 text, in either byte order.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string Decoded(std::string_view bytes, std::string_view charset = {}, int codePage = 65001) {
  DocumentDecoder decoder;
  int rc = decoder.Decode(bytes, charset, codePage);
  EXPECT_EQ(rc, 0) << decoder.Message();
  return std::string(decoder.Text());
}

std::string Failure(std::string_view bytes, std::string_view charset = {}, int codePage = 65001,
                    int code = kErrDocumentEncoding) {
  DocumentDecoder decoder;
  EXPECT_EQ(decoder.Decode(bytes, charset, codePage), code);
  EXPECT_TRUE(decoder.Text().empty());
  return decoder.Message();
}

TEST(DocumentDecoder, TheMarkOrTheFirstCharactersWinOverTheDeclarationWhichWinsOverTheCharset) {
  // UTF-16 with a mark, and without one from its first character.
  std::u16string doc = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>Caf\u00e9 \u20ac</t>";
  std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>Caf\xc3\xa9 \xe2\x82\xac</t>";
  EXPECT_EQ(Decoded("\xff\xfe"s + Utf16(doc, false)), expected);
  EXPECT_EQ(Decoded(Utf16(doc, true)), expected);
  EXPECT_EQ(Decoded(Utf16(u"<t>\u00e9</t>", false)), "<t>\xc3\xa9</t>");
  // A mark that contradicts the declaration: the mark is right.
  EXPECT_EQ(Decoded("\xef\xbb\xbf<?xml version='1.0' encoding='ISO-8859-1'?><t>\xc3\xa9</t>"),
            "<?xml version='1.0' encoding='UTF-8'?><t>\xc3\xa9</t>");
  EXPECT_EQ(Decoded("\xfe\xff"s + Utf16(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t/>", true)),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t/>");
  // A mark written twice goes with the first.
  EXPECT_EQ(Decoded("\xff\xfe"s + Utf16(u"\ufeff<t/>", false)), "<t/>");
  // The charset counts only when the document declares nothing.
  EXPECT_EQ(Decoded("<t>\xe9</t>", "iso-8859-1"), "<t>\xc3\xa9</t>");
  EXPECT_EQ(Decoded("<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>\xc3\xa9</t>", "iso-8859-1"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>\xc3\xa9</t>");
  // UTF-8 that needs no change is not copied.
  std::string plain = "<?xml version=\"1.0\" encoding=\"utf-8\"?><t>\xc3\xa9</t>";
  DocumentDecoder decoder;
  ASSERT_EQ(decoder.Decode(plain, {}, 65001), 0);
  EXPECT_EQ(decoder.Text().data(), plain.data());
}

TEST(DocumentDecoder, Iso88591IsReadAsWindows1252AndNoByteIsInvalidInEither) {
  // The quotes, dash and euro of 0x80 to 0x9F; the five bytes windows-1252
  // leaves undefined keep their ISO-8859-1 meaning.
  for (const char* label : {"ISO-8859-1", "latin1", "windows-1252", "CP1252"}) {
    std::string doc = "<?xml version=\"1.0\" encoding=\""s + label + "\"?><t>\x93q\x94 \x96 \x80 \xe9\x81\x9d</t>";
    EXPECT_EQ(Decoded(doc),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>\xe2\x80\x9cq\xe2\x80\x9d \xe2\x80\x93 \xe2\x82\xac "
              "\xc3\xa9\xc2\x81\xc2\x9d</t>")
        << label;
  }
}

TEST(DocumentDecoder, AnEncodingOfOneByteACharacterIsReadWholeWhereverItsBytesFall) {
  // Each byte of KOI8-R stands for a character; ISO-8859-7 leaves some out.
  // A character is placed at, and a NUL or a byte that stands for nothing
  // after, every position of a text longer than a step of sixteen bytes.
  for (size_t i = 0; i <= 40; ++i) {
    std::string before(i, 'a'), after(40 - i, 'b');
    EXPECT_EQ(Decoded("<t>" + before + "\xe1" + after + "\xc1</t>", "KOI8-R"),
              "<t>" + before + "\xd0\x90" + after + "\xd0\xb0</t>")
        << i;
    EXPECT_EQ(Decoded("<t>" + before + "\0\xe1</t>"s, "ISO-8859-7"), "<t>" + before) << i;
    EXPECT_EQ(Failure("<t>\xe1" + before + "\xd2</t>", "ISO-8859-7"),
              "The document is not valid ISO-8859-7 at byte " + std::to_string(4 + i) + ".")
        << i;
  }
  // windows-1258 joins a letter with the accent that follows it, as its
  // converter reads it, not byte by byte.
  EXPECT_EQ(Decoded("<t>a\xec</t>", "windows-1258"), "<t>\xc3\xa1</t>");
}

TEST(DocumentDecoder, UnknownEncodingsLiesAndInvalidBytesFailWithWhatAndWhere) {
  EXPECT_EQ(Failure("<?xml version=\"1.0\" encoding=\"x-klingon\"?><t/>"), "Unknown document encoding \"x-klingon\".");
  // Only encoding names reach iconv, which would take "//" suffixes.
  EXPECT_EQ(Failure("<t/>", "UTF-8//IGNORE"), "Unknown document encoding \"UTF-8//IGNORE\".");
  EXPECT_EQ(Failure("<?xml version=\"1.0\" encoding=\"\"?><t/>"), "Unknown document encoding \"\".");
  // Declared UTF-8, written in ISO-8859-1.
  EXPECT_EQ(Failure("<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>Caf\xe9</t>"),
            "The document is not valid UTF-8 at byte 44.");
  EXPECT_EQ(Failure("<t>\xed\xa0\x80</t>"), "The document is not valid UTF-8 at byte 3.");  // a surrogate
  EXPECT_EQ(Failure("<t>\xc3"), "The document is not valid UTF-8 at byte 3.");
  // Overlong forms and what lies above U+10FFFF, after a run of ASCII.
  for (const char* bad : {"\xc0\xaf", "\xe0\x9f\xbf", "\xf0\x8f\xbf\xbf", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80"}) {
    EXPECT_EQ(Failure("<t>0123456789abcdef\xf4\x8f\xbf\xbf\xe0\xa0\x80" + std::string(bad) + "</t>"),
              "The document is not valid UTF-8 at byte 26.")
        << bad;
  }
  EXPECT_EQ(Failure("<t>\x81</t>", "us-ascii"), "The document is not valid us-ascii at byte 3.");
  // Declared in a form the declaration itself is not written in.
  EXPECT_EQ(Failure("<?xml version=\"1.0\" encoding=\"UTF-16\"?><t/>"),
            "The document declares the encoding \"UTF-16\" but is not written in it.");
  EXPECT_EQ(Failure("<?xml version=\"1.0\" encoding=\"EBCDIC-US\"?><t/>"),
            "The document declares the encoding \"EBCDIC-US\" but is not written in it.");
  // UTF-16 cut inside a character; the offset counts the mark.
  EXPECT_EQ(Failure("\xff\xfe"s + Utf16(u"<t/>", false) + "<"), "The document is not valid UTF-16LE at byte 10.");
  // A code page whose bytes for markup are not ASCII's.
  EXPECT_EQ(Failure("<t/>", {}, 1200, kErrCodePage), "Code page 1200 cannot hold an XML document.");
  EXPECT_EQ(Failure("<t/>", {}, 37, kErrCodePage), "Code page 37 cannot hold an XML document.");
}

TEST(DocumentDecoder, TheDocumentEndsAtItsFirstNulCharacter) {
  // What follows would be invalid, as it would be ignored without decoding.
  EXPECT_EQ(Decoded("\xff\xfe"s + Utf16(u"<t>a</t>", false) + "\0\0\xff"s), "<t>a</t>");
  EXPECT_EQ(Decoded("<t>a</t>\0\xff"s), "<t>a</t>");
  EXPECT_EQ(Decoded("<t>\xe9</t>\0\xff"s, "latin1", 28591),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>\xe9</t>");
}

// Text is checked many bytes at a time: a fault or a NUL must be found
// wherever it falls in such a step or across two, and whatever precedes it.
TEST(DocumentDecoder, AFaultOrANulIsFoundAtEveryPositionOfALongText) {
  std::string text = "<t>";
  while (text.size() < 96) text += "ab\xc3\xa9 \xe6\x9d\xb1 \xf0\x9f\x98\x80 0123456789abcdefgh";
  // A stray byte, leads cut short, a surrogate, overlong forms, a value
  // above U+10FFFF, a continuation without its lead.
  const char* faults[] = {"\xff", "\xc3", "\xe2\x82", "\xf0\x9f\x98", "\xed\xa0\x80", "\xe0\x80\x80",
                          "\xc0\xaf", "\xc1\xbf", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80"};
  auto atBoundary = [&](size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80; };
  for (size_t i = 3; i < text.size(); ++i) {
    if (!atBoundary(i)) continue;
    std::string where = "The document is not valid UTF-8 at byte " + std::to_string(i) + ".";
    for (const char* fault : faults) {
      EXPECT_EQ(Failure(text.substr(0, i) + fault + text.substr(i) + "</t>"), where) << i << " " << fault;
    }
    // Cut at the very end.
    EXPECT_EQ(Failure(text.substr(0, i) + "\xe2\x82"), where) << i;
    EXPECT_EQ(Decoded(text.substr(0, i) + "\0\xff"s + text.substr(i)), text.substr(0, i));
  }
  EXPECT_EQ(Decoded(text), text);
  // A character cut wherever a step ends, before a run of ASCII.
  for (size_t k = 0; k < 32; ++k) {
    for (const char* cut : {"\xc3", "\xe2\x82", "\xf0\x9f\x98"}) {
      EXPECT_EQ(Failure("<t>" + std::string(k, 'a') + cut + std::string(40, 'b') + "</t>"),
                "The document is not valid UTF-8 at byte " + std::to_string(3 + k) + ".")
          << k << " " << cut;
    }
  }
}

TEST(DocumentDecoder, WhatTheCodePageLacksBecomesAReferenceWhereOneCanStand) {
  std::string doc =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE t [<!ENTITY e \"\xe2\x82\xac\">]>\n"
      "<t a=\"\xe2\x82\xac\" b=\xe2\x82\xac>\xe2\x82\xac\xc3\xa9<![CDATA[x\xe2\x82\xacy]]><!-- \xe2\x82\xac -->"
      "<?pi \xe2\x82\xac?>\xf0\x9f\x98\x80</t>";
  EXPECT_EQ(Decoded(doc, {}, 28591),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE t [<!ENTITY e \"&#8364;\">]>\n"
            "<t a=\"&#8364;\" b=&#8364;>&#8364;\xe9<![CDATA[x]]>&#8364;<![CDATA[y]]><!-- &#8364; -->"
            "<?pi &#8364;?>&#128512;</t>");
  // Sections end only at their whole closing mark, whatever part of it comes first.
  EXPECT_EQ(Decoded("<t a='\"\xe2\x82\xac'><![CDATA[a]b]]c\xe2\x82\xac]]><!-- a-b \xe2\x82\xac --><?p a?b \xe2\x82\xac?></t>", {},
                    28591),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t a='\"&#8364;'><![CDATA[a]b]]c]]>&#8364;<![CDATA[]]>"
            "<!-- a-b &#8364; --><?p a?b &#8364;?></t>");
  // windows-1252 has the euro, and its registered name in the declaration.
  EXPECT_EQ(Decoded("<t>\xe2\x82\xac</t>", {}, 1252), "<?xml version=\"1.0\" encoding=\"windows-1252\"?><t>\x80</t>");
  // A code page of more than one byte a character goes through iconv, which
  // is given the document in pieces: a character cut by a piece's end is
  // read whole, either way.
  std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><t>";
  std::string padding(1023 - head.size(), 'a');
  std::string sjis = head + padding + "\x93\xfa</t>";
  std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><t>" + padding + "\xe6\x97\xa5</t>";
  EXPECT_EQ(Decoded(sjis), utf8);
  EXPECT_EQ(Decoded(utf8 + "<!-- \xc3\xa9 -->", {}, 932),
            "<?xml version=\"1.0\" encoding=\"CP932\"?><t>" + padding + "\x93\xfa</t><!-- &#233; -->");
  // No reference can stand in a name.
  EXPECT_EQ(Failure("<t>\n<caf\xc3\xa9/>\n<x\xe2\x82\xac/></t>", {}, 28591),
            "The character U+20AC in a name on line 3 of the document has no form in code page 28591.");
  EXPECT_EQ(Failure("<t a=\"1\" \xe2\x82\xac=\"2\"/>", {}, 28591),
            "The character U+20AC in a name on line 1 of the document has no form in code page 28591.");
}

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() / ("rssvane-decode-" + std::to_string(::getpid()) + "-" + name);
}

std::string Title(FeedEngine& engine) {
  std::string_view title;
  engine.GetProperty("channel/title", title);
  return std::string(title);
}

// The decoder rewrites the declaration of a document it converted where the
// document lies, and the feed keeps that document: whether the declaration
// grows, shrinks or is not there, the text read is the whole of it.
TEST(DocumentDecoder, AConvertedDocumentIsTheDocumentTextWhateverBecomesOfItsDeclaration) {
  std::string latin1 = "<rss><channel><title>", utf8 = latin1;
  for (int i = 0; i < 40; ++i) {
    latin1 += "Caf\xe9 ";
    utf8 += "Caf\xc3\xa9 ";
  }
  latin1 += "</title></channel></rss>";
  utf8 += "</title></channel></rss>";
  struct Case {
    std::string declaration, charset, expected;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"L1\"?>", "", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
      {"\n<?xml version='1.0'?>", "latin1", "\n<?xml version='1.0'?>"},
      {"", "latin1", ""},
  };
  FeedEngine engine;
  std::string answer;
  ASSERT_EQ(engine.Config("DecodeDocument=1", answer), 0);
  for (const Case& c : cases) {
    ASSERT_EQ(engine.ReadDocument(c.declaration + latin1, c.charset), 0) << c.declaration;
    std::string_view text;
    ASSERT_EQ(engine.DocumentText(text), 0);
    EXPECT_EQ(text, c.expected + utf8) << c.declaration;
    EXPECT_EQ(Title(engine).substr(0, 5), "Caf\xc3\xa9");
  }
  std::u16string utf16 = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel><title>";
  for (int i = 0; i < 40; ++i) utf16 += u"Caf\u00e9 ";
  utf16 += u"</title></channel></rss>";
  ASSERT_EQ(engine.ReadDocument("\xff\xfe"s + Utf16(utf16, false)), 0);
  std::string_view text;
  ASSERT_EQ(engine.DocumentText(text), 0);
  EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + utf8);
}

TEST(DocumentDecoder, TheEngineDecodesFilesAndDocumentsOnlyWithDecodeDocument) {
  FeedEngine engine;
  std::string answer;
  ASSERT_EQ(engine.Config("DecodeDocument", answer), 0);
  EXPECT_EQ(answer, "0");
  std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel><title>Caf\xe9</title></channel></rss>";
  std::filesystem::path path = TempFile("latin1.rss");
  std::ofstream(path, std::ios::binary) << latin1;

  // Off: the bytes as they stand.
  ASSERT_EQ(engine.ReadFile(path.string()), 0);
  EXPECT_EQ(Title(engine), "Caf\xe9");

  ASSERT_EQ(engine.Config("decodedocument=yes", answer), 0);
  engine.Reset();  // a host's choice, kept across Reset and reading
  ASSERT_EQ(engine.ReadFile(path.string()), 0);
  EXPECT_EQ(Title(engine), "Caf\xc3\xa9");
  std::string_view text;
  ASSERT_EQ(engine.DocumentText(text), 0);
  EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>Caf\xc3\xa9</title></channel></rss>");
  // A file that needs no change is the document text as it was read.
  std::string utf8(text);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << utf8 << '\0' << "\xff";
  ASSERT_EQ(engine.ReadFile(path.string()), 0);
  EXPECT_EQ(Title(engine), "Caf\xc3\xa9");
  std::string_view again;
  ASSERT_EQ(engine.DocumentText(again), 0);
  EXPECT_EQ(again, utf8);
  ASSERT_EQ(engine.Config("CodePage=1252", answer), 0);
  ASSERT_EQ(engine.ReadDocument("<rss><channel><title>\xe9 \x80</title></channel></rss>", "latin1"), 0);
  EXPECT_EQ(Title(engine), "\xe9 \x80");
  ASSERT_EQ(engine.Config("CodePage=28591", answer), 0);
  ASSERT_EQ(engine.ReadDocument("<rss><channel><title>\xc3\xa9 \xe2\x82\xac</title></channel></rss>"), 0);
  EXPECT_EQ(Title(engine), "\xe9 &#8364;");

  // A document that cannot be decoded fails as malformed XML does, and
  // changes nothing, as a file that cannot be opened does not.
  EXPECT_EQ(engine.ReadDocument("<rss><channel><title>\xff</title></channel></rss>"), kErrDocumentEncoding);
  EXPECT_EQ(engine.LastErrorText(), "The document is not valid UTF-8 at byte 21.");
  EXPECT_EQ(Title(engine), "\xe9 &#8364;");
  ASSERT_EQ(engine.ReadDocument("<rss><channel><title>T</title></channel></rss>"), 0);
  EXPECT_EQ(engine.ReadFile((path.string() + ".missing")), kErrFileOpen);
  EXPECT_EQ(Title(engine), "T");
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace rssvane
