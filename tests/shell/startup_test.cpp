// Start-up arguments, the program's folder and the --help text.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <filesystem>

#include "shell/startup.hpp"
#include "base/utf8.hpp"

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
    // Only the exact spellings count: "--HELP" stays a file name.
    const StartupArguments upper = classify_arguments({"--HELP"});
    EXPECT_FALSE(upper.show_help);
    EXPECT_EQ(upper.real_file_name, "--HELP");
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

// The state folder is used when the program's own folder is not writable (as
// for an installed program); --help asks without creating it.
TEST(ProgramDirectory, StateFolderWhenTheProgramFolderIsNotWritable) {
    const auto state = std::filesystem::temp_directory_path() / ("zeph-state-" + std::to_string(::getpid()));
    std::filesystem::remove_all(state);
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string expected = (state / "zeph").string() + "/";
    EXPECT_EQ(choose_files_directory("/nonexistent/bin", false), expected);
    EXPECT_FALSE(std::filesystem::exists(state / "zeph"));
    EXPECT_EQ(choose_files_directory("/nonexistent/bin", true), expected);
    EXPECT_TRUE(std::filesystem::is_directory(state / "zeph"));
    // A writable program folder is used itself.
    EXPECT_EQ(choose_files_directory(state, true), state.string() + "/");
    ::unsetenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(choose_files_directory("/nonexistent/bin", false), std::string(home) + "/.local/state/zeph/");
    }
    std::filesystem::remove_all(state);
}

TEST(Usage, NamesTheArgumentsEnvironmentFilesAndManual) {
    const std::string text = usage_text("/some/state/zeph/");
    for (const char* expected : {"[real file] [imag file] [RL] [filename.RL] [NOPAUSE]", "ZEPH_PLOT", "ZEPH_THREADS",
                                 "auto (default), window, sixel, kitty,", "ZEPH32.TMP", "ZEPH32.RL", "STATS.TXT",
                                 "For this program: /some/state/zeph/\n", "man zeph"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    // Short enough for one screen, no line wider than 80 columns.
    std::size_t lines = 0, start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    EXPECT_LE(lines, 40u);
}

TEST(StartupArguments, FileNamesKeepEightyCharactersNotEightyBytes) {
    std::string fifty;   // 50 characters, 100 bytes
    for (int i = 0; i < 50; ++i) fifty += "π";
    std::string ninety;   // 90 characters, 180 bytes
    for (int i = 0; i < 90; ++i) ninety += "é";
    const StartupArguments a = classify_arguments({"/data/señal/" + fifty, ninety, "nopause"});
    EXPECT_EQ(a.directory, "/data/señal");
    EXPECT_EQ(a.real_file_name, fifty);
    EXPECT_EQ(character_count(a.imag_file_name), 80u);
    EXPECT_EQ(a.imag_file_name, ninety.substr(0, 160));   // cut between characters
    EXPECT_TRUE(a.nopause);
}

}  // namespace
}  // namespace zeph
