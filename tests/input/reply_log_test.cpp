#include "input/reply_log.hpp"

#include <gtest/gtest.h>
#include "tests/support/file_text.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.hpp"

namespace zeph {
namespace {

class ReplyLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("zeph-log-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::filesystem::path directory_;
};

TEST(ReplyRecord, PadsToTenCharactersThenMarkerAndPrompt) {
    EXPECT_EQ(format_reply_record("1024 0 1", "Enter   # sample points,   Xmin,   dX"),
              "1024 0 1    *! Enter   # sample points,   Xmin,   dX");
    EXPECT_EQ(format_reply_record("   ", "Enter command...  "), "            *! Enter command...");
    EXPECT_EQ(format_reply_record("SP PO DB PL ST", "Enter command..."), "SP PO DB PL ST  *! Enter command...");
}

TEST(ReplyRecord, ReplyIsEverythingBeforeTheMarker) {
    EXPECT_EQ(trim_right(reply_from_record("1024 0 1    *! Enter   # sample points")), "1024 0 1");
    EXPECT_EQ(reply_from_record("no marker"), "no marker");
    EXPECT_EQ(trim_right(reply_from_record("a*b  *! x *! y")), "a*b");
}

TEST(ReplyRecord, UnloggedWordsAreCaseExact) {
    for (auto word : {"*", "rl", "RL", "end", "en", "EN", "END", "END   "}) EXPECT_TRUE(is_unlogged_reply(word)) << word;
    for (auto word : {"Rl", "End", "EN SP", "", "*!"}) EXPECT_FALSE(is_unlogged_reply(word)) << word;
}

TEST_F(ReplyLogTest, SavedCopyHasHeaderAndTrimmedRecords) {
    ReplyLog log;
    ASSERT_TRUE(log.create((directory_ / "ZEPH32.TMP").string(), "/data", "sig.re", ""));
    log.append(format_reply_record("SP PO", "Enter command..."));
    log.append(std::string(200, 'x'));
    ASSERT_TRUE(log.save_as((directory_ / "ZEPH32.RL").string()));
    EXPECT_EQ(testing::file_text(directory_ / "ZEPH32.RL"),
              "/data\nsig.re\n\nSP PO       *! Enter command...\n" + std::string(132, 'x') + "\n");
    // Appending after a save continues the same log.
    log.append("EN");
    ASSERT_TRUE(log.save_as((directory_ / "again.RL").string()));
    EXPECT_NE(testing::file_text(directory_ / "again.RL").find("\nEN\n"), std::string::npos);
}

TEST_F(ReplyLogTest, RewindKeepsTheHeaderAndDropsTheReplies) {
    ReplyLog log;
    ASSERT_TRUE(log.create((directory_ / "ZEPH32.TMP").string(), "/w", "a", "b"));
    log.append("first");
    log.rewind_replies();
    log.append("second");
    ASSERT_TRUE(log.save_as((directory_ / "out.RL").string()));
    EXPECT_EQ(testing::file_text(directory_ / "out.RL"), "/w\na\nb\nsecond\n");
}

TEST_F(ReplyLogTest, SaveToAnUnwritablePlaceFails) {
    ReplyLog log;
    ASSERT_TRUE(log.create((directory_ / "ZEPH32.TMP").string(), "/w", "", ""));
    const Status status = log.save_as((directory_ / "missing" / "ZEPH32.RL").string());
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("Error writing file: "), std::string::npos);
}

TEST_F(ReplyLogTest, ReplayLinesAreReadInOrderAndEndCleanly) {
    std::ofstream(directory_ / "r.RL") << "dir\r\nreal\nimag\n1024 0 1    *! prompt\nlast-without-newline";
    ReplayFile replay;
    ASSERT_TRUE(replay.open((directory_ / "r.RL").string()));
    EXPECT_EQ(*replay.next_line(), "dir");
    replay.next_line();
    replay.next_line();
    EXPECT_EQ(*replay.next_line(), "1024 0 1    *! prompt");
    EXPECT_EQ(*replay.next_line(), "last-without-newline");
    EXPECT_FALSE(replay.next_line());
    EXPECT_FALSE(replay.open((directory_ / "absent.RL").string()));
}

}  // namespace
}  // namespace zeph
