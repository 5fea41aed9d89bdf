#pragma once

#include <string_view>

#include "feed/FeedState.h"

namespace rssvane {

class XmlReader;

// Reads an Atom 1.0 feed document (RFC 4287) into the model as RSS 2.0
// would carry it: the feed onto the channel, each entry onto an item, and
// what RSS has no place for kept as extra fields with prefixed names, so
// that writing the model gives RSS 2.0 and loses nothing.
// docs/feed-reading.md has the whole mapping. As reading RSS does, it
// replaces the whole feed and fails only on malformed XML (the reader's code
// and message); the document text is not the Atom text but the RSS the
// model is written as, produced when it is asked for. address is the
// document's own (the URL it was fetched from), against which relative
// references are resolved after xml:base; empty for none. The caller has
// reset the reader for the document.
int ReadAtomDocument(FeedState& feed, XmlReader& reader, std::string_view text, std::string_view address) noexcept;

}  // namespace rssvane
