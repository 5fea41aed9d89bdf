#pragma once

#include <string>
#include <string_view>

namespace rssvane {

inline constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/Atom";

// True when the document's root element is feed in the Atom namespace. Only
// the prolog and the root's start tag are looked at, so that the setting
// that maps Atom costs an RSS document nothing.
bool IsAtomDocument(std::string_view text) noexcept;

// An Atom date (RFC 3339, "2003-12-13T18:30:02.25+01:00") as RSS writes its
// dates (RFC 822, "Sat, 13 Dec 2003 18:30:02 +0100"; UTC as "GMT"). Fractions
// of a second have no place there. False, out untouched, for text that is
// not such a date.
bool AtomDateToRfc822(std::string_view text, std::string& out);

}  // namespace rssvane
