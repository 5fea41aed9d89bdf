#include "http/Cookie.h"

#include "base/AsciiText.h"

namespace rssvane {

namespace {

struct CookiePair {
  std::string_view name;
  std::string_view value;
};

// Cuts "name=value;" off the front of rest.
CookiePair CutPair(std::string_view& rest) noexcept {
  CookiePair pair;
  size_t end = rest.find_first_of("=;");
  pair.name = rest.substr(0, end);
  if (end == std::string_view::npos) {
    rest = {};
    return pair;
  }
  bool hasValue = rest[end] == '=';
  rest.remove_prefix(end + 1);
  if (hasValue) {
    size_t semicolon = rest.find(';');
    pair.value = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
  }
  return pair;
}

}  // namespace

Cookie ReadSetCookie(std::string_view text) noexcept {
  Cookie cookie;
  std::string_view rest = text;
  CookiePair first = CutPair(rest);
  cookie.name = first.name;
  cookie.value = first.value;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  while (!rest.empty()) {
    CookiePair attribute = CutPair(rest);
    if (rest.starts_with(' ')) rest.remove_prefix(1);
    if (EqualsIgnoreCase(attribute.name, "expires")) {
      cookie.expires = attribute.value;
    } else if (EqualsIgnoreCase(attribute.name, "domain")) {
      cookie.domain = attribute.value;
    } else if (EqualsIgnoreCase(attribute.name, "path")) {
      cookie.path = attribute.value;
    } else if (EqualsIgnoreCase(attribute.name, "secure")) {
      cookie.secure = true;
    }
  }
  return cookie;
}

}  // namespace rssvane
