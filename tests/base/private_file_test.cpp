// The program's own files and folder: nothing another user plants there is
// followed, opened or trusted.
#include "base/private_file.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/file_text.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph {
namespace {

using testing::TempDirectory;
namespace fs = std::filesystem;

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(PrivateFolder, CreatedForTheUserAloneWithItsParents) {
    TempDirectory dir("zpf");
    const std::string folder = dir.file("state/zeph");
    ASSERT_TRUE(prepare_private_folder(folder)) << prepare_private_folder(folder).message;
    EXPECT_EQ(mode_of(folder), 0700u);
    EXPECT_EQ(mode_of(dir.file("state")), 0700u);
    // Made again: an existing private folder is taken as it is.
    EXPECT_TRUE(prepare_private_folder(folder));
}

TEST(PrivateFolder, OneOthersMayWriteIsRefused) {
    TempDirectory dir("zpf");
    const std::string folder = dir.file("zeph");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    const Status refused = prepare_private_folder(folder);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message.find("others may write it"), std::string::npos) << refused.message;
    ASSERT_EQ(::chmod(folder.c_str(), 0720), 0);
    EXPECT_FALSE(is_private_folder(folder));
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    EXPECT_TRUE(is_private_folder(folder));
    // A file in the folder's place is no folder.
    const std::string file = dir.file("plain");
    std::ofstream(file) << "x";
    EXPECT_FALSE(prepare_private_folder(file));
}

TEST(PrivateFile, LinksPipesAndFoldersAreNotOpened) {
    TempDirectory dir("zpf");
    const std::string victim = dir.file("victim.txt");
    std::ofstream(victim) << "precious";
    const std::string link = dir.file("ZEPH32.TMP");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    std::string why;
    EXPECT_EQ(open_private_file(link, O_RDWR | O_CREAT, why), -1);
    EXPECT_EQ(why, "a symbolic link");
    EXPECT_EQ(testing::file_text(victim), "precious");

    // A named pipe would hang the run: refused at once, for reading and writing.
    const std::string pipe = dir.file("fifo");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(open_private_file(pipe, O_RDWR | O_CREAT, why), -1);
    EXPECT_EQ(why, "not a regular file");
    EXPECT_EQ(open_private_file(pipe, O_RDONLY, why), -1);
    EXPECT_EQ(open_private_file(dir.path().string(), O_RDONLY, why), -1);

    // A new file is the user's alone, whatever the umask allows.
    const mode_t old_mask = ::umask(0);
    const int fd = open_private_file(dir.file("new"), O_RDWR | O_CREAT, why);
    ::umask(old_mask);
    ASSERT_GE(fd, 0) << why;
    ::close(fd);
    EXPECT_EQ(mode_of(dir.file("new")), 0600u);
}

TEST(PrivateFile, ReplacingReplacesAPlantedLinkNotItsTarget) {
    TempDirectory dir("zpf");
    const std::string victim = dir.file("victim.txt");
    std::ofstream(victim) << "precious";
    const std::string saved = dir.file("ZEPH32.RL");
    ASSERT_EQ(::symlink(victim.c_str(), saved.c_str()), 0);
    ASSERT_TRUE(replace_private_file(saved, "new log\n"));
    EXPECT_EQ(testing::file_text(victim), "precious");
    EXPECT_EQ(testing::file_text(saved), "new log\n");
    EXPECT_FALSE(fs::is_symlink(saved));
    EXPECT_EQ(mode_of(saved), 0600u);
    // Nothing but the two files is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    // A folder that cannot be written keeps the old file and says so.
    const Status failed = replace_private_file(dir.file("missing/ZEPH32.RL"), "x");
    EXPECT_FALSE(failed);
    EXPECT_NE(failed.message.find("Error writing file: "), std::string::npos);
}

TEST(PrivateFile, AppendRefusesALinkAndCreatesPrivately) {
    TempDirectory dir("zpf");
    const std::string victim = dir.file("victim.txt");
    std::ofstream(victim) << "precious";
    const std::string stats = dir.file("STATS.TXT");
    ASSERT_EQ(::symlink(victim.c_str(), stats.c_str()), 0);
    const Status refused = append_private_file(stats, "block\n");
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message.find("Cannot open file: "), std::string::npos) << refused.message;
    EXPECT_EQ(testing::file_text(victim), "precious");
    ASSERT_EQ(::unlink(stats.c_str()), 0);
    ASSERT_TRUE(append_private_file(stats, "one\n"));
    ASSERT_TRUE(append_private_file(stats, "two\n"));
    EXPECT_EQ(testing::file_text(stats), "one\ntwo\n");
    EXPECT_EQ(mode_of(stats), 0600u);
}

// Processes appending at once: every block arrives whole, none interleaved.
TEST(PrivateFile, BlocksAppendedAtOnceStayWhole) {
    TempDirectory dir("zpf");
    const std::string stats = dir.file("STATS.TXT");
    constexpr int kProcesses = 6, kBlocks = 40, kLines = 30;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int b = 0; b < kBlocks; ++b) {
                std::string block;
                for (int l = 0; l < kLines; ++l)
                    block += "process " + std::to_string(p) + " block " + std::to_string(b) + " line " +
                             std::to_string(l) + std::string(200, '.') + "\n";
                if (!append_private_file(stats, block)) ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream lines(testing::file_text(stats));
    std::string line, expected;
    int count = 0;
    for (; std::getline(lines, line); ++count) {
        const int in_block = count % kLines;
        if (in_block == 0) expected = line.substr(0, line.find(" line "));
        EXPECT_EQ(line.substr(0, line.find(" line ")), expected) << "line " << count;
        EXPECT_NE(line.find(" line " + std::to_string(in_block) + "."), std::string::npos) << line;
    }
    EXPECT_EQ(count, kProcesses * kBlocks * kLines);
}

}  // namespace
}  // namespace zeph
