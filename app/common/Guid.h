#pragma once

#include <string>

namespace vk {

// A new random GUID in registry form: 38 characters, braces, upper-case
// digits, e.g. "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}". Empty text when
// the system cannot supply random bytes.
std::string NewGuidText();

}  // namespace vk
