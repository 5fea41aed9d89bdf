#include "http/Evaluation.h"

#include "base/AsciiText.h"
#include "base/Codes.h"
#include "http/Url.h"

namespace rssvane {

namespace {

Evaluation Finish(int code, std::string_view text = {}) {
  Evaluation e;
  e.code = code;
  e.errorText = text;
  return e;
}

}  // namespace

Evaluation EvaluateResponse(const ResponseParser& response, const EvaluationInput& input) {
  if (input.waitResult == kErrInterrupted) return Finish(kErrInterrupted);
  if (response.Failure() != 0) return Finish(response.Failure(), response.FailureText());
  if (!response.HasStatusLine()) return Finish(kOk);
  int32_t status = response.StatusCode();
  if (status >= 200 && status <= 299) return Finish(input.waitResult);

  Evaluation refused = Finish(kErrHttp, response.StatusText());
  if (status == 401 && input.authScheme == authDigest) {
    bool retry = input.digestRetries == 0 || (input.digestRetries == 1 && input.staleChallenge);
    if (!retry) return refused;
    Evaluation e;
    e.next = Evaluation::Next::kDigestRetry;
    return e;
  }
  if (input.followRedirects == frNever) return refused;
  if (input.action != HttpAction::kGet && input.followRedirects != frAlways) return refused;
  bool redirect = status >= 300 && status <= 399 && status != 304 && status != 305;
  // A redirect without a Location has nowhere to go: it ends like any other
  // refusal rather than clearing the URL.
  if (!redirect || !response.HasLocation()) return refused;
  if (input.redirectsFollowed >= kMaxRedirects) {
    return Finish(kErrHttp, "Too many redirects: more than 20 within one action.  Aborting connection.");
  }
  refused.next = Evaluation::Next::kRedirect;
  refused.proposedAccept = input.followRedirects == frAlways ||
                           EqualsIgnoreCase(UrlScheme(response.Location(), input.scheme), input.scheme);
  return refused;
}

}  // namespace rssvane
