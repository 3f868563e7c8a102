#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "window/terminal_input.hpp"

namespace zeph {
namespace {

// --- late answers -----------------------------------------------------------------

constexpr int kArrowCode = 0402;   // a function key code, as the terminal library gives one

std::vector<TerminalInput> characters(std::string_view text) {
    std::vector<TerminalInput> inputs;
    for (const char c : text) inputs.push_back({static_cast<unsigned char>(c), false});
    return inputs;
}

// Everything the filter lets through when `inputs` arrive and then nothing more.
std::vector<TerminalInput> keys_after(const std::vector<TerminalInput>& inputs) {
    LateAnswerFilter filter;
    std::vector<TerminalInput> keys;
    for (const TerminalInput& input : inputs) {
        for (const TerminalInput& key : filter.feed(input)) keys.push_back(key);
    }
    for (const TerminalInput& key : filter.flush()) keys.push_back(key);
    EXPECT_FALSE(filter.holding());
    return keys;
}

std::vector<TerminalInput> joined(std::initializer_list<std::vector<TerminalInput>> parts) {
    std::vector<TerminalInput> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(LateAnswerFilter, DropsAnswersArrivingBetweenKeys) {
    // Device attributes, text area in pixels, text area in cells, cursor position.
    for (const std::string answer : {"\x1b[?62;4;22c", "\x1b[4;864;1280t", "\x1b[8;50;80t", "\x1b[12;40R",
                                     "\x1b[>1;95;0c"}) {
        EXPECT_EQ(keys_after(characters("a" + answer + "b")), characters("ab")) << answer.substr(1);
    }
    // Right after an Esc typed by the user, and two answers back to back.
    EXPECT_EQ(keys_after(characters("\x1b\x1b[?62;4;22c\x1b[8;50;80tq")), characters("\x1bq"));
    // Between function keys.
    const std::vector<TerminalInput> arrow{{kArrowCode, true}};
    EXPECT_EQ(keys_after(joined({arrow, characters("\x1b[?1;2c"), arrow})), joined({arrow, arrow}));
}

TEST(LateAnswerFilter, GivesBackWhatIsNoAnswer) {
    EXPECT_EQ(keys_after(characters("\x1b")), characters("\x1b"));                  // Esc alone
    EXPECT_EQ(keys_after(characters("\x1bx")), characters("\x1bx"));
    EXPECT_EQ(keys_after(characters("\x1b[2~")), characters("\x1b[2~"));            // no answer's final
    EXPECT_EQ(keys_after(characters("\x1b[c")), characters("\x1b[c"));              // no parameters
    EXPECT_EQ(keys_after(characters("\x1b[12;4")), characters("\x1b[12;4"));        // cut off
    EXPECT_EQ(keys_after(characters("[12;40R")), characters("[12;40R"));            // no Esc
    const std::vector<TerminalInput> arrow{{kArrowCode, true}};
    EXPECT_EQ(keys_after(joined({characters("\x1b["), arrow})), joined({characters("\x1b["), arrow}));
    const std::string endless = "\x1b[" + std::string(100, '1') + "c";               // too long for an answer
    EXPECT_EQ(keys_after(characters(endless)), characters(endless));
}

TEST(LateAnswerFilter, HoldsOnlyWhileAnAnswerMayBeComing) {
    LateAnswerFilter filter;
    EXPECT_EQ(filter.feed({'a', false}), characters("a"));
    EXPECT_FALSE(filter.holding());
    EXPECT_TRUE(filter.feed({27, false}).empty());
    EXPECT_TRUE(filter.holding());
    EXPECT_TRUE(filter.feed({'[', false}).empty());
    EXPECT_TRUE(filter.feed({'6', false}).empty());
    EXPECT_TRUE(filter.feed({'c', false}).empty());
    EXPECT_FALSE(filter.holding());
}

// --- characters in the locale's encoding --------------------------------------

class InLocale {
public:
    explicit InLocale(const char* name) : saved_(std::setlocale(LC_CTYPE, nullptr)) {
        available_ = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~InLocale() { std::setlocale(LC_CTYPE, saved_.c_str()); }
    bool available() const { return available_; }

private:
    std::string saved_;
    bool available_ = false;
};

TEST(CharacterAssembler, RefusesEveryByteBeyondAsciiInTheCLocale) {
    const InLocale c("C");
    CharacterAssembler assembler;
    char32_t character = 0;
    for (const int byte : {0xC3, 0xA9, 0xE9, 0x80, 0xFF}) {
        EXPECT_EQ(assembler.feed(static_cast<unsigned char>(byte), character), CharacterAssembler::Result::refused)
            << byte;
        EXPECT_FALSE(assembler.incomplete());
    }
}

TEST(CharacterAssembler, PutsUtf8SequencesTogetherAndRefusesBrokenOnes) {
    const InLocale utf8("C.UTF-8");
    if (!utf8.available()) GTEST_SKIP() << "no C.UTF-8 locale";
    using Result = CharacterAssembler::Result;
    CharacterAssembler assembler;
    char32_t character = 0;
    EXPECT_EQ(assembler.feed(0xC3, character), Result::incomplete);
    EXPECT_TRUE(assembler.incomplete());
    EXPECT_EQ(assembler.feed(0xA9, character), Result::character);
    EXPECT_EQ(character, U'\u00E9');
    EXPECT_FALSE(assembler.incomplete());
    // Three bytes of €.
    EXPECT_EQ(assembler.feed(0xE2, character), Result::incomplete);
    EXPECT_EQ(assembler.feed(0x82, character), Result::incomplete);
    EXPECT_EQ(assembler.feed(0xAC, character), Result::character);
    EXPECT_EQ(character, U'\u20AC');
    // A stray continuation byte and a Latin-1 é are no text here.
    EXPECT_EQ(assembler.feed(0xA9, character), Result::refused);
    EXPECT_EQ(assembler.feed(0xE9, character), Result::incomplete);   // looks like a three-byte start
    EXPECT_EQ(assembler.feed(0xE9, character), Result::incomplete);   // breaks it and begins anew
    assembler.reset();
    EXPECT_FALSE(assembler.incomplete());
    // After a reset the next character comes whole.
    EXPECT_EQ(assembler.feed(0xC2, character), Result::incomplete);
    EXPECT_EQ(assembler.feed(0xB5, character), Result::character);
    EXPECT_EQ(character, U'\u00B5');
}

}  // namespace
}  // namespace zeph
