#pragma once
// UTF-8 text, the form every text of the program takes in memory and in its
// files. Widths and columns count characters (code points), never bytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zeph {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// One UTF-8 encoded character: its code point and its length in bytes.
struct Utf8Char {
    char32_t code_point = 0;
    std::size_t length = 0;
};

// The valid UTF-8 multibyte character starting at byte `i` of `text`; nothing
// for an ASCII byte or a malformed, overlong, surrogate or truncated sequence.
std::optional<Utf8Char> decode_utf8(std::string_view text, std::size_t i);

// The character at byte `i`: ASCII as itself, a valid sequence as its code
// point, and any other byte as U+FFFD of length 1 (so a scan always moves on).
Utf8Char next_character(std::string_view text, std::size_t i);

// The whole text as code points; invalid bytes become U+FFFD.
std::u32string decode_text(std::string_view text);

// UTF-8 for a code point; surrogates and values past U+10FFFF become U+FFFD.
void append_utf8(std::string& out, char32_t code_point);
std::string encode_text(std::u32string_view text);

// Characters in the text (an invalid byte counts as one).
std::size_t character_count(std::string_view text);
// The text's first `count` characters, never a part of one.
std::string_view first_characters(std::string_view text, std::size_t count);
// The text cut or blank-padded to exactly `width` characters.
std::string padded_characters(std::string_view text, std::size_t width);

// True when `byte` can only continue a UTF-8 sequence (10xxxxxx).
constexpr bool is_continuation_byte(unsigned char byte) { return (byte & 0xC0) == 0x80; }
// The length a UTF-8 sequence with this lead byte has; 0 for a byte that
// cannot lead one (ASCII, continuation bytes, 0xC0, 0xC1, 0xF5..0xFF).
constexpr std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace zeph
