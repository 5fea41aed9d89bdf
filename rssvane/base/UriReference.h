#pragma once

#include <string>
#include <string_view>

namespace rssvane {

// Resolves a URI reference against a base URI as RFC 3986 section 5.2 does
// ("../b" against "http://h/a/c" is "http://h/b"). A base without a scheme
// still lends its parts (a relative xml:base inside a document that has no
// address gives relative results); an empty base leaves the reference as it
// is. Neither is checked further: bytes that a URI cannot hold pass through.
std::string ResolveUriReference(std::string_view base, std::string_view reference);

}  // namespace rssvane
