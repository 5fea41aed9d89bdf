#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct DumpResult {
  int exitCode;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DumpResult Dump(const std::string& content, bool exists = true, const std::string& options = "") {
  char dir[] = "/tmp/rssdumpXXXXXX";
  std::string base = mkdtemp(dir);
  std::string feed = base + "/feed.rss";
  if (exists) std::ofstream(feed, std::ios::binary) << content;
  std::string command =
      std::string(RSSVANE_TOOL) + " dump " + options + " '" + feed + "' >" + base + "/out 2>" + base + "/err";
  int status = std::system(command.c_str());
  DumpResult run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(base + "/out"), Slurp(base + "/err")};
  std::system(("rm -rf '" + base + "'").c_str());
  return run;
}

TEST(RssvaneDump, PrintsTheModelAsOneJsonObject) {
  DumpResult run = Dump(
      "<rss version=\"0.92\" xmlns=\"urn:d\" xmlns:dc=\"urn:dc\"><channel><title>Caf\xc3\xa9 \"q\" \\ \x01\t</title>"
      "<dc:x a=\"1\" b=\"2\">t\nu</dc:x><image><url>u</url></image>"
      "<item><title>i</title><category domain=\"d\"/></item><item/></channel></rss>");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "{\"version\": \"0.92\", \"defaultNamespace\": \"urn:d\", "
            "\"namespaces\": [{\"prefix\": \"dc\", \"uri\": \"urn:dc\"}], "
            "\"channel\": [{\"name\": \"title\", \"text\": \"Caf\xc3\xa9 \\\"q\\\" \\\\ \\u0001\", \"attributes\": []}, "
            "{\"name\": \"generator\", \"text\": \"Kestrix Version 6.0 RSS Component\", \"attributes\": []}, "
            "{\"name\": \"dc:x\", \"text\": \"t\\nu\", \"attributes\": [[\"a\", \"1\"], [\"b\", \"2\"]]}], "
            "\"image\": [{\"name\": \"url\", \"text\": \"u\", \"attributes\": []}], \"textInput\": [], "
            "\"items\": [[{\"name\": \"title\", \"text\": \"i\", \"attributes\": []}, "
            "{\"name\": \"category\", \"text\": \"\", \"attributes\": [[\"domain\", \"d\"]]}], []]}\n");
}

TEST(RssvaneDump, UndecodableBytesBecomeReplacementCharacters) {
  DumpResult run = Dump("<rss><channel><title>a\xff\xfe b</title></channel></rss>");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("\"version\": \"undefined\""), std::string::npos);
  EXPECT_NE(run.out.find("\"text\": \"a\xef\xbf\xbd\xef\xbf\xbd b\""), std::string::npos) << run.out;
}

TEST(RssvaneDump, DecodeAndAtomReadAsTheirSettingsSay) {
  std::string latin1 =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Caf\xe9</title><entry><title>e</title></entry></feed>";
  DumpResult run = Dump(latin1, true, "--atom --decode");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\"channel\": [{\"name\": \"title\", \"text\": \"Caf\xc3\xa9\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"items\": [[{\"name\": \"title\", \"text\": \"e\""), std::string::npos) << run.out;
  DumpResult unknown = Dump(latin1, true, "--decode --nosuch");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "usage: rssvane dump [--decode] [--atom] FILE\n");
}

TEST(RssvaneDump, FailuresPrintTheHostsErrorNumberAndDescription) {
  DumpResult bad = Dump("<rss><channel></rss>");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "rssvane: error 20202: Unbalanced element tag.\n");
  DumpResult empty = Dump("");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.err, "rssvane: error 20211: DOM tree unavailable (set BuildDOM to true and reparse).\n");
  DumpResult missing = Dump("", false);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "rssvane: error 20303: Can't open file for reading.\n");
  DumpResult deep = Dump(std::string(129 * 3, ' ').replace(0, 0, "") + std::string([] {
                    std::string s;
                    for (int i = 0; i < 129; ++i) s += "<a>";
                    return s;
                  }()));
  EXPECT_EQ(deep.exitCode, 1);
  EXPECT_EQ(deep.err, "rssvane: error 7: Out of memory.\n");
}

}  // namespace
