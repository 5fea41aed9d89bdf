// GetFeed and Put as a host meets them: the whole event sequence of a
// blocking fetch, the document and the model untouched by every failure,
// Put sending the cached text as it stands, TransferTextB inside Transfer,
// and the asynchronous form.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "EventJson.h"
#include "Nginx.h"
#include "ScriptedServer.h"
#include "control/RSSImpl.h"
#include "rssvane/MessageLoop.h"
#include "rssvane/RSS.h"

namespace rssvane {
namespace {

using vk_test::ScriptedServer;

constexpr std::string_view kFeed =
    "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Old</title>"
    "<item><title>a</title></item><item><title>b</title></item></channel></rss>";

std::string Ok(std::string_view body, std::string_view headers = "") {
  return "HTTP/1.1 200 OK\r\n" + std::string(headers) + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + std::string(body);
}

// A script answering each request on its connection with reply, and what
// each request was, for the test to read once the script has ended.
struct Recorded {
  std::mutex mutex;
  std::vector<std::string> requests;
  std::vector<std::string> Taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
  }
};

ScriptedServer::Script Answering(std::string reply, Recorded* recorded = nullptr, int requests = 1) {
  ScriptedServer::Script script;
  for (int i = 0; i < requests; ++i) {
    script.Answer(
        [reply, recorded](const std::string& request) {
          if (recorded) {
            std::lock_guard<std::mutex> lock(recorded->mutex);
            recorded->requests.push_back(request);
          }
          return reply;
        },
        5000);
  }
  return script;
}

std::u16string Wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string Url(const ScriptedServer& server, std::string_view path) {
  return Wide("http://127.0.0.1:" + std::to_string(server.Port()) + std::string(path));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string Event(std::string_view name, std::string_view args = "") {
  return "{\"event\":\"" + std::string(name) + "\",\"args\":{" + std::string(args) + "}}";
}
const std::string kComplete =
    Event("ConnectionStatus", R"("ConnectionEvent":"Remote host connection complete.","StatusCode":0,"Description":"OK")");
const std::string kConnected = Event("Connected", R"("StatusCode":0,"Description":"OK")");
const std::string kClosing =
    Event("ConnectionStatus", R"("ConnectionEvent":"Remote host disconnected.","StatusCode":0,"Description":"OK")");
const std::string kDisconnected = Event("Disconnected", R"("StatusCode":0,"Description":"OK")");
const std::string kStart = Event("StartTransfer");
const std::string kEnd = Event("EndTransfer");

std::string Header(std::string_view field, std::string_view value) {
  return Event("Header", "\"Field\":\"" + std::string(field) + "\",\"Value\":\"" + std::string(value) + "\"");
}
std::string Transfer(std::string_view text) {
  return Event("Transfer", "\"BytesTransferred\":" + std::to_string(text.size()) + ",\"Text\":\"" +
                               std::string(text) + "\"");
}
std::string Status(std::string_view version) {
  return Event("Status", "\"HTTPVersion\":\"" + std::string(version) + "\",\"StatusCode\":200,\"Description\":\"OK\"");
}

// The whole sequence of a blocking GetFeed, compared as one list: with the
// connection closed after the body, kept open for a second fetch, and with a
// body that ends only at the server's close.
TEST(FeedTransfer, ABlockingGetFeedFiresTheEventsOfTheExchangeInOrder) {
  constexpr std::string_view kBody = "<rss><channel><title>T</title></channel></rss>";
  const std::string length = std::to_string(kBody.size());
  {
    ScriptedServer server({Answering(Ok(kBody))});
    RSS rss;
    rssvane_tool::EventJsonSink events;
    rss.Advise(&events);
    rss.GetFeed(Url(server, "/feed"));
    EXPECT_EQ(Lines(events.Take()), (std::vector<std::string>{kComplete, kConnected, Status("HTTP/1.1"),
                                                              Header("Content-Length", length), kStart,
                                                              Transfer(kBody), kEnd, kClosing, kDisconnected}));
    EXPECT_EQ(rss.ChannelTitle(), u"T");
    EXPECT_FALSE(rss.Connected());
  }
  {
    // The server keeps the connection open until the client lets it go.
    ScriptedServer server({Answering(Ok(kBody), nullptr, 2).ReceiveUntilClosed(5000)});
    RSS rss;
    rss.Config(u"KeepAlive=true");
    rssvane_tool::EventJsonSink events;
    rss.Advise(&events);
    rss.GetFeed(Url(server, "/feed"));
    rss.GetFeed(Url(server, "/feed"));
    const std::vector<std::string> exchange{Status("HTTP/1.1"), Header("Content-Length", length), kStart,
                                            Transfer(kBody), kEnd};
    std::vector<std::string> expected{kComplete, kConnected};
    expected.insert(expected.end(), exchange.begin(), exchange.end());
    expected.insert(expected.end(), exchange.begin(), exchange.end());
    EXPECT_EQ(Lines(events.Take()), expected) << "the second fetch reuses the connection";
    EXPECT_TRUE(rss.Connected());
    EXPECT_EQ(server.Connections(), 1);
  }
  {
    ScriptedServer server({Answering("HTTP/1.0 200 OK\r\n\r\n" + std::string(kBody))});
    RSS rss;
    rssvane_tool::EventJsonSink events;
    rss.Advise(&events);
    rss.GetFeed(Url(server, "/feed"));
    EXPECT_EQ(Lines(events.Take()), (std::vector<std::string>{kComplete, kConnected, Status("HTTP/1.0"), kStart,
                                                              Transfer(kBody), kClosing, kEnd, kDisconnected}));
    EXPECT_EQ(rss.ChannelTitle(), u"T");
  }
}

// Every failure leaves RSSData and the model as they were.
TEST(FeedTransfer, AFailedGetFeedChangesNeitherTheDocumentNorTheModel) {
  constexpr std::string_view kPage = "<html><body><p>not closed</body></html>";
  ScriptedServer server({
      Answering(Ok(kFeed)),
      Answering(Ok(kPage)),
      Answering("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"),
      Answering(Ok(kPage)),
  });
  RSS rss;
  rss.GetFeed(Url(server, "/feed"));
  ASSERT_EQ(rss.ItemCount(), 2);
  const std::u16string data = rss.RSSData();

  Raised malformed = RaisedBy([&] { rss.GetFeed(Url(server, "/page")); });
  EXPECT_GT(malformed.number, 20000) << "the parser's code";
  EXPECT_EQ(malformed.helpContext, 45904u);
  EXPECT_FALSE(malformed.description.empty());
  EXPECT_EQ(rss.ItemCount(), 2);
  EXPECT_EQ(rss.ChannelTitle(), u"Old");
  EXPECT_EQ(rss.RSSData(), data);

  Raised notFound = RaisedBy([&] { rss.GetFeed(Url(server, "/gone")); });
  EXPECT_EQ(notFound.number, 20152);
  EXPECT_EQ(notFound.description, u"Not Found");
  EXPECT_EQ(rss.ItemCount(), 2);
  EXPECT_EQ(rss.RSSData(), data);

  rss.GetURL(Url(server, "/page"));
  EXPECT_EQ(rss.RSSData(), Wide(kPage)) << "GetURL takes what GetFeed could not read";
  EXPECT_EQ(rss.ItemCount(), 2);
}

// With DecodeDocument a document that declares no encoding is read in the
// charset its server named; with ReadAtom its relative links resolve against
// the address it was fetched from. Without them the bytes read as they stand.
TEST(FeedTransfer, GetFeedGivesTheServersCharsetAndTheAddressToTheReading) {
  const std::string latin1 = "<rss version=\"2.0\"><channel><title>Caf\xe9</title></channel></rss>";
  const std::string atom =
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title>"
      "<entry><title>e</title><link href=\"posts/1\"/></entry></feed>";
  const std::string latinReply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; Charset=\"ISO-8859-1\"\r\nContent-Length: " +
                                 std::to_string(latin1.size()) + "\r\n\r\n" + latin1;
  ScriptedServer server({Answering(latinReply), Answering(latinReply), Answering(Ok(atom))});
  RSS rss;
  rss.GetFeed(Url(server, "/plain"));
  EXPECT_EQ(rss.ChannelTitle(), u"Caf\ufffd");
  rss.Config(u"DecodeDocument=true");
  rss.Config(u"ReadAtom=true");
  rss.GetFeed(Url(server, "/latin"));
  EXPECT_EQ(rss.ChannelTitle(), u"Caf\u00e9");
  rss.GetFeed(Url(server, "/feeds/atom.xml"));
  EXPECT_EQ(rss.ItemLink(1), Url(server, "/feeds/posts/1"));
}

TEST(FeedTransfer, TheCharsetParameterIsFoundHoweverItIsWritten) {
  EXPECT_EQ(CharsetParameter("text/xml"), "");
  EXPECT_EQ(CharsetParameter("text/xml; charset=utf-8"), "utf-8");
  EXPECT_EQ(CharsetParameter("text/xml;type=feed ; CHARSET = \"iso-8859-1\" ;q=1"), "iso-8859-1");
  EXPECT_EQ(CharsetParameter("text/xml; a=\"x;charset=no\"; charset=\"a\\\"b\""), "a\"b");
  EXPECT_EQ(CharsetParameter("text/xml; novalue; charset=koi8-r"), "koi8-r");
  EXPECT_EQ(CharsetParameter("text/xml; charset=\"open"), "open");
}

// Put sends the text as it was last read, not the model produced anew, with
// its length and no type; the answer's body becomes RSSData, and a failed
// Put leaves RSSData alone.
TEST(FeedTransfer, PutSendsTheCachedTextAndTakesTheAnswer) {
  Recorded puts;
  ScriptedServer server({Answering(Ok(kFeed)), Answering(Ok("stored"), &puts, 1),
                         Answering("HTTP/1.1 500 Broken\r\nContent-Length: 4\r\n\r\noops", &puts, 1),
                         Answering(Ok(""), &puts, 1)});
  RSS rss;
  rss.GetFeed(Url(server, "/feed"));
  rss.SetChannelTitle(u"New");
  rss.Put(Url(server, "/up"));
  EXPECT_EQ(rss.RSSData(), u"stored");

  Raised failed = RaisedBy([&] { rss.Put(Url(server, "/up")); });
  EXPECT_EQ(failed.number, 20152);
  EXPECT_EQ(failed.description, u"Broken");
  EXPECT_EQ(failed.helpContext, 45907u);
  EXPECT_EQ(rss.RSSData(), u"stored");

  // Reading RSSData produces the text anew from the changed model.
  rss.SetChannelTitle(u"Newer");
  rss.SetChannelLink(u"http://x/");
  rss.SetChannelDescription(u"d");
  const std::u16string produced = rss.RSSData();
  rss.Put(Url(server, "/up"));

  rss.Reset();
  ASSERT_TRUE(server.WaitFinished(4, 5000));
  std::vector<std::string> requests = puts.Taken();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[2].find("<title>Newer</title>"), std::string::npos) << requests[2];
  EXPECT_TRUE(requests[2].ends_with("\r\n\r\n" + Utf8(produced)));
  const std::string& first = requests[0];
  EXPECT_TRUE(first.starts_with("PUT /up HTTP/")) << first;
  EXPECT_NE(first.find("\r\nContent-Length: " + std::to_string(kFeed.size()) + "\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(first.ends_with("\r\n\r\n" + std::string(kFeed))) << "the text as it was fetched, title unchanged";
  EXPECT_EQ(first.find("Content-Type"), std::string::npos);
  EXPECT_TRUE(requests[1].ends_with("\r\n\r\nstored")) << "the previous answer is the next Put's text";
}

TEST(FeedTransfer, PutOfAnEmptyDocumentSendsAZeroLengthAndAnEmptyAnswerEmptiesRSSData) {
  Recorded puts;
  ScriptedServer server({Answering(Ok(""), &puts, 1)});
  RSS rss;
  rss.Put(Url(server, "/up"));
  // Read back, empty text would be produced anew from the model.
  EXPECT_EQ(ImplOf(rss).engine.Feed().DocumentText(), "");
  ASSERT_TRUE(server.WaitFinished(1, 5000));
  ASSERT_EQ(puts.Taken().size(), 1u);
  EXPECT_TRUE(puts.Taken()[0].ends_with("\r\nContent-Length: 0\r\n\r\n")) << puts.Taken()[0];
}

class RedirectSink : public _IRSSEvents {
 public:
  std::vector<std::pair<std::u16string, bool>> redirects;
  void Redirect(std::u16string& location, bool& accept) override { redirects.emplace_back(location, accept); }
};

// nginx stores exactly the bytes sent, and serves them back to GetFeed,
// also through a followed redirect.
TEST(FeedTransfer, APutDocumentComesBackFromNginx) {
  vk::test::Nginx nginx;
  RSS rss;
  rss.AddItem(u"t\u00e9", u"d", u"http://x/");
  rss.SetChannelTitle(u"Round trip");
  rss.SetChannelLink(u"http://x/");
  rss.SetChannelDescription(u"d");
  const std::u16string produced = rss.RSSData();
  rss.Put(Wide(nginx.Url("/dav/feeds/one.xml")));
  std::string stored = nginx.ReadDocument("dav/feeds/one.xml");
  EXPECT_FALSE(stored.empty());
  RSS reader;
  reader.GetFeed(Wide(nginx.Url("/dav/feeds/one.xml")));
  EXPECT_EQ(reader.RSSData(), produced);
  EXPECT_EQ(reader.ChannelTitle(), u"Round trip");
  EXPECT_EQ(reader.ItemTitle(1), u"t\u00e9");

  RSS redirected;
  RedirectSink sink;
  redirected.Advise(&sink);
  redirected.SetFollowRedirects(frAlways);
  redirected.GetFeed(Wide(nginx.Url("/301/dav/feeds/one.xml")));
  EXPECT_EQ(redirected.ChannelTitle(), u"Round trip");
  ASSERT_EQ(sink.redirects.size(), 1u);
  EXPECT_EQ(sink.redirects[0].first, Wide(nginx.Url("/dav/feeds/one.xml")));
  EXPECT_TRUE(sink.redirects[0].second);
}

// TransferTextB is the piece's bytes as they came, before CodePage turns
// them into the event's text, and Empty outside a Transfer event.
class PieceSink : public _IRSSEvents {
 public:
  explicit PieceSink(RSS& rss) : rss_(rss) {}
  std::vector<uint8_t> bytes;
  void Transfer(int32_t&, std::u16string&) override {
    Variant piece = rss_.TransferTextB();
    if (piece.GetType() == Variant::Type::kBytes) bytes.insert(bytes.end(), piece.Bytes().begin(), piece.Bytes().end());
  }

 private:
  RSS& rss_;
};

TEST(FeedTransfer, TransferTextBHoldsThePiecesBytesOnlyDuringTransfer) {
  const std::string body = "<rss><channel><title>caf\xe9</title></channel></rss>";
  ScriptedServer server({Answering(Ok(body))});
  RSS rss;
  rss.Config(u"CodePage=28591");
  PieceSink sink(rss);
  rss.Advise(&sink);
  EXPECT_TRUE(rss.TransferTextB().IsEmpty());
  rss.GetURL(Url(server, "/"));
  EXPECT_EQ(std::string(sink.bytes.begin(), sink.bytes.end()), body);
  EXPECT_TRUE(rss.TransferTextB().IsEmpty());
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"TransferTextB", RSS::DispatchKind::kPropertyPut, {Variant(u"x")}); }).number,
            383);
}

bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) PumpMessages(10);
  return done();
}

// With a negative Timeout the call returns at once; the document arrives
// when the exchange ends, and a failure then arrives as the Error event.
class ErrorSink : public _IRSSEvents {
 public:
  std::vector<std::pair<int16_t, std::u16string>> errors;
  int ended = 0;
  void Error(int16_t& code, std::u16string& text) override { errors.emplace_back(code, text); }
  void EndTransfer() override { ++ended; }
};

TEST(FeedTransfer, AnAsynchronousGetFeedReadsTheDocumentWhenItArrives) {
  ScriptedServer server({Answering(Ok(kFeed)), Answering(Ok("<rss><unclosed></rss>"))});
  RSS rss;
  ErrorSink sink;
  rss.Advise(&sink);
  rss.SetTimeout(-1);
  rss.GetFeed(Url(server, "/feed"));
  EXPECT_EQ(rss.ItemCount(), 0) << "nothing has arrived yet";
  ASSERT_TRUE(PumpUntil([&] { return rss.ItemCount() == 2; }));
  EXPECT_TRUE(sink.errors.empty());

  rss.GetFeed(Url(server, "/bad"));
  ASSERT_TRUE(PumpUntil([&] { return !sink.errors.empty(); }));
  EXPECT_EQ(sink.ended, 2);
  EXPECT_EQ(rss.ItemCount(), 2) << "a document that cannot be read changes nothing";
  EXPECT_EQ(rss.ChannelTitle(), u"Old");
  EXPECT_FALSE(sink.errors[0].second.empty());
}

}  // namespace
}  // namespace rssvane
