#include "http/ContentDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "Compressed.h"
#include "ResponseFeed.h"
#include "base/Codes.h"

namespace rssvane {
namespace {

using vk_test::Compress;
using vk_test::kGzip;
using vk_test::kRaw;
using vk_test::kZlib;

struct Decoded {
  std::string body;
  int failure = 0;
  std::string text;
  size_t largestPiece = 0;
};

// Hands encoded to a decoder in cuts of `cut` bytes, then finishes it.
Decoded Decode(ContentCoding coding, std::string_view encoded, size_t cut, const DecoderLimits& limits = {}) {
  ContentDecoder decoder;
  decoder.Start(coding, limits);
  Decoded d;
  std::string_view piece;
  for (size_t at = 0; at < encoded.size() && decoder.Failure() == 0; at += cut) {
    decoder.Input(encoded.substr(at, cut));
    while (decoder.Next(piece)) {
      d.body += piece;
      d.largestPiece = std::max(d.largestPiece, piece.size());
    }
  }
  d.failure = decoder.Failure() != 0 ? decoder.Failure() : decoder.Finish();
  d.text = decoder.FailureText();
  return d;
}

// Text that compresses about as a feed does, long enough for many pieces.
std::string FeedText() {
  std::string feed = "<rss version=\"2.0\"><channel>";
  for (int i = 0; i < 3000; ++i) feed += "<item><title>Item " + std::to_string(i * 7919 % 10007) + "</title></item>\n";
  return feed + "</channel></rss>";
}

TEST(ContentDecoder, GzipZlibAndRawDeflateDecodeExactlyInEveryCut) {
  const std::string feed = FeedText();
  const struct {
    ContentCoding coding;
    std::string encoded;
  } cases[] = {
      {ContentCoding::kGzip, Compress(feed, kGzip)},
      {ContentCoding::kDeflate, Compress(feed, kZlib)},
      {ContentCoding::kDeflate, Compress(feed, kRaw)},
      // Two gzip members are one body, and what follows the last that is
      // no member is dropped.
      {ContentCoding::kGzip, Compress(feed.substr(0, 5000), kGzip) + Compress(feed.substr(5000), kGzip) + std::string("\0\0\n", 3)},
      {ContentCoding::kDeflate, Compress(feed, kZlib) + "trailing"},
  };
  for (const auto& c : cases) {
    for (size_t cut : {1, 2, 3, 1000, 1 << 20}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(c.coding)) + " in cuts of " + std::to_string(cut));
      Decoded d = Decode(c.coding, c.encoded, cut);
      EXPECT_EQ(d.failure, 0) << d.text;
      EXPECT_TRUE(d.body == feed) << d.body.size();
      EXPECT_LE(d.largestPiece, ContentDecoder::kPieceBytes);
    }
  }
  // Codings not decoded pass the bytes as they are.
  EXPECT_EQ(Decode(ContentCoding::kUnsupported, "as sent", 3).body, "as sent");
}

TEST(ContentDecoder, CorruptAndTruncatedDataFailWithTheReason) {
  const std::string gzip = Compress(FeedText(), kGzip);
  std::string badCrc = gzip;
  badCrc[badCrc.size() - 6] ^= 1;
  const struct {
    ContentCoding coding;
    std::string encoded;
    const char* text;
  } cases[] = {
      {ContentCoding::kGzip, "not gzip at all", "The response body is not valid gzip data: incorrect header check."},
      {ContentCoding::kGzip, badCrc, "The response body is not valid gzip data: incorrect data check."},
      {ContentCoding::kGzip, gzip.substr(0, gzip.size() - 1), "The response body ends inside its gzip data."},
      {ContentCoding::kDeflate, Compress(FeedText(), kRaw).substr(0, 100), "The response body ends inside its deflate data."},
      {ContentCoding::kDeflate, "x", "The response body ends inside its deflate data."},
      {ContentCoding::kDeflate, "\xff\xff\xff", "The response body is not valid deflate data: invalid block type."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Decoded d = Decode(c.coding, c.encoded, 7);
    EXPECT_EQ(d.failure, kErrHttp);
    EXPECT_EQ(d.text, c.text);
  }
  // A body of no bytes at all is empty, not cut short.
  EXPECT_EQ(Decode(ContentCoding::kGzip, "", 1).failure, 0);
}

TEST(ContentDecoder, ABombStopsAtTheRatioOrTheSizeBoundBeforeItsOutputPassesIt) {
  const std::string bomb = Compress(std::string(4 * 1024 * 1024, '\0'), kGzip);
  Decoded d = Decode(ContentCoding::kGzip, bomb, 4096);
  EXPECT_EQ(d.text, "The response body decodes to more than 200 times its size; decoding stopped.");
  EXPECT_LE(d.body.size(), DecoderLimits{}.ratioFloorBytes + ContentDecoder::kPieceBytes);

  // Under the ratio, the size bound stops it.
  const std::string feed = FeedText();
  d = Decode(ContentCoding::kGzip, Compress(feed, kGzip), 512, {.maxDecodedBytes = 100000});
  EXPECT_EQ(d.text, "The response body decodes to more than 100000 bytes; decoding stopped.");
  EXPECT_LE(d.body.size(), 100000u);
  EXPECT_EQ(d.body, feed.substr(0, d.body.size()));
}

TEST(ContentDecoder, ContentEncodingNamesOneCodingOrIsLeftAlone) {
  EXPECT_EQ(ContentCodingOf(""), ContentCoding::kIdentity);
  EXPECT_EQ(ContentCodingOf("identity"), ContentCoding::kIdentity);
  EXPECT_EQ(ContentCodingOf("GZip"), ContentCoding::kGzip);
  EXPECT_EQ(ContentCodingOf(" x-gzip ,identity"), ContentCoding::kGzip);
  EXPECT_EQ(ContentCodingOf("deflate"), ContentCoding::kDeflate);
  EXPECT_EQ(ContentCodingOf("br"), ContentCoding::kUnsupported);
  EXPECT_EQ(ContentCodingOf("gzip,gzip"), ContentCoding::kUnsupported);
  EXPECT_EQ(ContentCodingOf("deflate, br"), ContentCoding::kUnsupported);
}

// The response parser decodes only when asked, counts decoded bytes for the
// caller and encoded ones for Content-Length, and fails a bad body.
TEST(ContentDecoder, TheResponseParserDecodesWhenAskedAndEndsByTheEncodedLength) {
  const std::string feed = FeedText();
  const std::string gzip = Compress(feed, kGzip);
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                               std::to_string(gzip.size()) + "\r\n\r\n" + gzip + "next response";
  for (bool decode : {true, false}) {
    Recorder events;
    ResponseParser parser(events);
    parser.Start({.maxTransferredData = 100, .decodeContent = decode});
    Feed(parser, response, 2048, 777, false, false);
    EXPECT_TRUE(parser.TransferEnded()) << parser.FailureText();
    const std::string& expected = decode ? feed : gzip;
    EXPECT_TRUE(events.body == expected) << events.body.size();
    EXPECT_TRUE(events.countsAgree);
    EXPECT_EQ(parser.BytesTransferred(), expected.size());
    EXPECT_EQ(parser.TransferredData(), expected.substr(0, 100));
  }
  Recorder events;
  ResponseParser parser(events);
  parser.Start({.decodeContent = true});
  Feed(parser, "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
  EXPECT_EQ(parser.Failure(), kErrHttp);
  EXPECT_EQ(parser.FailureText(), "The response body is not valid gzip data: incorrect header check.");
  EXPECT_FALSE(parser.TransferEnded());
}

}  // namespace
}  // namespace rssvane
