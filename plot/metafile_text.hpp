#pragma once
// Plot text for the metafile, whose text records hold 8-bit characters in the
// font's character set. The writer asks for the ANSI set (Windows-1252), so a
// character that set has is written as its byte. Greek letters and the
// mathematical signs it lacks get a plain substitute ("pi", "Theta", "sqrt",
// "<=", ...), and anything else "?": the Symbol set would hold the Greek
// letters, but a text record has one font, and a label mixes both.
#include <string>
#include <string_view>

namespace zeph {

// The UTF-8 text as Windows-1252 bytes with substitutes; bytes that are no
// valid UTF-8 become "?".
std::string metafile_text(std::string_view utf8);

}  // namespace zeph
