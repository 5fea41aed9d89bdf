#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// Result codes of the engine. 0 is success; every failing operation returns
// one of these and leaves a message in its object's last error text.
enum : int {
  kOk = 0,
  kErrUnknownConfig = -1,
  kErrFileReadFirst = 5,  // 5 to 10: reading a local file
  kErrFileReadLast = 10,
  kErrFirewall = 118,  // the firewall refused, failed or broke the negotiation
  kErrFileWrite = 128,
  kErrBusy = 143,
  // A final status neither successful nor followed, a refused request or a
  // response that cannot be read to its end.
  kErrHttp = 151,
  kErrNoServer = 152,
  kErrUrlScheme = 153,
  kErrOutOfMemory = 200,
  kErrListPosition = 228,
  kErrListMemory = 229,
  kErrInvalidVersion = 230,
  kErrNamespaceCount = 231,
  kErrInvalidIndex = 232,
  kErrPropertyPath = 233,
  kErrVersionCheck = 234,
  kErrCodePage = 235,
  // A document whose encoding is unknown, not the one it is written in, or
  // holds what the code page cannot take where no reference can stand.
  kErrDocumentEncoding = 236,
  kErrInterrupted = 301,
  kErrFileOpen = 302,
  kErrStringList = 432,
};

// The socket library's text for code, or an empty view for a code it does not
// describe. "Directory not empt" is spelled the way hosts have always seen it.
std::string_view SocketErrorText(int code) noexcept;

// What a host sees for an engine code c other than 0: the HRESULT, the error
// number (its low 16 bits) and the description.
struct AutomationFailure {
  uint32_t hresult;
  int number;
  std::string description;
};

uint32_t HResultForCode(int code) noexcept;
inline int ErrorNumberOf(uint32_t hresult) noexcept { return static_cast<int>(hresult & 0xFFFFu); }
// The description for code when the engine left lastErrorText behind.
std::string DescriptionForCode(int code, std::string_view lastErrorText);
AutomationFailure FailureForCode(int code, std::string_view lastErrorText);

// HRESULTs of failures raised by the interface itself.
inline constexpr uint32_t kHrOutOfMemory = 0x800A0007u;
inline constexpr uint32_t kHrValueOutOfRange = 0x800A017Cu;
inline constexpr uint32_t kHrInvalidArrayIndex = 0x800A017Du;
inline constexpr uint32_t kHrReadOnly = 0x800A017Fu;
inline constexpr uint32_t kHrRuntimeOnly = 0x800A018Au;
// Raised by late-bound access: argument coercion and member look-up.
inline constexpr uint32_t kHrOverflow = 0x800A0006u;
inline constexpr uint32_t kHrTypeMismatch = 0x800A000Du;
inline constexpr uint32_t kHrMemberNotFound = 0x800A01B6u;
inline constexpr uint32_t kHrWrongArguments = 0x800A01C2u;

}  // namespace rssvane
