#include "http/Evaluation.h"

#include <gtest/gtest.h>

#include "base/Codes.h"

namespace rssvane {
namespace {

struct Answer {
  ResponseListener quiet;
  ResponseParser parser{quiet};
  explicit Answer(std::string_view text, bool close = true) {
    parser.Start({frAlways, 0});
    parser.Deliver(text, false);
    if (close) parser.Closed();
  }
};

EvaluationInput Input(TFollowRedirects follow = frAlways) {
  EvaluationInput in;
  in.followRedirects = follow;
  in.scheme = "http";
  return in;
}

TEST(Evaluation, ResultsOfFinishedResponses) {
  EvaluationInput in = Input();
  in.waitResult = kErrInterrupted;
  EXPECT_EQ(EvaluateResponse(Answer("HTTP/1.1 200 OK\r\n\r\n").parser, in).code, kErrInterrupted);

  in.waitResult = 10054;
  EXPECT_EQ(EvaluateResponse(Answer("HTTP/1.1 200 OK\r\n\r\nbody").parser, in).code, 10054);
  EXPECT_EQ(EvaluateResponse(Answer("just a body").parser, in).code, 0);

  Evaluation cut = EvaluateResponse(Answer("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nab").parser, Input());
  EXPECT_EQ(cut.code, kErrHttp);
  EXPECT_EQ(cut.errorText, "The server closed the connection after 2 of 9 bytes of the body.");

  Evaluation notFound = EvaluateResponse(Answer("HTTP/1.1 404 Not Found\r\n\r\n").parser, Input());
  EXPECT_EQ(notFound.next, Evaluation::Next::kFinish);
  EXPECT_EQ(notFound.code, kErrHttp);
  EXPECT_EQ(notFound.errorText, "Not Found");
}

TEST(Evaluation, DigestIsRetriedOnceAndOnceMoreForAStaleNonce) {
  Answer denied("HTTP/1.1 401 Unauthorized\r\n\r\n");
  EvaluationInput in = Input();
  EXPECT_EQ(EvaluateResponse(denied.parser, in).code, kErrHttp);  // Basic: at once
  in.authScheme = authDigest;
  EXPECT_EQ(EvaluateResponse(denied.parser, in).next, Evaluation::Next::kDigestRetry);
  in.digestRetries = 1;
  EXPECT_EQ(EvaluateResponse(denied.parser, in).errorText, "Unauthorized");
  in.staleChallenge = true;
  EXPECT_EQ(EvaluateResponse(denied.parser, in).next, Evaluation::Next::kDigestRetry);
  in.digestRetries = 2;
  EXPECT_EQ(EvaluateResponse(denied.parser, in).next, Evaluation::Next::kFinish);
}

TEST(Evaluation, RedirectsFollowThePolicyAndAreBounded) {
  Answer found("HTTP/1.1 302 Found\r\nLocation: https://other/\r\n\r\n", false);
  Evaluation e = EvaluateResponse(found.parser, Input(frSameScheme));
  EXPECT_EQ(e.next, Evaluation::Next::kRedirect);
  EXPECT_FALSE(e.proposedAccept);
  EXPECT_EQ(e.errorText, "Found");
  EXPECT_TRUE(EvaluateResponse(Answer("HTTP/1.1 301 Moved\r\nLocation: /x\r\n\r\n", false).parser,
                               Input(frSameScheme))
                  .proposedAccept);
  EXPECT_TRUE(EvaluateResponse(found.parser, Input(frAlways)).proposedAccept);
  EXPECT_EQ(EvaluateResponse(found.parser, Input(frNever)).next, Evaluation::Next::kFinish);

  EvaluationInput put = Input(frSameScheme);
  put.action = HttpAction::kPut;
  EXPECT_EQ(EvaluateResponse(found.parser, put).next, Evaluation::Next::kFinish);
  put.followRedirects = frAlways;
  EXPECT_EQ(EvaluateResponse(found.parser, put).next, Evaluation::Next::kRedirect);

  EXPECT_EQ(EvaluateResponse(Answer("HTTP/1.1 302 Found\r\n\r\n").parser, Input()).next,
            Evaluation::Next::kFinish);
  EXPECT_EQ(EvaluateResponse(Answer("HTTP/1.1 304 Not Modified\r\nLocation: /x\r\n\r\n").parser, Input()).code,
            kErrHttp);

  EvaluationInput looping = Input();
  looping.redirectsFollowed = kMaxRedirects;
  e = EvaluateResponse(found.parser, looping);
  EXPECT_EQ(e.next, Evaluation::Next::kFinish);
  EXPECT_EQ(e.errorText, "Too many redirects: more than 20 within one action.  Aborting connection.");
}

}  // namespace
}  // namespace rssvane
