#pragma once

#include <string_view>

namespace rssvane {

// A cookie as the SetCookie event reports it; the texts point into the
// header value read. Cookies are reported only, never stored or sent back.
struct Cookie {
  std::string_view name;
  std::string_view value;
  std::string_view expires;
  std::string_view domain;
  std::string_view path;
  bool secure = false;
};

// Reads a Set-Cookie value by the component's rules: the name runs to the
// first "=", the value to the next ";", then blanks and tabs are skipped;
// each attribute is cut the same way, with one blank skipped after its ";".
// A name also ends at a ";" (so "secure; path=/" is two attributes). The
// attribute names Expires, Domain, Path and Secure are recognised in any
// case; the others are ignored; absent ones stay empty and Secure false.
Cookie ReadSetCookie(std::string_view text) noexcept;

}  // namespace rssvane
