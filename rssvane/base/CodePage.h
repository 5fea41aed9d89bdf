#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rssvane {

// Conversion between the component's narrow text and wide (UTF-16) or UTF-8
// text. Code pages keep their Windows numbers (1252, 932, 65001, 28591, ...);
// 0 is the system's narrow encoding, the locale's codeset, which is UTF-8 on
// any current Linux (and taken to be UTF-8 when the locale is plain "C").
// Bytes that do not convert become U+FFFD; characters the code page lacks
// become "?", as the platform's own conversion did.

// The iconv name for a code page, or empty text for a number we cannot map.
std::string CodePageName(int codePage);
// True when text converts to and from the code page on this system.
bool CodePageAvailable(int codePage);
// True when the code page is UTF-8 (65001, or 0 on a UTF-8 system).
bool CodePageIsUtf8(int codePage);
// The bytes of one character (a Unicode code point) in the code page, or
// false when the code page has no such character.
bool CharacterToNarrow(uint32_t codePoint, int codePage, std::string& out);
// The same into a small buffer, for a caller that converts many characters
// one by one: the length of the bytes written, 0 when the code page has no
// such character, or kNarrowCharacterLong when its bytes would not fit (the
// string form above then has them).
inline constexpr size_t kNarrowCharacterRoom = 16;
inline constexpr size_t kNarrowCharacterLong = static_cast<size_t>(-1);
size_t CharacterToNarrow(uint32_t codePoint, int codePage, char (&out)[kNarrowCharacterRoom]);
// True when code page 0 is a double-byte Japanese encoding, which makes the
// XML reader's multi-byte mode the default.
bool SystemCodePageIsJapanese();

// Each returns false, leaving out empty, when the code page is unknown.
bool NarrowToWide(std::string_view narrow, int codePage, std::u16string& out);
bool WideToNarrow(std::u16string_view wide, int codePage, std::string& out);
bool NarrowToUtf8(std::string_view narrow, int codePage, std::string& out);
bool Utf8ToNarrow(std::string_view utf8, int codePage, std::string& out);

}  // namespace rssvane
