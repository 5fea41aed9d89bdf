#include "base/UriReference.h"

#include <optional>

namespace rssvane {

namespace {

// The five parts of RFC 3986 appendix B; an absent part differs from an
// empty one ("http://h?" has an empty query, "http://h" none).
struct UriParts {
  std::optional<std::string_view> scheme;
  std::optional<std::string_view> authority;
  std::string_view path;
  std::optional<std::string_view> query;
  std::optional<std::string_view> fragment;
};

bool IsScheme(std::string_view text) noexcept {
  if (text.empty()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
  }
  return true;
}

UriParts Split(std::string_view text) noexcept {
  UriParts parts;
  if (size_t hash = text.find('#'); hash != std::string_view::npos) {
    parts.fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  if (size_t question = text.find('?'); question != std::string_view::npos) {
    parts.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  // A colon before any "/" ends a scheme; in "2024:x" it is part of a path.
  size_t colon = text.find(':');
  if (colon != std::string_view::npos && colon < text.find('/') && IsScheme(text.substr(0, colon))) {
    parts.scheme = text.substr(0, colon);
    text = text.substr(colon + 1);
  }
  if (text.substr(0, 2) == "//") {
    size_t end = text.find('/', 2);
    parts.authority = text.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  parts.path = text;
  return parts;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.substr(0, 3) == "../") {
      input.remove_prefix(3);
    } else if (input.substr(0, 2) == "./") {
      input.remove_prefix(2);
    } else if (input.substr(0, 3) == "/./") {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.substr(0, 4) == "/../" || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      size_t last = output.rfind('/');
      output.erase(last == std::string::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      size_t next = input.find('/', 1);
      std::string_view segment = input.substr(0, next);
      output += segment;
      input.remove_prefix(segment.size());
    }
  }
  return output;
}

}  // namespace

std::string ResolveUriReference(std::string_view base, std::string_view reference) {
  if (base.empty()) return std::string(reference);
  UriParts r = Split(reference);
  UriParts b = Split(base);
  std::optional<std::string_view> scheme, authority, query;
  std::string path;
  if (r.scheme) {
    scheme = r.scheme;
    authority = r.authority;
    path = RemoveDotSegments(r.path);
    query = r.query;
  } else {
    if (r.authority) {
      authority = r.authority;
      path = RemoveDotSegments(r.path);
      query = r.query;
    } else {
      if (r.path.empty()) {
        path = b.path;
        query = r.query ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          path = RemoveDotSegments(r.path);
        } else {
          // Merge: the base path up to its last "/", or "/" for a base
          // with an authority and no path.
          std::string merged;
          if (b.authority && b.path.empty()) {
            merged = "/";
          } else {
            size_t slash = b.path.rfind('/');
            if (slash != std::string_view::npos) merged = b.path.substr(0, slash + 1);
          }
          merged += r.path;
          path = RemoveDotSegments(merged);
        }
        query = r.query;
      }
      authority = b.authority;
    }
    scheme = b.scheme;
  }
  std::string out;
  if (scheme) out.append(*scheme).append(":");
  if (authority) out.append("//").append(*authority);
  out += path;
  if (query) out.append("?").append(*query);
  if (r.fragment) out.append("#").append(*r.fragment);
  return out;
}

}  // namespace rssvane
