#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <rssvane/RSSTypes.h>

#include "http/Response.h"

namespace rssvane {

// The action an HTTP client runs, numbered as the control has always numbered them.
enum class HttpAction : int32_t { kNone = 0, kGet = 1, kPut = 5 };

// The most redirects one action follows; the next one fails it, which also
// ends a loop between two URLs.
inline constexpr int32_t kMaxRedirects = 20;

// The client's side of a finished response.
struct EvaluationInput {
  int waitResult = 0;  // what waiting for the end of the response gave
  HttpAction action = HttpAction::kGet;
  TAuthScheme authScheme = authBasic;
  TFollowRedirects followRedirects = frNever;
  std::string_view scheme;       // the current URL's
  int32_t digestRetries = 0;     // 401 retries made for this URL
  bool staleChallenge = false;   // the last Digest challenge said stale=true
  int32_t redirectsFollowed = 0;  // within this action
};

struct Evaluation {
  enum class Next {
    kFinish,       // the action ends with code; errorText, when not empty, is its text
    kDigestRetry,  // count the retry, compute the Digest value, run the action again
    kRedirect,     // see below
  };
  Next next = Next::kFinish;
  int code = 0;
  std::string errorText;
  // kRedirect: set the URL to the response's Location as a redirect (its
  // failure is the result), fire Redirect with this proposed answer, then,
  // when the answer is true, run the action again on the new URL after ten
  // wait steps of 0 ms; when false, finish with code and errorText.
  bool proposedAccept = false;
};

// What a finished response means for the action, in this order: a wait of
// 301 is the result; a response that failed (Failure()) ends with its code
// and text; no status line is success (all of it was body); 2xx gives the
// wait's result; everything else ends with 151 and the status text, except a
// 401 under authDigest, which is retried once (twice when the server says
// its nonce went stale), and with FollowRedirects a 3xx other than 304 and
// 305 that holds a Location (GET only, unless frAlways): redirected, with
// the answer true for frAlways, for frSameScheme true when the Location's
// scheme (or the current one) equals the current scheme, any case. The 401
// retry count goes back to 0 whenever the action finishes.
Evaluation EvaluateResponse(const ResponseParser& response, const EvaluationInput& input);

}  // namespace rssvane
