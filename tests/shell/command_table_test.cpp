// The command table drives the word scan, the dispatch and the help screen,
// so a row that is wrong in itself shows in all three: check each row.
#include "shell/command_table.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shell/help_screen.hpp"
#include "console/text_console.hpp"

namespace zeph {
namespace {

TEST(CommandTable, EachWordOnceWithWhatItsKindNeeds) {
    std::set<std::string_view> words;
    int operations = 0;
    for (const CommandWord& w : command_words()) {
        EXPECT_TRUE(words.insert(w.word).second) << w.word;
        EXPECT_EQ(w.word.size(), 2u) << w.word;
        switch (w.kind) {
        case WordKind::line_command:
        case WordKind::command:
            EXPECT_NE(w.action, LineAction::execute) << w.word;
            EXPECT_NE(w.run, nullptr) << w.word;
            break;
        case WordKind::read:
            EXPECT_NE(w.run, nullptr) << w.word;
            break;
        case WordKind::function:
            EXPECT_EQ(function_for(w.domain, w.mode), &w) << w.word;
            EXPECT_EQ(w.label.size(), 13u) << w.word;
            break;
        case WordKind::operation:
            ++operations;
            // One handler, except CR, whose data check is all it does.
            EXPECT_EQ((w.run != nullptr) + (w.run_on_signal != nullptr), w.data == DataNeed::remade ? 0 : 1)
                << w.word;
            break;
        case WordKind::parameter:
            EXPECT_LE(w.label.size(), 20u) << w.word;
            EXPECT_NE(w.parameter.derive, nullptr) << w.word;
            // A parameter that may be shown in dB has a curve or an image to convert.
            if (w.parameter.decibels != DbForm::none) {
                EXPECT_NE(w.parameter.shape, ResultShape::xy) << w.word;
            }
            // An image, and only an image, shows itself.
            EXPECT_EQ(w.parameter.show_image != nullptr, w.parameter.shape == ResultShape::image) << w.word;
            break;
        case WordKind::option:
            EXPECT_NE(w.flag, nullptr) << w.word;
            // Only an output has a handler: the display ends in it.
            EXPECT_EQ(w.run != nullptr, w.rules.group == OptionGroup::output) << w.word;
            break;
        }
    }
    EXPECT_EQ(operations, 19);
}

TEST(CommandTable, EveryActionHasItsCommand) {
    for (const auto& [action, word] : {std::pair{LineAction::replay, "RL"}, std::pair{LineAction::end, "EN"},
                                       std::pair{LineAction::system, "SY"}, std::pair{LineAction::allocate, "AL"},
                                       std::pair{LineAction::set_range, "SE"}}) {
        const CommandWord* command = command_for(action);
        ASSERT_NE(command, nullptr) << word;
        EXPECT_EQ(command->word, word);
    }
    EXPECT_EQ(command_for(LineAction::execute), nullptr);
}

// Help entries start with their word, name their NO-form, fit the 44 x 80
// screen and never overlap each other (an entry also owns the cell before it).
TEST(CommandTable, HelpEntriesStartWithTheWordAndDoNotOverlap) {
    std::set<std::pair<int, int>> taken;
    for (const CommandWord& w : command_words()) {
        if (w.help.row == 0) {
            // The words the help screen does not list: RL, and RC (no free cell in the commands' row).
            EXPECT_TRUE(w.word == "RL" || w.word == "RC") << w.word;
            continue;
        }
        EXPECT_TRUE(w.help.text.starts_with(w.word)) << w.help.text;
        if (w.has_no_form) {
            EXPECT_NE(w.help.text.find(", NO" + std::string(w.word)), std::string_view::npos) << w.word;
        }
        EXPECT_GE(w.help.row, 2);
        EXPECT_LE(w.help.row, kHelpRows);
        EXPECT_GE(w.help.column, 2);
        EXPECT_LE(w.help.column - 1 + static_cast<int>(w.help.text.size()), TextConsole::kColumns) << w.word;
        for (int column = w.help.column - 1; column < w.help.column + static_cast<int>(w.help.text.size()); ++column)
            EXPECT_TRUE(taken.insert({w.help.row, column}).second) << w.word << " at " << w.help.row << "," << column;
    }
}

}  // namespace
}  // namespace zeph
