#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "console/terminal_input.hpp"

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

TEST(LateAnswerFilter, MakesMouseReportsIntoOneInputEach) {
    const std::vector<TerminalInput> reports = keys_after(characters("a\x1b[<64;50;20Mb\x1b[<0;1;2m\x1b[<35;7;9M"));
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[0], characters("a")[0]);
    EXPECT_EQ(reports[1].mouse, (SgrMouse{64, 50, 20, false}));
    EXPECT_EQ(reports[2], characters("b")[0]);
    EXPECT_EQ(reports[3].mouse, (SgrMouse{0, 1, 2, true}));
    EXPECT_EQ(reports[4].mouse, (SgrMouse{35, 7, 9, false}));
    // What only looks like a report is given back as keys.
    for (const std::string text : {"\x1b[<64;50M", "\x1b[<;1;2M", "\x1b[<1;0;2M", "\x1b[<1;2;3c", "\x1b[<1;2;3;4M"})
        EXPECT_EQ(keys_after(characters(text)), characters(text)) << text.substr(1);
}

TEST(PointerOf, ReadsButtonsWheelMotionAndModifiers) {
    const auto press = pointer_of({0, 10, 5, false});
    ASSERT_TRUE(press);
    EXPECT_EQ(press->kind, PointerReport::Kind::press);
    EXPECT_EQ(press->x, 9.5);   // the cell's centre, counted from 0
    EXPECT_EQ(press->y, 4.5);
    EXPECT_EQ(pointer_of({0, 10, 5, true})->kind, PointerReport::Kind::release);
    EXPECT_EQ(pointer_of({32, 10, 5, false})->kind, PointerReport::Kind::motion);   // dragged
    EXPECT_EQ(pointer_of({35, 10, 5, false})->kind, PointerReport::Kind::motion);   // moved, no button
    const auto up = pointer_of({64 + 4, 1, 1, false});
    EXPECT_EQ(up->kind, PointerReport::Kind::wheel);
    EXPECT_EQ(up->wheel, 1);
    EXPECT_TRUE(up->shift);
    const auto down = pointer_of({65 + 16, 1, 1, false});
    EXPECT_EQ(down->wheel, -1);
    EXPECT_TRUE(down->ctrl);
    EXPECT_FALSE(pointer_of({2, 1, 1, false}));    // the right button
    EXPECT_FALSE(pointer_of({34, 1, 1, false}));   // dragged with the right button
    EXPECT_FALSE(pointer_of({66, 1, 1, false}));   // a sideways wheel
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
