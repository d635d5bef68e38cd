#pragma once
// Text encodings of project files. Files saved by other editors may be UTF-16
// with a byte-order mark; everything inside the program is UTF-8.
#include <string>
#include <string_view>

namespace rivulo {

// Code units from raw bytes, two at a time while a whole pair remains (a last
// odd byte is ignored), low byte first unless `bigEndian`.
std::u16string utf16UnitsFromBytes(std::string_view bytes, bool bigEndian);

// UTF-16 to UTF-8. Surrogate pairs become one four-byte sequence; a surrogate
// without its partner becomes U+FFFD, so every input converts.
std::string utf16ToUtf8(std::u16string_view units);

// Appends the UTF-8 form of one code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace rivulo
