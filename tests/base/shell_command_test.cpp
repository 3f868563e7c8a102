// SY's commands: output line by line as it comes, and a stop request ends the
// command and all it started.
#include "base/shell_command.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "base/stop_request.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph {
namespace {

TEST(ShellCommand, LinesArriveWithTabsExpandedAndErrorsMixedIn) {
    std::vector<std::string> lines;
    const CommandEnd end = run_shell_command("printf 'a\\tb\\nsecond\\n'; echo oops >&2; printf 'no newline'",
                                             [&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(end, CommandEnd::finished);
    EXPECT_EQ(lines, (std::vector<std::string>{"a       b", "second", "oops", "no newline"}));
}

TEST(ShellCommand, AnEndlessOutputIsPassedOnNotKept) {
    // 200,000 lines, one over-long line given in pieces: each is seen once.
    std::size_t count = 0, longest = 0;
    run_shell_command("yes | head -n 200000; head -c 10000 /dev/zero | tr '\\0' x", [&](std::string_view line) {
        ++count;
        longest = std::max(longest, line.size());
    });
    EXPECT_EQ(count, 200000u + 3u);
    EXPECT_EQ(longest, kLongestCommandLine);
}

// In a child process, since a stop request lasts for the process: the command
// and the process it started in the background both end when the stop comes.
TEST(ShellCommand, AStopEndsTheCommandsWholeGroup) {
    testing::TempDirectory dir("zsc");
    const std::string pid_file = dir.file("sleeper.pid");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const CommandEnd end = run_shell_command(
            "sleep 1000 & echo $! > '" + pid_file + "'; echo started; wait", [](std::string_view line) {
                if (line == "started") request_stop(SIGTERM);
            });
        ::_exit(end == CommandEnd::stopped ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    pid_t sleeper = 0;
    std::ifstream(pid_file) >> sleeper;
    ASSERT_GT(sleeper, 0);
    // The background sleeper was killed with its group (it may linger a moment as a zombie of init's).
    bool gone = false;
    for (int i = 0; i < 6000 && !gone; ++i) {   // a minute at most: only a survivor reaches it
        std::ifstream stat("/proc/" + std::to_string(sleeper) + "/stat");
        std::string pid, name, state;
        gone = !(stat >> pid >> name >> state) || state == "Z";
        if (!gone) ::usleep(10000);
    }
    EXPECT_TRUE(gone);
    if (!gone) ::kill(sleeper, SIGKILL);
}

}  // namespace
}  // namespace zeph
