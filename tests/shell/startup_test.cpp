// Start-up arguments, the program's folder and the --help text.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <filesystem>

#include "shell/startup.hpp"
#include "tests/support/temp_directory.hpp"

#include <sys/stat.h>

namespace zeph {
namespace {

TEST(StartupArguments, HelpAndVersionAreNotFileNames) {
    for (const char* word : {"--help", "-h"}) {
        const StartupArguments a = classify_arguments({word});
        EXPECT_TRUE(a.show_help) << word;
        EXPECT_TRUE(a.real_file_name.empty()) << word;
    }
    const StartupArguments v = classify_arguments({"sig.re", "--version"});
    EXPECT_TRUE(v.show_version);
    EXPECT_FALSE(v.show_help);
    EXPECT_EQ(v.real_file_name, "sig.re");
    EXPECT_TRUE(v.imag_file_name.empty());
    // Only the exact spellings count: "--HELP" is an unknown option, as is any other "--" word.
    const StartupArguments upper = classify_arguments({"--HELP", "--fail-fast", "--colour"});
    EXPECT_EQ(upper.unknown_option, "--HELP");
    EXPECT_TRUE(upper.fail_fast);
    EXPECT_FALSE(upper.show_help);
    EXPECT_EQ(upper.real_file_name, "");
}

TEST(StartupArguments, WordsInAnyCaseAndNamesKeepTheirCase) {
    const StartupArguments a = classify_arguments({"data/Sig.RE", "sub/sig.IM", "rl", "NoPause"});
    EXPECT_TRUE(a.replay);
    EXPECT_TRUE(a.nopause);
    EXPECT_TRUE(a.replay_file.empty());
    EXPECT_EQ(a.directory, "data");
    EXPECT_EQ(a.real_file_name, "Sig.RE");
    EXPECT_EQ(a.imag_file_name, "sig.IM");
    const StartupArguments b = classify_arguments({"my.rl", "?"});
    EXPECT_TRUE(b.replay);
    EXPECT_EQ(b.replay_file, "my.rl");
    EXPECT_TRUE(b.show_syntax);
    EXPECT_FALSE(b.show_help);
}

// The state folder is used when the program's own folder is not writable or
// is an installation's "bin"; --help asks without creating it.
TEST(ProgramDirectory, StateFolderWhenTheProgramFolderIsNotWritable) {
    testing::TempDirectory dir("zst");
    const auto state = dir.path() / "state";
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string expected = (state / "zeph").string() + "/";
    EXPECT_EQ(choose_files_directory("/nonexistent/folder", false), expected);
    EXPECT_FALSE(std::filesystem::exists(state / "zeph"));
    EXPECT_EQ(choose_files_directory("/nonexistent/folder", true), expected);
    EXPECT_TRUE(std::filesystem::is_directory(state / "zeph"));
    EXPECT_EQ(std::filesystem::status(state / "zeph").permissions(), std::filesystem::perms::owner_all);
    // A writable program folder is used itself, unless it is named bin.
    const auto copy = dir.path() / "copy";
    const auto bin = dir.path() / "prefix" / "bin";
    std::filesystem::create_directories(copy);
    std::filesystem::create_directories(bin);
    EXPECT_EQ(choose_files_directory(copy, true), copy.string() + "/");
    EXPECT_EQ(choose_files_directory(bin, true), expected);
    // Only an absolute XDG_STATE_HOME counts.
    ::setenv("XDG_STATE_HOME", "relative/state", 1);
    ::setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(choose_files_directory(bin, false), (dir.path() / ".local/state/zeph").string() + "/");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(choose_files_directory(bin, false), (dir.path() / ".local/state/zeph").string() + "/");
}

// Without a home there is no folder of the user's: never a shared one such as
// /tmp/zeph, which another user could make first. A state folder others may
// write is refused.
TEST(ProgramDirectory, NoSharedFolderAndNoFolderOthersMayWrite) {
    testing::TempDirectory dir("zst");
    const char* home = std::getenv("HOME");
    const std::string saved_home = home ? home : "";
    ::unsetenv("XDG_STATE_HOME");
    ::unsetenv("HOME");
    std::string problem;
    EXPECT_EQ(choose_files_directory("/usr/bin", true, &problem), "");
    EXPECT_EQ(problem, kNoFilesFolder);
    const auto state = dir.path() / "state";
    std::filesystem::create_directories(state / "zeph");
    ::chmod((state / "zeph").c_str(), 0777);
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    EXPECT_EQ(choose_files_directory("/usr/bin", true, &problem), "");
    EXPECT_NE(problem.find("others may write it"), std::string::npos) << problem;
    ::chmod((state / "zeph").c_str(), 0700);
    EXPECT_EQ(choose_files_directory("/usr/bin", true, &problem), (state / "zeph").string() + "/");
    EXPECT_EQ(problem, "");
    ::unsetenv("XDG_STATE_HOME");
    if (!saved_home.empty()) ::setenv("HOME", saved_home.c_str(), 1);
}

TEST(Usage, NamesTheArgumentsEnvironmentFilesAndManual) {
    const std::string text = usage_text("/some/state/zeph/");
    for (const char* expected : {"[real file] [imag file] [RL] [filename.RL] [NOPAUSE]", "ZEPH_PLOT", "ZEPH_THREADS", "ZEPH_AUDIO",
                                 "auto (default), window, sixel, kitty,", "ZEPH32.TMP", "ZEPH32.RL", "STATS.TXT",
                                 "For this program: /some/state/zeph/\n", "man zeph"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    // Short enough for one screen, no line wider than 80 columns.
    std::size_t lines = 0, start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    EXPECT_LE(lines, 40u);
}

// A start-up file name is taken whole, however long: a cut name would not be found.
TEST(StartupArguments, FileNamesAreTakenWhole) {
    std::string fifty;   // 50 characters, 100 bytes
    for (int i = 0; i < 50; ++i) fifty += "π";
    std::string ninety;   // 90 characters, 180 bytes
    for (int i = 0; i < 90; ++i) ninety += "é";
    const StartupArguments a = classify_arguments({"/data/señal/" + fifty, ninety, "nopause"});
    EXPECT_EQ(a.directory, "/data/señal");
    EXPECT_EQ(a.real_file_name, fifty);
    EXPECT_EQ(a.imag_file_name, ninety);
    EXPECT_TRUE(a.nopause);
}

}  // namespace
}  // namespace zeph
