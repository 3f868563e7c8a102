#include <gtest/gtest.h>

#define NCURSES_NOMACROS 1
#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include "console/terminal.hpp"

namespace zeph {
namespace {

constexpr TerminalKeyCodes kCodes{KEY_MAX + 17, KEY_MAX + 18};

std::optional<ConsoleKey> function_key(int code) {
    return console_key_from_terminal(code, true, kCodes);
}
std::optional<ConsoleKey> character(int code) {
    return console_key_from_terminal(code, false, kCodes);
}

TEST(TerminalKeys, NavigationKeysBecomeExtendedConsoleKeys) {
    const struct {
        int curses;
        int console;
    } cases[] = {
        {KEY_LEFT, kKeyLeft},     {KEY_RIGHT, kKeyRight},     {KEY_UP, kKeyUp},
        {KEY_DOWN, kKeyDown},     {KEY_PPAGE, kKeyPageUp},    {KEY_NPAGE, kKeyPageDown},
        {KEY_HOME, kKeyHome},     {KEY_END, kKeyEnd},         {KEY_DC, kKeyDelete},
        {KEY_A1, kKeyHome},       {KEY_C1, kKeyEnd},          {KEY_A3, kKeyPageUp},
        {KEY_C3, kKeyPageDown},   {kCodes.ctrl_left, kKeyCtrlLeft},
        {kCodes.ctrl_right, kKeyCtrlRight},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(function_key(c.curses), (ConsoleKey{c.console, true})) << c.curses;
    }
}

TEST(TerminalKeys, EnterBackspaceAndControlKeysArePlainBytes) {
    for (int enter : {'\r', '\n'}) EXPECT_EQ(character(enter), (ConsoleKey{kKeyEnter, false}));
    EXPECT_EQ(function_key(KEY_ENTER), (ConsoleKey{kKeyEnter, false}));
    for (int erase : {127, 8}) EXPECT_EQ(character(erase), (ConsoleKey{kKeyBackspace, false}));
    EXPECT_EQ(function_key(KEY_BACKSPACE), (ConsoleKey{kKeyBackspace, false}));
    EXPECT_EQ(character(27), (ConsoleKey{kKeyEscape, false}));
    EXPECT_EQ(character(22), (ConsoleKey{kKeyPaste, false}));
    EXPECT_EQ(character('/'), (ConsoleKey{'/', false}));
    EXPECT_EQ(character('z'), (ConsoleKey{'z', false}));
}

TEST(TerminalKeys, NonAsciiCharactersComeAsTheirCodePoints) {
    EXPECT_EQ(character(0x00B1), (ConsoleKey{0xB1, false}));
    EXPECT_EQ(character(0x03BC), (ConsoleKey{0x3BC, false}));   // Greek mu stays Greek mu
    EXPECT_EQ(character(0x00E0), (ConsoleKey{0xE0, false}));    // plain, not the extended prefix
    EXPECT_EQ(character(0x20AC), (ConsoleKey{0x20AC, false}));
    EXPECT_EQ(character(0x1F600), (ConsoleKey{0x1F600, false}));
    EXPECT_EQ(character(0x009B), std::nullopt);   // C1 controls
    EXPECT_EQ(character(0xD800), std::nullopt);   // no surrogate
    EXPECT_EQ(character(0x110000), std::nullopt);
}

TEST(TerminalKeys, OtherFunctionKeysAreIgnored) {
    EXPECT_EQ(function_key(KEY_F(1)), std::nullopt);
    EXPECT_EQ(function_key(KEY_IC), std::nullopt);
    EXPECT_EQ(function_key(KEY_MAX + 19), std::nullopt);
    // A terminal without Ctrl+arrow codes: unknown codes stay unknown.
    EXPECT_EQ(console_key_from_terminal(KEY_MAX + 17, true, TerminalKeyCodes{}), std::nullopt);
    EXPECT_EQ(console_key_from_terminal(-1, true, TerminalKeyCodes{}), std::nullopt);
}

TEST(ClipboardText, BecomesOneLineOfUtf8) {
    EXPECT_EQ(clipboard_line("1e3 \u00B1 2 \u00B5s"), "1e3 \u00B1 2 \u00B5s");
    EXPECT_EQ(clipboard_line("first line\r\nsecond"), "first line");
    EXPECT_EQ(clipboard_line("/tmp/caf\u00E9/\u03C0.wav"), "/tmp/caf\u00E9/\u03C0.wav");
    EXPECT_EQ(clipboard_line("a\xFF\xC3z"), "az");   // stray bytes dropped
    EXPECT_EQ(clipboard_line(""), "");
}

}  // namespace
}  // namespace zeph
