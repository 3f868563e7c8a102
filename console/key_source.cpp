#include "console/key_source.hpp"

#include <string>

#include "base/utf8.hpp"

namespace zeph {

namespace {

TypedKey character_from(const std::string& bytes) {
    const std::optional<Utf8Char> c = decode_utf8(bytes, 0);
    if (!c || c->length != bytes.size()) return {};
    return {TypedKey::Kind::character, 0, c->code_point};
}

}  // namespace

TypedKey read_typed_key(KeySource& keys) {
    const int first = keys.read_key();
    if (first < 0x80) return {TypedKey::Kind::plain, first, 0};
    std::string bytes(1, static_cast<char>(first));
    if (first == kKeyExtended) {
        const int second = keys.read_key();
        if (second < 0x80) return {TypedKey::Kind::extended, second, 0};
        bytes.push_back(static_cast<char>(second));
    }
    const std::size_t length = sequence_length(static_cast<unsigned char>(first));
    if (length == 0 || first > 0xFF) return {};   // a stray continuation or invalid byte
    while (bytes.size() < length) {
        const int next = keys.read_key();
        if (next < 0x80 || next > 0xFF || !is_continuation_byte(static_cast<unsigned char>(next))) return {};
        bytes.push_back(static_cast<char>(next));
    }
    return character_from(bytes);
}

}  // namespace zeph
