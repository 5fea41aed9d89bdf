// Reads every document of the W3C XML conformance suite through the XML
// reader in each of its modes and through feed reading. The suite holds
// valid, invalid and broken documents in several encodings: each must end
// with 0 or one of the reader's codes, whole or fed one byte at a time, and
// the sanitizer build checks that nothing reads out of bounds on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "feed/FeedReader.h"
#include "xml/XmlReader.h"

namespace rssvane {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> SuiteDocuments() {
  std::vector<fs::path> files;
  fs::path root = VK_XMLCONF_DIR;
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    if (ext == ".xml" || ext == ".ent" || ext == ".dtd") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Walks the whole tree, touching every name, text and attribute.
size_t Walk(const XmlTree& tree, uint32_t element, int depth) {
  size_t count = 1;
  GrowString name;
  tree.QualifiedName(element, name);
  (void)tree.Text(element);
  for (uint32_t n = 1; n <= tree.AttributeCount(element); ++n) {
    uint32_t attribute = tree.Attribute(element, n);
    (void)tree.AttributeValue(attribute);
    (void)tree.AttributeNamespaceUri(attribute);
  }
  if (depth > 200) return count;
  for (uint32_t child = tree.FirstChild(element); child; child = tree.NextSibling(child)) {
    count += Walk(tree, child, depth + 1);
  }
  return count;
}

int ReadWith(XmlReader& reader, const std::string& text, bool byByte) {
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

TEST(XmlConformanceSuite, EveryDocumentEndsWithAReaderCodeInEveryMode) {
  std::vector<fs::path> files = SuiteDocuments();
  ASSERT_GT(files.size(), 3000u) << "the XML conformance suite is missing from " << VK_XMLCONF_DIR
                                 << "; scripts/setup.sh installs it";
  const std::set<int> codes = {0, 200, 201, 202, 203, 204, 205, 206};
  size_t wellFormed[16] = {};
  for (const fs::path& path : files) {
    std::string text = Slurp(path);
    for (int mode = 0; mode < 16; ++mode) {
      XmlReader whole, bytes;
      for (XmlReader* reader : {&whole, &bytes}) {
        reader->SetXmlMode(mode & 1);
        reader->SetBuildTree(mode & 2);
        reader->SetMultiByte(mode & 4);
        reader->SetIgnoreBadElementPrefixes(mode & 8);
        reader->SetIgnoreBadAttributePrefixes(mode & 8);
      }
      int rc = ReadWith(whole, text, false);
      ASSERT_TRUE(codes.count(rc)) << path << " mode " << mode << " code " << rc;
      // Bulk scanning must not change what the reader sees.
      if (text.size() < 20000) {
        ASSERT_EQ(ReadWith(bytes, text, true), rc) << path << " mode " << mode;
        if (rc == 0 && (mode & 2)) {
          ASSERT_EQ(bytes.Tree().Buffer(), whole.Tree().Buffer()) << path << " mode " << mode;
        }
      }
      if (rc == 0) {
        ++wellFormed[mode];
        if ((mode & 2) && whole.Tree().HasRoot()) Walk(whole.Tree(), whole.Tree().Root(), 0);
      }
    }
    FeedReader feedReader;
    FeedState feed;
    int rc = feedReader.ReadDocument(feed, text);
    ASSERT_TRUE(codes.count(rc) || rc == 210) << path << " feed code " << rc;
  }
  // Most of the suite is well-formed XML without namespaces in the way; a
  // reader that rejected most of it would be broken, not strict.
  EXPECT_GT(wellFormed[3], files.size() / 2);
  // Lenient mode rejects almost nothing.
  EXPECT_GT(wellFormed[2], files.size() * 9 / 10);
}

}  // namespace
}  // namespace rssvane
