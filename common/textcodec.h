#pragma once
// Conversion between UTF-8 (inside the program) and the Japanese code page
// CP932 / Windows-31J (the program's text files), at the file boundary.
#include <string>
#include <string_view>

namespace varenta {

// UTF-8 -> CP932.  Characters the code page lacks become '?'.
std::string toCodePage(std::string_view utf8);
// CP932 -> UTF-8.  Invalid bytes become U+FFFD.
std::string fromCodePage(std::string_view cp932);

// Width in bytes of a UTF-8 text once written in the code page (half-width
// katakana and ASCII one byte, other characters two).
std::size_t codePageWidth(std::string_view utf8);

// The longest prefix of a UTF-8 text whose code-page width is at most
// maxBytes, cut at a whole character.
std::string cutToCodePageWidth(std::string_view utf8, std::size_t maxBytes);

// The longest suffix of a UTF-8 text whose code-page width is at most
// maxBytes, cut at a whole character.
std::string keepRightCodePageWidth(std::string_view utf8, std::size_t maxBytes);

}  // namespace varenta
