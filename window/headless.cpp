#include "window/headless.hpp"

#include "base/stop_request.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace zeph {

namespace {

std::string_view utf8_of_console_byte(unsigned char b) {
    switch (b) {
        case kBytePlusMinus: return "\xC2\xB1";
        case kByteMicro: return "\xC2\xB5";
        case kByteMarker: return "\xC2\xBB";
        default: return {};
    }
}

struct KeyName {
    std::string_view name;
    ConsoleKey key;
};

constexpr std::array kKeyNames{
    KeyName{"<ESC>", {kKeyEscape, false}},        KeyName{"<ENTER>", {kKeyEnter, false}},
    KeyName{"<LEFT>", {kKeyLeft, true}},          KeyName{"<RIGHT>", {kKeyRight, true}},
    KeyName{"<UP>", {kKeyUp, true}},              KeyName{"<DOWN>", {kKeyDown, true}},
    KeyName{"<PGUP>", {kKeyPageUp, true}},        KeyName{"<PGDN>", {kKeyPageDown, true}},
    KeyName{"<HOME>", {kKeyHome, true}},          KeyName{"<END>", {kKeyEnd, true}},
    KeyName{"<DEL>", {kKeyDelete, true}},         KeyName{"<CTRL-LEFT>", {kKeyCtrlLeft, true}},
    KeyName{"<CTRL-RIGHT>", {kKeyCtrlRight, true}},
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<Utf8Char> decode_utf8(std::string_view text, std::size_t i) {
    if (i >= text.size()) return std::nullopt;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t code_point = 0;
    unsigned char low = 0x80, high = 0xBF;   // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code_point = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code_point = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    if (byte(i + 1) < low || byte(i + 1) > high) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return std::nullopt;
        code_point = (code_point << 6) | (byte(i + k) & 0x3F);
    }
    return Utf8Char{code_point, length};
}

std::string utf8_from_console_bytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + 8);
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::optional<Utf8Char> c = decode_utf8(bytes, i)) {
            text.append(bytes.substr(i, c->length));
            i += c->length;
            continue;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        const std::string_view converted = utf8_of_console_byte(b);
        if (converted.empty()) {
            text.push_back(bytes[i]);
        } else {
            text.append(converted);
        }
        ++i;
    }
    return text;
}

ConsoleKey key_from_reply_line(std::string_view line) {
    if (line.empty()) return {kKeyEnter, false};
    for (const KeyName& k : kKeyNames) {
        if (equal_ignoring_case(line, k.name)) return k.key;
    }
    return {static_cast<unsigned char>(line.front()), false};
}

void HeadlessPresenter::transcript(std::string_view line) {
    if (!out_) return;
    const std::string text = utf8_from_console_bytes(line);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

int StreamKeySource::read_key() {
    if (pending_code_ >= 0) {
        const int code = pending_code_;
        pending_code_ = -1;
        return code;
    }
    const std::optional<std::string> line = read_line();
    if (!line) return kKeyEscape;
    const ConsoleKey key = key_from_reply_line(*line);
    if (!key.extended) return key.code;
    pending_code_ = key.code;
    return kKeyExtended;
}

std::optional<std::string> StreamKeySource::read_line() {
    if (!in_ || stop_requested()) return std::nullopt;
    std::string line;
    bool got_any = false;
    for (int c = std::getc(in_); c != EOF && !stop_requested(); c = std::getc(in_)) {
        got_any = true;
        if (c == '\n') break;
        if (line.size() < kMaxLineBytes) line.push_back(static_cast<char>(c));
    }
    if (!got_any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace zeph
