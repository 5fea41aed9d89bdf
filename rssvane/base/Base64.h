#pragma once

#include <string>
#include <string_view>

namespace rssvane {

// Base64 of RFC 4648: the standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
// False for a character outside the alphabet, misplaced padding or a length
// that is not a multiple of four; out is then left empty.
bool Base64Decode(std::string_view text, std::string& out);

}  // namespace rssvane
