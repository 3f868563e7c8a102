#include "input/prompt.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include "tests/support/file_text.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

double fixed_seed() { return 0.0; }

class PromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("zeph-prompt-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
        ASSERT_TRUE(session_.log.create(log_path(), "/work", "", ""));
        console_.set_presenter(&presenter_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string log_path() const { return (directory_ / "ZEPH32.TMP").string(); }
    std::string saved_log() {
        const auto path = directory_ / "saved.RL";
        EXPECT_TRUE(session_.log.save_as(path.string()));
        return testing::file_text(path);
    }

    bool ask(ScriptKeySource& keys, PromptRequest& request) {
        Prompter prompter(console_, keys, interpreter_, session_);
        return prompter.ask(message_, request);
    }

    std::filesystem::path directory_;
    TextConsole console_;
    RecordingPresenter presenter_;
    Interpreter interpreter_{fixed_seed};
    InputSession session_;
    std::string message_;
};

PromptRequest numeric(std::array<double, 4> values, int count, std::string_view default_reply = "") {
    return PromptRequest{.title = "Title row", .prompt = "Enter values:", .current = {},
                         .default_reply = default_reply, .mode = 'N', .value_count = count, .values = values};
}

TEST_F(PromptTest, BlockRowsAndAttributes) {
    ScriptKeySource keys;
    keys.text("7 /").enter();
    PromptRequest request = numeric({5, 6, 0, 0}, 2, "1. 0.");
    // Check the block as drawn before the reply: the key source is read after the draw.
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(console_.row_text(45), "Title row");
    EXPECT_EQ(console_.cell(45, 1).attribute, kTitleAttribute);
    EXPECT_EQ(console_.row_text(47), "/ 5.  6.");
    EXPECT_EQ(console_.cell(47, 1).attribute, kMarkAttribute);
    EXPECT_EQ(console_.cell(47, 3).attribute, kValueAttribute);
    EXPECT_EQ(console_.row_text(48), "<Enter>1. 0.");
    EXPECT_EQ(console_.cell(48, 8).attribute, kValueAttribute);
    EXPECT_EQ(console_.row_text(46), "Working....");
    EXPECT_EQ(console_.cell(46, 1).attribute, kWorkingAttribute);
    EXPECT_EQ(request.values[0], 7.0);
    EXPECT_EQ(request.values[1], 6.0);   // the empty second field keeps its value
    EXPECT_TRUE(presenter_.beeps.empty());
}

TEST_F(PromptTest, MessageShownInRedOnceWithFourDoubleBeeps) {
    message_ = "Something failed";
    ScriptKeySource keys;
    keys.text("x").enter();
    PromptRequest request{.title = "Title row", .prompt = "Name:"};
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(console_.row_text(45), "Something failed");
    EXPECT_EQ(console_.cell(45, 1).attribute, kMessageAttribute);
    EXPECT_TRUE(message_.empty());
    ASSERT_EQ(presenter_.beeps.size(), 8u);
    EXPECT_EQ(presenter_.beeps[0], (BeepRecord{800, 60}));
    EXPECT_EQ(presenter_.beeps[1], (BeepRecord{200, 60}));
    EXPECT_EQ(request.current, "x");
}

TEST_F(PromptTest, InvalidNumericReplyAsksAgainWithTheError) {
    ScriptKeySource keys;
    keys.enter();                      // blank reply, blank default: rejected
    keys.text("1 2 3").enter();        // three values for two
    keys.text("pi/4 2*PI").enter();
    PromptRequest request = numeric({0, 0, 0, 0}, 2);
    ASSERT_TRUE(ask(keys, request));
    EXPECT_NEAR(request.values[0], 0.7853981633974483, 1e-15);
    EXPECT_NEAR(request.values[1], 6.283185307179586, 1e-15);
    int errors = 0;
    for (const std::string& line : presenter_.lines) errors += line == kInvalidEntryMessage;
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(presenter_.beeps.size(), 16u);
}

TEST_F(PromptTest, EscapeCancelsAndChangesNothing) {
    ScriptKeySource keys;
    keys.text("99").escape();
    PromptRequest request = numeric({5, 0, 0, 0}, 1);
    EXPECT_FALSE(ask(keys, request));
    EXPECT_EQ(request.values[0], 5.0);
    EXPECT_EQ(saved_log(), "/work\n\n\n");
}

TEST_F(PromptTest, EditingKeysWorkOnCharactersNotBytes) {
    // "abcd", Left Left, Delete -> "abd", Backspace -> "ad", insert X -> "aXd";
    // the same over characters of two and three bytes.
    const struct {
        std::string typed, inserted, expected;
    } cases[] = {{"abcd", "X", "aXd"}, {"aπ√b", "Θ", "aΘb"}};
    for (const auto& c : cases) {
        ScriptKeySource keys;
        keys.text(c.typed).extended(kKeyLeft).extended(kKeyLeft).extended(kKeyDelete).backspace();
        keys.text(c.inserted).enter();
        PromptRequest request{.title = "t", .prompt = "Name:"};
        ASSERT_TRUE(ask(keys, request));
        EXPECT_EQ(request.current, c.expected);
        EXPECT_EQ(console_.row_text(kEditRow), c.expected);
    }
}

TEST_F(PromptTest, HomeEndAndCtrlAOrCtrlEMoveToTheEndsOfTheLine) {
    ScriptKeySource keys;
    keys.text("µs").extended(kKeyHome).text("[").extended(kKeyEnd).text("]").enter();
    keys.text("bc").key(kKeyCtrlA).text("a").key(kKeyCtrlE).text("d").enter();
    keys.text("x y  ").extended(kKeyHome).extended(kKeyEnd).text("z").enter();   // End: after the last non-blank
    PromptRequest request{.title = "t", .prompt = "Name:"};
    Prompter prompter(console_, keys, interpreter_, session_);
    for (const char* expected : {"[µs]", "abcd", "x yz"}) {
        ASSERT_TRUE(prompter.ask(message_, request));
        EXPECT_EQ(request.current, expected);
    }
}

TEST_F(PromptTest, EndStopsAtTheLastCursorColumn) {
    ScriptKeySource keys;
    keys.text(std::string(79, 'a')).extended(kKeyHome).extended(kKeyEnd).text("Z").enter();
    PromptRequest request{.title = "t", .prompt = "Name:"};
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.current, std::string(79, 'a') + "Z");
}

TEST_F(PromptTest, AUtf8FileNameIsKeptAsTypedOrPasted) {
    ScriptKeySource keys;
    keys.text("/tmp/año/π.wav").enter();
    keys.paste().enter();
    keys.set_clipboard("/données/ℤ€.txt");
    PromptRequest request{.title = "t", .prompt = "File:"};
    Prompter prompter(console_, keys, interpreter_, session_);
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(request.current, "/tmp/año/π.wav");
    EXPECT_EQ(console_.row_text(kEditRow), "/tmp/año/π.wav");
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(request.current, "/données/ℤ€.txt");
    EXPECT_NE(saved_log().find("/tmp/año/π.wav  *! File:\n"), std::string::npos);
}

TEST_F(PromptTest, AHeadlessFileNameThatIsNoUtf8KeepsItsBytes) {
    ScriptKeySource keys = ScriptKeySource::from_lines({"caf\xE9.wav"});   // a Latin-1 name on disk
    PromptRequest request{.title = "t", .prompt = "File:"};
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.current, "caf\xE9.wav");
    EXPECT_NE(saved_log().find("caf\xE9.wav    *! File:\n"), std::string::npos);
}

TEST_F(PromptTest, TheEightyCharacterReplyCountsCharacters) {
    // 80 characters in 82 bytes fill the field; one more character is refused.
    ScriptKeySource keys = ScriptKeySource::from_lines({std::string(78, 'x') + "ππ", std::string(78, 'x') + "πππ"});
    PromptRequest request{.title = "t", .prompt = "Name:"};
    Prompter prompter(console_, keys, interpreter_, session_);
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(request.current, std::string(78, 'x') + "ππ");
    EXPECT_FALSE(prompter.ask(message_, request));   // refused, then the input ends
}

TEST_F(PromptTest, NumericFieldsAroundNonAsciiTextAreDecodedByCharacter) {
    // A quoted field holding non-ASCII text is one field; it fails to evaluate
    // and the reply is refused, without splitting a character.
    ScriptKeySource keys = ScriptKeySource::from_lines({"1 'π' 3", "4 5 6"});
    PromptRequest request = numeric({0, 0, 0, 0}, 3);
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.values, (std::array<double, 4>{4, 5, 6, 0}));
    ASSERT_GE(presenter_.lines.size(), 6u);
    EXPECT_EQ(presenter_.lines[4], "1 'π' 3");
    EXPECT_EQ(presenter_.lines[5], std::string(kInvalidEntryMessage));
}

TEST_F(PromptTest, HistoryAndPaste) {
    ScriptKeySource keys;
    keys.text("first").enter();
    keys.text("second").enter();
    keys.extended(kKeyUp).extended(kKeyUp).enter();   // back to "first"
    keys.text("<").paste().text(">").enter();
    keys.set_clipboard("clip");
    PromptRequest request{.title = "t", .prompt = "Name:"};
    Prompter prompter(console_, keys, interpreter_, session_);
    for (const char* expected : {"first", "second", "first", "<clip>"}) {
        ASSERT_TRUE(prompter.ask(message_, request));
        EXPECT_EQ(request.current, expected);
    }
}

TEST_F(PromptTest, SlashOnABlankLineKeepsNumbersButIsTypedInText) {
    ScriptKeySource keys;
    keys.text("/");   // ends the numeric reply at once
    PromptRequest request = numeric({3, 4, 0, 0}, 2);
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.values[0], 3.0);
    EXPECT_EQ(request.values[1], 4.0);

    ScriptKeySource path_keys;
    path_keys.text("/tmp/x.wav").enter();
    PromptRequest text{.title = "t", .prompt = "File:"};
    ASSERT_TRUE(ask(path_keys, text));
    EXPECT_EQ(text.current, "/tmp/x.wav");
}

TEST_F(PromptTest, RepliesAreLoggedExceptReplayWords) {
    ScriptKeySource keys;
    keys.text("SP PO").enter().enter().text("END").enter();
    PromptRequest request{.title = "t", .prompt = "Enter command...", .command_prompt = true};
    Prompter prompter(console_, keys, interpreter_, session_);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(saved_log(), "/work\n\n\nSP PO       *! Enter command...\n            *! Enter command...\n");
}

// A log on a full disk: the first lost reply is reported once on the message
// line, and the replies saved before are not replaced by the broken log.
TEST_F(PromptTest, ALogThatCannotBeWrittenIsReportedOnceAndNeverSaved) {
    ASSERT_TRUE(session_.log.create(log_path(), "/work", "", ""));
    // No byte more fits: a file size limit at the header's length.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit full = old_limit;
    full.rlim_cur = std::filesystem::file_size(log_path());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    ScriptKeySource keys;
    keys.text("SP PO").enter().text("AS RE").enter().text("AS IM").enter();
    PromptRequest request{.title = "t", .prompt = "Enter command...", .command_prompt = true};
    Prompter prompter(console_, keys, interpreter_, session_);
    ASSERT_TRUE(prompter.ask(message_, request));
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(message_, "Error writing file: " + log_path());
    ASSERT_TRUE(prompter.ask(message_, request));   // shows it and blanks it
    EXPECT_EQ(message_, "");
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(message_, "");   // once only

    const auto saved = directory_ / "ZEPH32.RL";
    std::ofstream(saved) << "good replies\n";
    EXPECT_FALSE(session_.log.save_as(saved.string()));
    EXPECT_EQ(testing::file_text(saved), "good replies\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_), std::filesystem::directory_iterator()),
              2);   // ZEPH32.TMP and ZEPH32.RL: no temporary left
}

// A reply with text beyond the 80-character field is refused whole and asked
// again, typed, read as a line or replayed; it is never evaluated cut.
TEST_F(PromptTest, AReplyLongerThanTheFieldIsRefusedAndAskedAgain) {
    std::string formula = "X";
    for (int i = 0; i < 39; ++i) formula += "+0";
    formula += "+10000";   // 85 characters: cut at 80 it would end in "+10"
    ASSERT_GT(formula.size(), 80u);
    const std::string far_text = "1" + std::string(130, ' ') + "+2";   // beyond the edit line too
    ScriptKeySource lines = ScriptKeySource::from_lines({formula, far_text, "3"});
    PromptRequest request = numeric({0, 0, 0, 0}, 1);
    interpreter_.define("X", 1.0, message_);
    ASSERT_TRUE(ask(lines, request));
    EXPECT_EQ(request.values[0], 3.0);
    int refusals = 0;
    for (const std::string& line : presenter_.lines) refusals += line == kReplyTooLongMessage;
    EXPECT_EQ(refusals, 2);

    std::ofstream(directory_ / "r.RL") << formula << "  *! Enter values:\n4   *! Enter values:\n";
    ASSERT_TRUE(session_.replay.open((directory_ / "r.RL").string()));
    session_.source = InputSource::replay_then_keyboard;
    ScriptKeySource none;
    ASSERT_TRUE(ask(none, request));
    EXPECT_EQ(request.values[0], 4.0);

    ScriptKeySource typed;   // at the keyboard the cursor stops at column 80; text is pushed beyond it
    typed.text(std::string(85, '1')).enter().text("5").enter();
    ASSERT_TRUE(ask(typed, request));
    EXPECT_EQ(request.values[0], 5.0);
}

TEST_F(PromptTest, ReplayThenKeyboard) {
    std::ofstream(directory_ / "r.RL") << "1024 0 1    *! Enter   # sample points\n";
    ASSERT_TRUE(session_.replay.open((directory_ / "r.RL").string()));
    session_.source = InputSource::replay_then_keyboard;
    ScriptKeySource keys;
    keys.text("5 6 7").enter();
    PromptRequest request = numeric({0, 0, 0, 0}, 3);
    Prompter prompter(console_, keys, interpreter_, session_);
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(request.values, (std::array<double, 4>{1024, 0, 1, 0}));
    ASSERT_TRUE(prompter.ask(message_, request));
    EXPECT_EQ(request.values, (std::array<double, 4>{5, 6, 7, 0}));
    EXPECT_EQ(session_.source, InputSource::keyboard);
}

TEST_F(PromptTest, EndOfReplayEndsAtAnyPromptButTheCommandPrompt) {
    std::ofstream(directory_ / "r.RL") << "";
    ASSERT_TRUE(session_.replay.open((directory_ / "r.RL").string()));
    session_.source = InputSource::replay_then_end;
    ScriptKeySource keys;
    Prompter prompter(console_, keys, interpreter_, session_);
    PromptRequest command{.title = "t", .prompt = "Enter command...", .command_prompt = true};
    ASSERT_TRUE(prompter.ask(message_, command));
    EXPECT_EQ(command.current, "END");
    EXPECT_FALSE(session_.end_requested);
    PromptRequest request = numeric({1, 0, 0, 0}, 1);
    EXPECT_FALSE(prompter.ask(message_, request));
    EXPECT_TRUE(session_.end_requested);
}

TEST_F(PromptTest, HeadlessLinesAndTranscript) {
    ScriptKeySource keys = ScriptKeySource::from_lines({"2*3"});
    PromptRequest request = numeric({1, 0, 0, 0}, 1, "9");
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.values[0], 6.0);
    const std::vector<std::string> expected{"Title row", "Enter values:", "/ 1.", "<Enter>9", "2*3"};
    EXPECT_EQ(presenter_.lines, expected);
    // A line naming the Esc key cancels the question.
    ScriptKeySource cancel = ScriptKeySource::from_lines({"<esc>"});
    EXPECT_FALSE(ask(cancel, request));
    EXPECT_FALSE(session_.end_requested);
    // At the end of the headless input a numeric prompt ends the run.
    EXPECT_FALSE(ask(keys, request));
    EXPECT_TRUE(session_.end_requested);
}

// A terminal that has gone away: every key is Esc and no more will come.
class ClosedTerminal : public KeySource {
public:
    int read_key() override { return kKeyEscape; }
    int poll_key() override { return kKeyEscape; }
    bool input_ended() const override { return true; }
};

TEST_F(PromptTest, AClosedTerminalEndsTheRunInsteadOfAskingForEver) {
    ClosedTerminal keys;
    Prompter prompter(console_, keys, interpreter_, session_);
    PromptRequest command{.title = "t", .prompt = "Enter command...", .command_prompt = true};
    ASSERT_TRUE(prompter.ask(message_, command));
    EXPECT_EQ(command.current, "END");
    PromptRequest request = numeric({1, 0, 0, 0}, 1);
    EXPECT_FALSE(prompter.ask(message_, request));
    EXPECT_TRUE(session_.end_requested);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// PgUp and PgDn are no editing keys: on a short terminal they move the help
// window above the block and leave the line as typed; at full height they do nothing.
TEST_F(PromptTest, PageKeysMoveTheHelpWindowAndLeaveTheLine) {
    presenter_.terminal_rows = 24;
    ScriptKeySource keys;
    keys.text("1").extended(kKeyPageDown).extended(kKeyPageDown).extended(kKeyPageUp).text("2").enter();
    PromptRequest request = numeric({0, 0, 0, 0}, 1);
    ASSERT_TRUE(ask(keys, request));
    EXPECT_EQ(request.values[0], 12.0);
    EXPECT_EQ(console_.help_top(), 12);   // 2 -> 18 -> 28 (the last window) -> 12
    EXPECT_EQ(console_.use(), ScreenUse::prompt);

    presenter_.terminal_rows = 50;
    console_.scroll_help(-5);
    ScriptKeySource more;
    more.extended(kKeyPageDown).text("3").enter();
    PromptRequest again = numeric({0, 0, 0, 0}, 1);
    ASSERT_TRUE(ask(more, again));
    EXPECT_EQ(again.values[0], 3.0);
    EXPECT_EQ(console_.help_top(), 2);
}

}  // namespace
}  // namespace zeph
