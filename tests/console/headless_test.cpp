#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "console/headless.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

// A read-only stream over `text` (kept alive by the fixture).
class StreamFixture : public ::testing::Test {
protected:
    StreamKeySource source_of(std::string text) {
        text_ = std::move(text);
        stream_ = fmemopen(text_.data(), text_.size(), "r");
        return StreamKeySource(stream_);
    }
    void TearDown() override {
        if (stream_) std::fclose(stream_);
    }
    std::string text_;
    std::FILE* stream_ = nullptr;
};

using StreamKeySourceTest = StreamFixture;

TEST_F(StreamKeySourceTest, ReadsLinesWithoutTheirLineBreaks) {
    StreamKeySource source = source_of("SP PO DB PL\r\n\nlast line without break");
    EXPECT_TRUE(source.line_mode());
    EXPECT_EQ(source.read_line(), "SP PO DB PL");
    EXPECT_EQ(source.read_line(), "");
    EXPECT_EQ(source.read_line(), "last line without break");
    EXPECT_EQ(source.read_line(), std::nullopt);
    EXPECT_EQ(source.read_line(), std::nullopt);   // the end stays the end
}

TEST_F(StreamKeySourceTest, CutsOverlongLinesAndKeepsTheNextOne) {
    const std::string long_line(StreamKeySource::kMaxLineBytes + 1000, 'x');
    StreamKeySource source = source_of(long_line + "\nnext\n");
    EXPECT_EQ(source.read_line(), std::string(StreamKeySource::kMaxLineBytes, 'x'));
    EXPECT_EQ(source.read_line(), "next");
}

TEST_F(StreamKeySourceTest, KeysComeOneLineEach) {
    StreamKeySource source =
        source_of("\n<esc>\n<Left>\n<CTRL-RIGHT>\n<PGDN>\nyes\n<ESC> \n<TAB>\n");
    EXPECT_EQ(source.read_key(), kKeyEnter);
    EXPECT_EQ(source.read_key(), kKeyEscape);
    EXPECT_EQ(source.read_key(), kKeyExtended);
    EXPECT_EQ(source.read_key(), kKeyLeft);
    EXPECT_EQ(source.read_key(), kKeyExtended);
    EXPECT_EQ(source.read_key(), kKeyCtrlRight);
    EXPECT_EQ(source.read_key(), kKeyExtended);
    EXPECT_EQ(source.read_key(), kKeyPageDown);
    EXPECT_EQ(source.read_key(), 'y');
    EXPECT_EQ(source.read_key(), '<');   // not exactly a name: its first byte
    EXPECT_EQ(source.read_key(), '<');
    EXPECT_EQ(source.read_key(), kKeyEscape);   // end of input
    EXPECT_EQ(source.read_key(), kKeyEscape);
}

TEST_F(StreamKeySourceTest, EachKeyTakenIsWrittenToTheTranscript) {
    RecordingPresenter presenter;
    std::string replies = "\n<Left>\nq\nRL\n";
    std::FILE* in = fmemopen(replies.data(), replies.size(), "r");
    StreamKeySource source(in, &presenter);
    EXPECT_EQ(source.read_key(), kKeyEnter);
    EXPECT_EQ(source.read_key(), kKeyExtended);
    EXPECT_EQ(source.read_key(), kKeyLeft);   // one line, one entry
    EXPECT_EQ(source.read_key(), 'q');
    EXPECT_EQ(source.read_line(), "RL");      // a reply line is the prompt's to write
    EXPECT_EQ(source.read_key(), kKeyEscape); // the end of input is no key of the script's
    EXPECT_EQ(presenter.lines, (std::vector<std::string>{"<ENTER>", "<Left>", "q"}));
    std::fclose(in);
}

// Polling sees only what has been sent: -1 on a silent pipe, then the key,
// then Esc once the writer has gone.
TEST(StreamKeySourcePoll, SeesOnlyWhatHasBeenSent) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::FILE* in = ::fdopen(fds[0], "r");
    ASSERT_NE(in, nullptr);
    StreamKeySource source(in);
    EXPECT_EQ(source.poll_key(), -1);
    ASSERT_EQ(::write(fds[1], "<UP>\nx\n", 7), 7);
    EXPECT_EQ(source.poll_key(), kKeyExtended);
    EXPECT_EQ(source.poll_key(), kKeyUp);
    // The second line was sent with the first: no read-ahead may hide it.
    EXPECT_EQ(source.poll_key(), 'x');
    EXPECT_EQ(source.poll_key(), -1);
    ::close(fds[1]);
    EXPECT_EQ(source.poll_key(), kKeyEscape);
    std::fclose(in);
}

// A line far longer than any reply, through a pipe: cut, the rest skipped
// without keeping it, and the next line whole.
TEST(StreamKeySourcePoll, AHugeLineIsCutAndTheNextOneKept) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([fd = fds[1]] {
        const std::string block(1 << 20, 'y');
        for (int i = 0; i < 40; ++i)
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) break;
        const std::string rest = "\r\nnext line\r\n";
        if (::write(fd, rest.data(), rest.size()) < 0) return;
        ::close(fd);
    });
    std::FILE* in = ::fdopen(fds[0], "r");
    ASSERT_NE(in, nullptr);
    StreamKeySource source(in);
    EXPECT_EQ(source.read_line(), std::string(StreamKeySource::kMaxLineBytes, 'y'));
    EXPECT_EQ(source.read_line(), "next line");
    EXPECT_EQ(source.read_line(), std::nullopt);
    writer.join();
    std::fclose(in);
}

TEST(KeyFromReplyLine, KnowsEveryKeyName) {
    const struct {
        const char* name;
        ConsoleKey key;
    } cases[] = {
        {"<ENTER>", {kKeyEnter, false}}, {"<UP>", {kKeyUp, true}},
        {"<DOWN>", {kKeyDown, true}},    {"<RIGHT>", {kKeyRight, true}},
        {"<PGUP>", {kKeyPageUp, true}},  {"<home>", {kKeyHome, true}},
        {"<End>", {kKeyEnd, true}},      {"<DEL>", {kKeyDelete, true}},
        {"<ctrl-left>", {kKeyCtrlLeft, true}},
    };
    for (const auto& c : cases) EXPECT_EQ(key_from_reply_line(c.name), c.key) << c.name;
    EXPECT_EQ(key_from_reply_line("\xB5"), (ConsoleKey{0xB5, false}));   // a byte, not a negative char
}

TEST(DecodeUtf8, GivesCodePointAndLength) {
    const std::string text = "a\u00B5\u20AC\U0001F600";
    EXPECT_EQ(decode_utf8(text, 0), std::nullopt);   // ASCII is not multibyte
    ASSERT_TRUE(decode_utf8(text, 1));
    EXPECT_EQ(decode_utf8(text, 1)->code_point, U'\u00B5');
    EXPECT_EQ(decode_utf8(text, 3)->code_point, U'\u20AC');
    EXPECT_EQ(decode_utf8(text, 3)->length, 3u);
    EXPECT_EQ(decode_utf8(text, 6)->code_point, U'\U0001F600');
    EXPECT_EQ(decode_utf8(text, 6)->length, 4u);
    EXPECT_EQ(decode_utf8(text, 2), std::nullopt);   // a continuation byte
    EXPECT_EQ(decode_utf8(text, 99), std::nullopt);
    EXPECT_EQ(decode_utf8("\xE0\x80\x80", 0), std::nullopt);   // overlong
    EXPECT_EQ(decode_utf8("\xF4\x90\x80\x80", 0), std::nullopt);   // past U+10FFFF
}

TEST(HeadlessPresenter, PrintsPlainTranscriptLines) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        HeadlessPresenter presenter(out);
        TextConsole console;
        console.set_presenter(&presenter);
        console.print_line("  SUm real ± imag");
        console.transcript("a\xB1" "b");   // no valid UTF-8: U+FFFD keeps the transcript UTF-8
        console.transcript("");
        console.beep(800, 60);
        console.present();
        console.transcript("Enter command...");
    }
    std::rewind(out);
    std::string written(256, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    EXPECT_EQ(written, "  SUm real ± imag\na\uFFFDb\n\nEnter command...\n");
}

TEST(ScriptKeySource, ReplaysKeysThenEsc) {
    ScriptKeySource keys;
    keys.text("ab").extended(kKeyUp).backspace().paste().enter();
    keys.set_clipboard("1024");
    EXPECT_FALSE(keys.line_mode());
    EXPECT_EQ(keys.remaining(), 7u);
    const int expected[] = {'a', 'b', kKeyExtended, kKeyUp, kKeyBackspace, kKeyPaste, kKeyEnter};
    for (int key : expected) EXPECT_EQ(keys.read_key(), key);
    EXPECT_TRUE(keys.exhausted());
    EXPECT_EQ(keys.read_key(), kKeyEscape);
    EXPECT_EQ(keys.clipboard_text(), "1024");

    ScriptKeySource bytes(std::string("\xE0K"));
    EXPECT_EQ(bytes.read_key(), kKeyExtended);   // 0xE0, not a negative char
}

TEST(ScriptKeySource, LineModeReadsRepliesAndKeysLikeTheHeadlessSource) {
    ScriptKeySource lines = ScriptKeySource::from_lines({"1024 0 1", "<DOWN>", ""});
    lines.line("q");
    EXPECT_TRUE(lines.line_mode());
    EXPECT_EQ(lines.read_line(), "1024 0 1");
    EXPECT_EQ(lines.read_key(), kKeyExtended);
    EXPECT_EQ(lines.remaining(), 3u);   // the pending Down and two lines
    EXPECT_EQ(lines.read_key(), kKeyDown);
    EXPECT_EQ(lines.read_key(), kKeyEnter);
    EXPECT_EQ(lines.read_key(), 'q');
    EXPECT_EQ(lines.read_line(), std::nullopt);
    EXPECT_EQ(lines.read_key(), kKeyEscape);
}

}  // namespace
}  // namespace zeph
