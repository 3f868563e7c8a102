#include "input/reply_log.hpp"

#include <gtest/gtest.h>
#include "tests/support/file_text.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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

TEST(ReplyVariables, NamesFromTheEnvironmentDollarsAndWhatStaysLiteral) {
    ::setenv("ZEPH_TEST_IN", "speech", 1);
    ::unsetenv("ZEPH_TEST_UNSET");
    std::string missing;
    EXPECT_EQ(*expand_variables("${ZEPH_TEST_IN}.wav", missing), "speech.wav");
    EXPECT_EQ(*expand_variables("out/${ZEPH_TEST_IN}.psd.txt ${ZEPH_TEST_IN}", missing), "out/speech.psd.txt speech");
    EXPECT_EQ(*expand_variables("cost $$5 and $$$$", missing), "cost $5 and $$");
    // Not a name in braces: kept as written.
    for (const char* literal : {"$HOME", "${}", "${A-B}", "${UNCLOSED", "a$", "$ {X}", "${ZEPH TEST}"})
        EXPECT_EQ(*expand_variables(literal, missing), literal) << literal;
    EXPECT_FALSE(expand_variables("${ZEPH_TEST_IN}/${ZEPH_TEST_UNSET}.wav", missing));
    EXPECT_EQ(missing, "ZEPH_TEST_UNSET");
    ::setenv("ZEPH_TEST_UNSET", "", 1);   // set but empty is set
    EXPECT_EQ(*expand_variables("[${ZEPH_TEST_UNSET}]", missing), "[]");
    ::unsetenv("ZEPH_TEST_UNSET");
    ::unsetenv("ZEPH_TEST_IN");
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

// Runs side by side: the second finds the log locked, keeps one of its own
// and never cuts or writes into the first run's log.
TEST_F(ReplyLogTest, ASecondRunKeepsALogOfItsOwn) {
    const std::string shared = (directory_ / "ZEPH32.TMP").string();
    ReplyLog first;
    ASSERT_TRUE(first.create(shared, "/one", "", ""));
    first.append("first run");
    {
        ReplyLog second;
        ASSERT_TRUE(second.create(shared, "/two", "", ""));
        EXPECT_TRUE(second.is_separate());
        EXPECT_EQ(second.path(), (directory_ / ("ZEPH32-" + std::to_string(::getpid()) + ".TMP")).string());
        second.append("second run");
        ASSERT_TRUE(second.save_as((directory_ / "ZEPH32.RL").string()));
        EXPECT_EQ(testing::file_text(directory_ / "ZEPH32.RL"), "/two\n\n\nsecond run\n");
        // The first run's log is whole and untouched.
        EXPECT_EQ(testing::file_text(shared), "/one\n\n\nfirst run\n");
    }
    // The separate log is gone with its run; a rewind keeps the first run's log its own.
    EXPECT_FALSE(std::filesystem::exists(directory_ / ("ZEPH32-" + std::to_string(::getpid()) + ".TMP")));
    first.rewind_replies();
    first.append("again");
    EXPECT_FALSE(first.is_separate());
    EXPECT_EQ(testing::file_text(shared), "/one\n\n\nagain\n");
    ReplyLog third;
    ASSERT_TRUE(third.create(shared, "/three", "", ""));
    EXPECT_TRUE(third.is_separate());
    first.close();
    ReplyLog fourth;
    ASSERT_TRUE(fourth.create(shared, "/four", "", ""));
    EXPECT_FALSE(fourth.is_separate());
}

// What another user may have planted in place of the log: a link to one of
// the victim's files, a named pipe. Neither is followed nor waited on.
TEST_F(ReplyLogTest, APlantedLinkOrPipeIsRefused) {
    const auto victim = directory_ / "victim.txt";
    std::ofstream(victim) << "precious";
    const auto log_path = directory_ / "ZEPH32.TMP";
    std::filesystem::create_symlink(victim, log_path);
    ReplyLog log;
    const Status refused = log.create(log_path.string(), "/w", "", "");
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message.find("Cannot open file: "), std::string::npos);
    EXPECT_NE(refused.message.find("a symbolic link"), std::string::npos) << refused.message;
    EXPECT_EQ(testing::file_text(victim), "precious");
    std::filesystem::remove(log_path);
    ASSERT_EQ(::mkfifo(log_path.c_str(), 0600), 0);
    EXPECT_FALSE(log.create(log_path.string(), "/w", "", ""));
    EXPECT_FALSE(log.is_open());

    // The program's replay file is not read through a link either; a file the user names is.
    const auto replay = directory_ / "ZEPH32.RL";
    std::ofstream(directory_ / "planted.RL") << "dir\nreal\nimag\nSY id\n";
    std::filesystem::create_symlink(directory_ / "planted.RL", replay);
    ReplayFile file;
    EXPECT_FALSE(file.open_program_file(replay.string()));
    EXPECT_TRUE(file.open(replay.string()));
}

}  // namespace
}  // namespace zeph
