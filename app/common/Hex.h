#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk {

using Bytes = std::vector<unsigned char>;

// Every encrypted value the application shows or stores as text: two
// upper-case hexadecimal digits a byte, in order, nothing between them.
std::string BytesToHex(const Bytes& bytes);

// The reverse, forgiving as stored files have always been read: the text is
// taken two characters at a time, either case; a last single character is
// read alone; a pair that is not two hexadecimal digits gives the value of the
// digits at its start once spaces, tabs and line feeds are skipped, or 0 when
// there are none.
Bytes HexToBytes(std::string_view text);

}  // namespace vk
