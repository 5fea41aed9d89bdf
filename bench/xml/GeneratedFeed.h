#pragma once

#include <cstddef>
#include <string>

namespace vk_bench {

// An RSS 2.0 feed of items items (about 1.2 KB each) that reading benchmarks
// share: the same bytes on every run, with namespaces, entities, CDATA,
// attributes and non-ASCII text in every item.
std::string GenerateFeed(size_t items);
// The same feed in Atom 1.0, item for entry, for reading with ReadAtom.
std::string GenerateAtomFeed(size_t items);

}  // namespace vk_bench
