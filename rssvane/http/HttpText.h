#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// Small readers and checks that the HTTP pieces share.

// kErrHttp with "Invalid WHAT: it holds a control character." when value
// holds a byte below 32 or DEL, which could end a request line or header
// early and let a caller's text split a request; 0 otherwise.
int RefuseControlBytes(std::string_view value, std::string_view what, std::string& errorText);

enum class NumberRead { kOk, kNoDigits, kTooLarge };

// Blanks and tabs, an optional "-", then digits of base 10 or 16 up to the
// first other byte, as the protocol's numbers are read. kTooLarge when the
// value does not fit 64 bits signed; value is then the limit of its sign.
NumberRead ReadNumber(std::string_view text, int base, int64_t& value) noexcept;

}  // namespace rssvane
