#include "http/Response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/Codes.h"
#include "ResponseFeed.h"

namespace rssvane {
namespace {

struct Reading {
  Recorder events;
  ResponseParser parser{events};
  explicit Reading(TFollowRedirects follow = frNever, uint64_t max = 0) { parser.Start({follow, max}); }
};

constexpr std::string_view kChunked =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nSet-Cookie: a=1; path=/; secure\r\n"
    " folded\r\n\r\n"
    "1a;name=value\r\nline one\r\nline two\r\n\r\n\r\n\r\n\r\n"
    "3\r\n\r\n\r\r\n"
    "0\r\nX-Trailer: t\r\n\r\n";
constexpr std::string_view kChunkedBody = "line one\r\nline two\r\n\r\n\r\n\r\n\r\n\r";

TEST(Response, ChunkedBodyIsExactForEveryCutOfTheStream) {
  std::string expected;
  for (size_t capacity : {1, 2, 3, 5, 7, 11, 26, 64, 2048}) {
    for (size_t read : {1, 2, 3, 4, 9, 4096}) {
      for (bool honour : {false, true}) {
        Reading run;
        Feed(run.parser, kChunked, capacity, read, honour);
        SCOPED_TRACE(std::to_string(capacity) + "/" + std::to_string(read));
        EXPECT_EQ(run.events.body, kChunkedBody);
        EXPECT_TRUE(run.events.countsAgree);
        EXPECT_TRUE(run.parser.TransferEnded());
        EXPECT_EQ(run.parser.Failure(), 0) << run.parser.FailureText();
        if (expected.empty()) expected = run.events.events;
        EXPECT_EQ(run.events.events, expected);
      }
      Reading real;
      FeedThroughLineBuffer(real.parser, kChunked, capacity, read);
      EXPECT_EQ(real.events.body, kChunkedBody);
      EXPECT_EQ(real.events.events, expected);
    }
  }
  EXPECT_EQ(expected,
            "Status(HTTP/1.1,200,OK)Header(Transfer-Encoding,chunked)Header(Set-Cookie,a=1; path=/; secure)"
            "Cookie(a=1,path=/,secure)Header(,folded)StartEnd");
}

TEST(Response, InterimStatusThenContentLengthBodyStopsAtItsLength) {
  Reading run;
  Feed(run.parser,
       "HTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n"
       "WWW-Authenticate: Basic realm=\"r\"\r\n\r\nhelloEXTRA",
       2048, 65536, false, false);
  EXPECT_EQ(run.events.events,
            "Status(HTTP/1.1,200,OK)Header(Content-Length,5)Header(WWW-Authenticate,Basic realm=\"r\")"
            "Challenge(Basic realm=\"r\")StartEnd");
  EXPECT_EQ(run.events.body, "hello");
  EXPECT_TRUE(run.parser.TransferEnded());
}

TEST(Response, ABodyWithoutLengthEndsAtTheCloseAndALineNotStartingWithHIsAllBody) {
  Reading withHeaders;
  Feed(withHeaders.parser, "HTTP/1.0 200 OK\r\n\r\nuntil\nclose");
  EXPECT_EQ(withHeaders.events.body, "until\nclose");
  EXPECT_EQ(withHeaders.events.events, "Status(HTTP/1.0,200,OK)StartEnd");

  Reading bare;
  Feed(bare.parser, "<rss>\n</rss>");
  EXPECT_FALSE(bare.parser.HasStatusLine());
  EXPECT_EQ(bare.events.body, "<rss>\n</rss>");
  EXPECT_EQ(bare.events.events, "End");
}

TEST(Response, MaxTransferredDataKeepsAPrefixWhileTransferCountsEveryByte) {
  Reading run(frNever, 10);
  Feed(run.parser, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'x'));
  EXPECT_EQ(run.parser.TransferredData(), std::string(10, 'x'));
  EXPECT_EQ(run.events.lastCount, 100u);
}

TEST(Response, ALocationIsHeldOnlyForRedirectsAndOnlyWhenFollowing) {
  Reading redirect(frAlways);
  Feed(redirect.parser, "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 3\r\n\r\nabc", 2048, 65536,
       false, false);
  EXPECT_EQ(redirect.parser.Location(), "/next");
  EXPECT_EQ(redirect.events.body, "");
  EXPECT_TRUE(redirect.parser.TransferEnded());  // counted though not reported
  EXPECT_EQ(redirect.events.events.find("Start"), std::string::npos);

  Reading created(frAlways);
  Feed(created.parser, "HTTP/1.1 201 Created\r\nLocation: /doc\r\nContent-Length: 2\r\n\r\nok");
  EXPECT_FALSE(created.parser.HasLocation());
  EXPECT_EQ(created.events.body, "ok");

  Reading never(frNever);
  Feed(never.parser, "HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n");
  EXPECT_FALSE(never.parser.HasLocation());
}

TEST(Response, NoBodyAnswersEndAtTheirHeadersEvenOnAKeptConnection) {
  for (std::string_view status : {"204 No Content", "304 Not Modified"}) {
    Reading run;
    Feed(run.parser, "HTTP/1.1 " + std::string(status) + "\r\nTransfer-Encoding: chunked\r\n\r\n", 2048, 65536,
         false, false);
    EXPECT_TRUE(run.parser.TransferEnded()) << status;
    EXPECT_EQ(run.parser.TransferredData(), "");
  }
}

TEST(Response, ResponsesCutShortFailInsteadOfSucceeding) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "The server closed the connection without sending a response."},
      {"HTTP/1.1 200 OK\r\nContent-Le", "The server closed the connection before the end of the response headers."},
      {"HTTP/1.1 200", "The server closed the connection before the end of the response headers."},
      {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
       "The server closed the connection after 3 of 10 bytes of the body."},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
       "The server closed the connection before the last chunk of the body."},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n",
       "The server closed the connection before the last chunk of the body."},
  };
  for (const auto& [text, failure] : cases) {
    Reading run;
    Feed(run.parser, text);
    EXPECT_EQ(run.parser.Failure(), kErrHttp) << text;
    EXPECT_EQ(run.parser.FailureText(), failure);
    EXPECT_EQ(run.events.events.find("End"), std::string::npos) << text;
  }
  Reading trailersCut;
  Feed(trailersCut.parser, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n");
  EXPECT_EQ(trailersCut.parser.Failure(), 0);
  EXPECT_EQ(trailersCut.events.body, "ab");
}

TEST(Response, SizesThatDoNotFitAndBrokenFramingFailCleanly) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Content-Length: 99999999999999999999\r\n\r\n", "Invalid Content-Length"},
      {"Content-Length: -5\r\n\r\n", "Invalid Content-Length"},
      {"Content-Length: none\r\n\r\n", "Invalid Content-Length"},
      {"Transfer-Encoding: chunked\r\n\r\n10000000000000000\r\n", "Invalid chunk size"},
      {"Transfer-Encoding: chunked\r\n\r\n-1\r\n", "Invalid chunk size"},
      {"Transfer-Encoding: chunked\r\n\r\n\r\n", "Invalid chunk size"},
      {"Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", "Invalid chunked body"},
  };
  for (const auto& [headers, failure] : cases) {
    Reading run;
    Feed(run.parser, "HTTP/1.1 200 OK\r\n" + std::string(headers), 2048, 65536, false, false);
    EXPECT_EQ(run.parser.Failure(), kErrHttp) << headers;
    EXPECT_TRUE(run.parser.FailureText().starts_with(failure)) << run.parser.FailureText();
  }
  Reading endless;
  std::string header = "X-Long: " + std::string(1000, 'h') + "\r\n";
  endless.parser.Deliver("HTTP/1.1 200 OK", true);
  for (int i = 0; i < 1000 && endless.parser.Failure() == 0; ++i) endless.parser.Deliver(header, false);
  EXPECT_EQ(endless.parser.FailureText(), "The response headers are longer than 262144 bytes.");
  Reading chunkLine;
  chunkLine.parser.Deliver("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1", false);
  for (int i = 0; i < 1000 && chunkLine.parser.Failure() == 0; ++i) chunkLine.parser.Deliver(";" + std::string(1023, 'e'), false);
  EXPECT_EQ(chunkLine.parser.FailureText(), "A chunk size line of the response is longer than 262144 bytes.");
}

TEST(Response, BodiesPast4GiBAreCountedAndEndedExactly) {
  Reading run(frNever, 4);
  run.events.keepBody = false;
  const uint64_t length = (uint64_t{1} << 32) + 5;
  run.parser.Deliver("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n", false);
  static const std::string block(1 << 20, 'b');
  while (!run.parser.TransferEnded() && run.parser.Failure() == 0) run.parser.Deliver(block, false);
  EXPECT_EQ(run.events.lastCount, length);
  EXPECT_EQ(run.parser.BytesTransferred(), length);
  EXPECT_TRUE(run.events.countsAgree);
  EXPECT_EQ(run.parser.TransferredData(), "bbbb");
}

}  // namespace
}  // namespace rssvane
