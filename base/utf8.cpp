#include "base/utf8.hpp"

namespace zeph {

std::optional<Utf8Char> decode_utf8(std::string_view text, std::size_t i) {
    if (i >= text.size()) return std::nullopt;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = sequence_length(lead);
    if (length == 0 || i + length > text.size()) return std::nullopt;
    unsigned char low = 0x80, high = 0xBF;   // allowed range of the second byte
    if (lead == 0xE0) low = 0xA0;            // overlong
    if (lead == 0xED) high = 0x9F;           // surrogates
    if (lead == 0xF0) low = 0x90;            // overlong
    if (lead == 0xF4) high = 0x8F;           // past U+10FFFF
    if (byte(i + 1) < low || byte(i + 1) > high) return std::nullopt;
    char32_t code_point = lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if (!is_continuation_byte(byte(i + k))) return std::nullopt;
        code_point = (code_point << 6) | (byte(i + k) & 0x3F);
    }
    return Utf8Char{code_point, length};
}

Utf8Char next_character(std::string_view text, std::size_t i) {
    if (i >= text.size()) return {kReplacementCharacter, 1};
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) return {b, 1};
    if (const std::optional<Utf8Char> c = decode_utf8(text, i)) return *c;
    return {kReplacementCharacter, 1};
}

std::u32string decode_text(std::string_view text) {
    std::u32string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = next_character(text, i);
        result.push_back(c.code_point);
        i += c.length;
    }
    return result;
}

void append_utf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacementCharacter;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string encode_text(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) append_utf8(out, c);
    return out;
}

std::size_t character_count(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += next_character(text, i).length) ++count;
    return count;
}

std::string_view first_characters(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; n < count && i < text.size(); ++n) i += next_character(text, i).length;
    return text.substr(0, i);
}

std::string padded_characters(std::string_view text, std::size_t width) {
    const std::string_view kept = first_characters(text, width);
    std::string result(kept);
    result.append(width - character_count(kept), ' ');
    return result;
}

}  // namespace zeph
