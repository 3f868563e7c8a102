#include <gtest/gtest.h>

#include <string>

#include "base/utf8.hpp"
#include "console/key_source.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {

// Failures show a typed key's fields (found by gtest next to TypedKey).
void PrintTo(const TypedKey& k, std::ostream* os) {
    *os << "kind " << static_cast<int>(k.kind) << " code " << k.code << " U+" << std::hex
        << static_cast<unsigned>(k.character);
}

namespace {

TEST(Utf8Text, DecodesToCodePointsWithReplacementForBadBytes) {
    EXPECT_EQ(decode_text("a√π😀"), U"a√π😀");
    EXPECT_EQ(decode_text("a\xFF" "b"), U"a\uFFFDb");
    EXPECT_EQ(decode_text("\xE2\x88"), U"\uFFFD\uFFFD");          // cut sequence: each byte once
    EXPECT_EQ(decode_text("\xC0\xAF"), U"\uFFFD\uFFFD");          // overlong "/" is not a slash
    EXPECT_EQ(decode_text("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(decode_text(""), U"");
}

TEST(Utf8Text, EncodesEveryPlaneAndRefusesNonCharacters) {
    EXPECT_EQ(encode_text(U"A±√😀"), "A\xC2\xB1\xE2\x88\x9A\xF0\x9F\x98\x80");
    EXPECT_EQ(encode_text(std::u32string(1, char32_t{0xD800})), "\uFFFD");
    EXPECT_EQ(encode_text(std::u32string(1, char32_t{0x110000})), "\uFFFD");
    const std::string round = "DX ≤ 0. Θ µs »";
    EXPECT_EQ(encode_text(decode_text(round)), round);
}

TEST(Utf8Text, WidthsCountCharactersNotBytes) {
    EXPECT_EQ(character_count("Mid frequency (Hz) [=√(Fu*Fl)]:"), 31u);
    EXPECT_EQ(character_count("a\xFF"), 2u);
    EXPECT_EQ(first_characters("π≤ab", 2), "π≤");
    EXPECT_EQ(first_characters("π≤ab", 9), "π≤ab");
    EXPECT_EQ(first_characters("ab", 0), "");
    EXPECT_EQ(padded_characters("µs", 4), "µs  ");
    EXPECT_EQ(padded_characters("αβγδ", 2), "αβ");
    EXPECT_EQ(character_count(padded_characters("Θ", 80)), 80u);
}

TEST(TypedKeys, AssembleNonAsciiCharactersFromTheirUtf8Bytes) {
    ScriptKeySource keys;
    keys.text("aé");
    keys.extended(kKeyHome);
    keys.text("\xE0\xA4\x95");   // U+0915: its lead byte is the extended prefix's value
    keys.text("😀");
    keys.key(kKeyCtrlA);
    using Kind = TypedKey::Kind;
    const TypedKey expected[] = {
        {Kind::plain, 'a', 0},           {Kind::character, 0, U'é'},      {Kind::extended, kKeyHome, 0},
        {Kind::character, 0, U'\u0915'}, {Kind::character, 0, U'😀'},   {Kind::plain, kKeyCtrlA, 0},
    };
    for (const TypedKey& k : expected) EXPECT_EQ(read_typed_key(keys), k);
    EXPECT_TRUE(keys.exhausted());
}

TEST(TypedKeys, StrayBytesAreIgnoredNotMisread) {
    ScriptKeySource keys;
    keys.text("\xB5" "x" "\xC3" "y");   // a lone continuation byte; a lead byte cut by 'y'
    using Kind = TypedKey::Kind;
    const TypedKey expected[] = {
        {Kind::none, 0, 0}, {Kind::plain, 'x', 0},
        {Kind::none, 0, 0},             // takes the 'y' with it
        {Kind::plain, kKeyEscape, 0},   // exhausted
    };
    for (const TypedKey& k : expected) EXPECT_EQ(read_typed_key(keys), k);
}

}  // namespace
}  // namespace zeph
