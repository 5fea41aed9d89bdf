#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "base/Codes.h"
#include "feed/FeedWriter.h"

namespace rssvane {
namespace {

void SetChannel(FeedState& feed, size_t field, std::string_view text) {
  ASSERT_EQ(feed.SetFieldText(feed.Channel().Fixed(field), text), 0);
}

FeedState& MinimalFeed(FeedState& feed) {
  SetChannel(feed, channel_field::kTitle, "T");
  SetChannel(feed, channel_field::kLink, "http://x/");
  SetChannel(feed, channel_field::kDescription, "D");
  return feed;
}

std::string Produce(FeedState& feed, int expectedCode = 0) {
  GrowString out;
  EXPECT_EQ(FeedWriter::Produce(feed, out), expectedCode);
  return std::string(out.View());
}

const std::string kHead = " <?xml version=\"1.0\"?>\r\n";
const std::string kMinimalChannel =
    "    <title>T</title>\r\n"
    "    <link>http://x/</link>\r\n"
    "    <description>D</description>\r\n";
const std::string kGenerator = "    <generator>Kestrix Version 6.0 RSS Component</generator>\r\n";
const std::string kTail = "  </channel>\r\n</rss>\r\n";

TEST(FeedWriter, AMinimalFeedIsWrittenInTheFixedLayout) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  EXPECT_EQ(Produce(feed), kHead + "<rss version=\"2.0\">\r\n  <channel>\r\n" + kMinimalChannel + kGenerator + kTail);
}

TEST(FeedWriter, EachVersionChecksItsRequiredAndAllowedFields) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  SetChannel(feed, channel_field::kTtl, "60");  // 2.0 only
  SetChannel(feed, channel_field::kCloud, "c");  // 0.92 and 2.0

  feed.SetVersion(rssVersion091);
  Produce(feed, kErrVersionCheck);  // language and image are required in 0.91
  EXPECT_EQ(feed.LastError(), kErrVersionCheck);
  EXPECT_EQ(feed.LastErrorText(), "");
  SetChannel(feed, channel_field::kLanguage, "en");
  Produce(feed, kErrVersionCheck);  // still no image
  feed.SetFieldText(feed.Image().Fixed(image_field::kUrl), "u");
  feed.SetFieldText(feed.Image().Fixed(image_field::kTitle), "i");
  Produce(feed, kErrVersionCheck);  // the image's link is required
  feed.SetFieldText(feed.Image().Fixed(image_field::kLink), "l");
  // ttl, generator and cloud are not allowed in 0.91 and are left out.
  EXPECT_EQ(Produce(feed), kHead + "<rss version=\"0.91\">\r\n  <channel>\r\n" + kMinimalChannel +
                               "    <language>en</language>\r\n"
                               "    <image>\r\n      <url>u</url>\r\n      <title>i</title>\r\n      <link>l</link>\r\n"
                               "    </image>\r\n" +
                               kTail);

  feed.SetVersion(rssVersion092);
  EXPECT_EQ(Produce(feed), kHead + "<rss version=\"0.92\">\r\n  <channel>\r\n" + kMinimalChannel +
                               "    <language>en</language>\r\n    <cloud>c</cloud>\r\n"
                               "    <image>\r\n      <url>u</url>\r\n      <title>i</title>\r\n      <link>l</link>\r\n"
                               "    </image>\r\n" +
                               kTail);
}

TEST(FeedWriter, UndefinedVersionWritesEverythingWithContentAndRequiresNothing) {
  FeedState feed;
  feed.Reset();
  feed.SetVersion(rssVersionUndefined);
  SetChannel(feed, channel_field::kTtl, "5");
  SetChannel(feed, channel_field::kCategory, "");
  feed.SetFieldAttribute(feed.Channel().Fixed(channel_field::kCategory), "domain", "x");
  feed.AddItem("", "", "http://only-link/");
  EXPECT_EQ(Produce(feed), kHead + "<rss>\r\n  <channel>\r\n    <ttl>5</ttl>\r\n" + kGenerator +
                               "    <category domain=\"x\"/>\r\n"
                               "    <item>\r\n      <link>http://only-link/</link>\r\n    </item>\r\n" +
                               kTail);
}

TEST(FeedWriter, AnItemWithoutTitleAndDescriptionFailsUnder092And20) {
  for (int version : {rssVersion092, rssVersion200}) {
    FeedState feed;
    feed.Reset();
    MinimalFeed(feed);
    if (version == rssVersion092) {
      feed.SetFieldText(feed.Image().Fixed(image_field::kUrl), "u");
      feed.SetFieldText(feed.Image().Fixed(image_field::kTitle), "i");
      feed.SetFieldText(feed.Image().Fixed(image_field::kLink), "l");
    }
    feed.SetVersion(version);
    feed.AddItem("", "", "http://only-link/");
    Produce(feed, kErrVersionCheck);
    // An attribute alone is content enough.
    feed.SetItemAttribute(1, item_field::kDescription, "a", "b");
    Produce(feed, 0);
  }
}

TEST(FeedWriter, NamespacesItemsAndExtrasFollowTheChannel) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  feed.SetDefaultNamespace("urn:d");
  feed.AddNamespace("dc", "http://purl.org/dc/elements/1.1/");
  feed.AddNamespace("a", "urn:a");
  FeedField* extra;
  ASSERT_EQ(feed.Channel().AddExtra("dc:creator", extra), 0);
  feed.SetFieldText(*extra, "me");
  ASSERT_EQ(feed.Channel().AddExtra("empty", extra), 0);
  feed.SetFieldText(feed.TextInput().Fixed(text_input_field::kTitle), "s");
  feed.SetFieldText(feed.TextInput().Fixed(text_input_field::kDescription), "d");
  feed.SetFieldText(feed.TextInput().Fixed(text_input_field::kName), "q");
  feed.SetFieldText(feed.TextInput().Fixed(text_input_field::kLink), "l");
  feed.AddItem("second", "", "");
  feed.AddItem("first", "<b>&amp;", "");
  feed.SetItemAttribute(1, item_field::kEnclosure, "url", "u");
  feed.SetItemAttribute(1, item_field::kEnclosure, "length", "9");
  ASSERT_EQ(feed.Item(2)->AddExtra("x:y", extra), 0);
  feed.SetFieldAttribute(*extra, "z", "1");

  const std::string expected =
      kHead + "<rss version=\"2.0\" xmlns=\"urn:d\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:a=\"urn:a\">\r\n" +
      "  <channel>\r\n" + kMinimalChannel + kGenerator +
      "    <dc:creator>me</dc:creator>\r\n"
      "    <empty/>\r\n"
      "    <textInput>\r\n      <title>s</title>\r\n      <description>d</description>\r\n"
      "      <name>q</name>\r\n      <link>l</link>\r\n    </textInput>\r\n"
      "    <item>\r\n      <title>first</title>\r\n      <description><b>&amp;</description>\r\n"
      "      <enclosure url=\"u\" length=\"9\"/>\r\n    </item>\r\n"
      "    <item>\r\n      <title>second</title>\r\n      <x:y z=\"1\"/>\r\n    </item>\r\n" +
      kTail;
  EXPECT_EQ(Produce(feed), expected);

  // Without AllowNonRSS every extra field is left out, the item's too.
  feed.SetAllowNonRss(false);
  std::string without = Produce(feed);
  EXPECT_EQ(without.find("creator"), std::string::npos);
  EXPECT_EQ(without.find("<empty/>"), std::string::npos);
  EXPECT_EQ(without.find("x:y"), std::string::npos);
  EXPECT_NE(without.find("<enclosure url=\"u\" length=\"9\"/>"), std::string::npos);
}

// Bounded by the test's time-out: declarations looked up by number from the
// start of their list each took quadratic time, a minute for this many.
TEST(FeedWriter, ManyNamespaceDeclarationsAreWrittenInLinearTime) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  const int count = 100000;
  for (int i = 0; i < count; ++i) ASSERT_EQ(feed.AddNamespace("p" + std::to_string(i), "u" + std::to_string(i)), 0);
  std::string text = Produce(feed);
  EXPECT_EQ(text.find("<rss version=\"2.0\" xmlns:p0=\"u0\" xmlns:p1=\"u1\" "), kHead.size());
  std::string last = " xmlns:p" + std::to_string(count - 1) + "=\"u" + std::to_string(count - 1) + "\">\r\n";
  EXPECT_NE(text.find(last), std::string::npos);
}

TEST(FeedWriter, AnEmptyGeneratorIsFilledInAndCountsAsAChange) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  feed.SetGenerator("");
  feed.SetModified(false);
  EXPECT_NE(Produce(feed).find(kGenerator), std::string::npos);
  EXPECT_EQ(feed.Generator(), kGeneratorText);
  EXPECT_TRUE(feed.Modified());
}

TEST(FeedWriter, TheDocumentTextIsCachedUntilTheFeedChanges) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  std::string_view first, second;
  ASSERT_EQ(writer.DocumentText(feed, first), 0);
  EXPECT_FALSE(feed.Modified());
  ASSERT_EQ(writer.DocumentText(feed, second), 0);
  EXPECT_EQ(writer.Productions(), 1u);
  EXPECT_EQ(first.data(), second.data());  // the very same buffer, not a new copy

  SetChannel(feed, channel_field::kTitle, "New");
  ASSERT_EQ(writer.DocumentText(feed, second), 0);
  EXPECT_EQ(writer.Productions(), 2u);
  EXPECT_NE(second.find("<title>New</title>"), std::string_view::npos);
}

TEST(FeedWriter, AFailedProductionKeepsTheCacheAndIsReportedAgain) {
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  std::string_view text;
  ASSERT_EQ(writer.DocumentText(feed, text), 0);
  std::string good(text);

  feed.SetVersion(rssVersion091);
  EXPECT_EQ(writer.DocumentText(feed, text), kErrVersionCheck);
  EXPECT_EQ(text, "");
  EXPECT_EQ(feed.DocumentText(), good);
  // No stale text handed out as if it were current.
  EXPECT_EQ(writer.DocumentText(feed, text), kErrVersionCheck);
  feed.SetVersion(rssVersion200);
  ASSERT_EQ(writer.DocumentText(feed, text), 0);
  EXPECT_EQ(text, good);
}

class FeedWriterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("rssvane-writer-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  static std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  std::filesystem::path dir_;
};

TEST_F(FeedWriterFile, WriteFileReplacesTheWholeFileAndLeavesNoTemporary) {
  std::filesystem::path target = dir_ / "feed.rss";
  { std::ofstream(target, std::ios::binary) << std::string(5000, 'x'); }
  ::chmod(target.c_str(), 0640);
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  ASSERT_EQ(writer.WriteFile(feed, target.c_str()), 0);
  EXPECT_EQ(Slurp(target), std::string(feed.DocumentText()));
  EXPECT_EQ(EntriesInDir(), 1u);
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
}

TEST_F(FeedWriterFile, WritingThroughALinkOfEitherKindChangesTheFileItNames) {
  std::filesystem::path real = dir_ / "real.rss";
  std::filesystem::path link = dir_ / "link.rss";
  std::filesystem::path second = dir_ / "second-name.rss";
  { std::ofstream(real) << "old"; }
  std::filesystem::create_symlink(real, link);
  std::filesystem::create_hard_link(real, second);
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  ASSERT_EQ(writer.WriteFile(feed, link.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Slurp(real), std::string(feed.DocumentText()));
  // A file with several names stays one file, whichever name is written.
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kTitle), "again");
  ASSERT_EQ(writer.WriteFile(feed, second.c_str()), 0);
  EXPECT_EQ(Slurp(real), std::string(feed.DocumentText()));
  EXPECT_TRUE(std::filesystem::equivalent(real, second));
  EXPECT_EQ(EntriesInDir(), 3u);
}

TEST_F(FeedWriterFile, FailuresLeaveTheOldFileWhole) {
  std::filesystem::path target = dir_ / "feed.rss";
  { std::ofstream(target) << "old"; }
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;

  // A production failure returns its code without touching the file.
  feed.SetVersion(rssVersion091);
  EXPECT_EQ(writer.WriteFile(feed, target.c_str()), kErrVersionCheck);
  EXPECT_EQ(Slurp(target), "old");
  feed.SetVersion(rssVersion200);

  EXPECT_EQ(writer.WriteFile(feed, (dir_ / "missing" / "feed.rss").c_str()), kErrFileOpen);
  EXPECT_EQ(writer.WriteFile(feed, dir_.c_str()), kErrFileOpen);
  EXPECT_EQ(writer.WriteFile(feed, ""), kErrFileOpen);
  EXPECT_EQ(feed.LastErrorText(), "Can't open file for writing.");

  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(FeedWriterFile, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
  std::filesystem::path target = dir_ / "feed.rss";
  { std::ofstream(target) << "old"; }
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  for (int i = 0; i < 50; ++i) feed.AddItem("title", std::string(100, 'd'), "link");
  FeedWriter writer;
  // A file size limit makes the write fail the way a full disk does.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &old);
  struct rlimit limit {}, saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = 1000;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  int rc = writer.WriteFile(feed, target.c_str());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(rc, kErrFileWrite);
  EXPECT_EQ(feed.LastErrorText(), "Error writing to local file.");
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(FeedWriterFile, APipeIsWrittenInPlaceNotReplaced) {
  std::filesystem::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  ASSERT_EQ(writer.WriteFile(feed, fifo.c_str()), 0);
  char buffer[4096];
  ssize_t n = ::read(reader, buffer, sizeof buffer);
  ::close(reader);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), std::string(feed.DocumentText()));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(EntriesInDir(), 1u);
}

// Runs check in a child process as a user without special rights (nobody,
// when the tests run as root, who may write anything); check returns what
// went wrong, empty text when nothing did.
std::string AsOrdinaryUser(const std::function<std::string()>& check) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string result = ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? "cannot leave root"
                                                                                              : check();
    if (::write(fds[1], result.data(), result.size()) < 0) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string result;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result += " (the child failed)";
  return result;
}

TEST_F(FeedWriterFile, FolderAndFilePermissionsDecideAsADirectOpenWould) {
  namespace fs = std::filesystem;
  FeedState feed;
  feed.Reset();
  MinimalFeed(feed);
  FeedWriter writer;
  std::string_view text;
  ASSERT_EQ(writer.DocumentText(feed, text), 0);
  const std::string expected(text);

  // A writable file in a folder the caller may not add to is written in place.
  fs::create_directories(dir_ / "closed");
  fs::path inClosed = dir_ / "closed" / "feed.rss";
  { std::ofstream(inClosed) << "old"; }
  fs::permissions(inClosed, fs::perms(0666));
  fs::permissions(dir_ / "closed", fs::perms(0555));
  // A file the caller may not write is refused, even in a folder open to all.
  fs::create_directories(dir_ / "open");
  fs::path readOnly = dir_ / "open" / "read-only.rss";
  { std::ofstream(readOnly) << "old"; }
  fs::permissions(readOnly, fs::perms(0444));
  fs::permissions(dir_ / "open", fs::perms(0777));
  // A writable file that the sticky bit keeps others from replacing.
  fs::create_directories(dir_ / "sticky");
  fs::path sticky = dir_ / "sticky" / "feed.rss";
  { std::ofstream(sticky) << "old"; }
  fs::permissions(sticky, fs::perms(0666));
  fs::permissions(dir_ / "sticky", fs::perms(01777));

  EXPECT_EQ(AsOrdinaryUser([&]() -> std::string {
              std::string wrong;
              if (writer.WriteFile(feed, inClosed.c_str()) != 0) wrong += "closed folder failed; ";
              if (Slurp(inClosed) != expected) wrong += "closed folder's file not written; ";
              if (writer.WriteFile(feed, readOnly.c_str()) != kErrFileOpen) wrong += "read-only file not refused; ";
              if (feed.LastErrorText() != "Can't open file for writing.") wrong += "wrong message; ";
              if (writer.WriteFile(feed, sticky.c_str()) != 0) wrong += "sticky folder failed; ";
              if (Slurp(sticky) != expected) wrong += "sticky folder's file not written; ";
              return wrong;
            }),
            "");
  EXPECT_EQ(Slurp(readOnly), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "closed"), {}), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "open"), {}), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "sticky"), {}), 1);
  fs::permissions(dir_ / "closed", fs::perms::owner_all);
}

}  // namespace
}  // namespace rssvane
