// Files replaced whole and appends cut back: a failed write keeps the old
// file as it was and leaves nothing beside it.
#include "base/replace_file.hpp"

#include <gtest/gtest.h>
#include "tests/support/file_size_limit.hpp"
#include "tests/support/file_text.hpp"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zeph {
namespace {

namespace fs = std::filesystem;

using testing::FileSizeLimit;

// Writes 64 KiB to `target` under a size limit of 4 KiB; true when the commit succeeded.
bool write_beyond_size_limit(const std::string& target) {
    FileSizeLimit limit(4096);
    const std::string big(64 * 1024, 'x');
    ReplacementFile file(target);
    if (!file.is_open()) return false;
    std::fwrite(big.data(), 1, big.size(), file.get());
    return file.commit();
}

class ReplaceFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zeph-replace-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = dir_ / "out.dat";
        std::ofstream(target_, std::ios::binary) << "old content\n";
    }
    void TearDown() override { fs::remove_all(dir_); }
    // Names in the folder besides the target: a temporary file left behind shows here.
    int file_count() const {
        return static_cast<int>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_, target_;
};

TEST_F(ReplaceFile, CommitPutsTheNewContentInPlace) {
    ::chmod(target_.c_str(), 0640);
    ReplacementFile file(target_.string());
    ASSERT_TRUE(file.is_open());
    std::fputs("new", file.get());
    EXPECT_EQ(testing::file_text(target_), "old content\n");   // not yet
    EXPECT_EQ(file_count(), 2);
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(testing::file_text(target_), "new");
    EXPECT_EQ(file_count(), 1);
    struct stat info {};
    ASSERT_EQ(::stat(target_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);   // the old file's permissions
}

TEST_F(ReplaceFile, DiscardedOrAbandonedKeepsTheOldFile) {
    {
        ReplacementFile file(target_.string());
        std::fputs("half", file.get());
        file.discard();
        EXPECT_FALSE(file.commit());
    }
    {
        ReplacementFile abandoned(target_.string());
        std::fputs("half", abandoned.get());
    }
    EXPECT_EQ(testing::file_text(target_), "old content\n");
    EXPECT_EQ(file_count(), 1);
}

TEST_F(ReplaceFile, AWriteBeyondTheSizeLimitKeepsTheOldFile) {
    EXPECT_FALSE(write_beyond_size_limit(target_.string()));
    EXPECT_EQ(testing::file_text(target_), "old content\n");
    EXPECT_EQ(file_count(), 1);
}

TEST_F(ReplaceFile, ALinkKeepsPointingAtTheNewFile) {
    const fs::path link = dir_ / "link.dat";
    fs::create_symlink(target_, link);
    ReplacementFile file(link.string());
    std::fputs("through the link", file.get());
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testing::file_text(target_), "through the link");
}

TEST_F(ReplaceFile, ANamedPipeIsWrittenDirectlyAndNotReplaced) {
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(ReplacementFile(pipe.string()).is_open());   // no reader: refused at once, no waiting
    std::FILE* reader = std::fopen(pipe.c_str(), "r+");          // r+ opens without waiting for a writer
    ASSERT_NE(reader, nullptr);
    ReplacementFile file(pipe.string());
    ASSERT_TRUE(file.is_open());
    std::fputs("piped\n", file.get());
    EXPECT_TRUE(file.commit());
    char line[16] = {};
    ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
    EXPECT_STREQ(line, "piped\n");
    std::fclose(reader);
    EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
}

TEST_F(ReplaceFile, NoFolderNoFile) {
    EXPECT_FALSE(ReplacementFile((dir_ / "none" / "x").string()).is_open());
    EXPECT_FALSE(ReplacementFile(dir_.string() + "/").is_open());
}

// Runs `action` in a child process as an ordinary user (nobody) when the test
// runs as root, which may write anywhere; as itself otherwise. True when the
// action returned true.
template <typename Action>
bool as_ordinary_user(const fs::path& dir, Action action) {
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    if (root) {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) (void)::lchown(entry.path().c_str(), kNobody, kNobody);
        (void)::chown(dir.c_str(), kNobody, kNobody);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
        ::_exit(action() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool write_text(const std::string& target, const char* text) {
    ReplacementFile file(target);
    return file.is_open() && std::fputs(text, file.get()) >= 0 && file.commit();
}

TEST_F(ReplaceFile, AReadOnlyTargetIsRefusedAndKept) {
    ::chmod(target_.c_str(), 0444);
    ReplacementFile file(target_.string());
    EXPECT_FALSE(file.is_open());
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(testing::file_text(target_), "old content\n");
    EXPECT_EQ(file_count(), 1);
}

TEST_F(ReplaceFile, AFileInAReadOnlyFolderIsWrittenInPlace) {
    const fs::path folder = dir_ / "locked";
    fs::create_directory(folder);
    const fs::path inside = folder / "data.txt";
    std::ofstream(inside) << "old\n";
    ::chmod(inside.c_str(), 0644);
    const bool written = as_ordinary_user(dir_, [&] {
        ::chmod(folder.c_str(), 0555);
        return write_text(inside.string(), "written in place\n");
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_TRUE(written);
    EXPECT_EQ(testing::file_text(inside), "written in place\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ReplaceFile, HardLinksAllSeeTheNewContent) {
    const fs::path second = dir_ / "second.dat";
    fs::create_hard_link(target_, second);
    ASSERT_TRUE(write_text(target_.string(), "shorter"));
    EXPECT_EQ(fs::hard_link_count(target_), 2u);
    EXPECT_EQ(testing::file_text(target_), "shorter");
    EXPECT_EQ(testing::file_text(second), "shorter");
    EXPECT_EQ(file_count(), 2);
    // A failed write through one name leaves both names with the old content.
    EXPECT_FALSE(write_beyond_size_limit(second.string()));
    EXPECT_EQ(testing::file_text(target_), "shorter");
    EXPECT_EQ(fs::hard_link_count(target_), 2u);
}

TEST_F(ReplaceFile, AnotherUsersFileKeepsItsOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
    ASSERT_EQ(::chown(target_.c_str(), 65534, 65534), 0);
    ::chmod(target_.c_str(), 0664);
    ASSERT_TRUE(write_text(target_.string(), "new"));
    struct stat info {};
    ASSERT_EQ(::stat(target_.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 0777, 0664u);
    EXPECT_EQ(testing::file_text(target_), "new");
}

TEST_F(ReplaceFile, AnExitThatSkipsTheDestructorsLeavesNoTemporary) {
    const pid_t child = ::fork();
    if (child == 0) {
        ReplacementFile file(target_.string());
        std::fputs("half", file.get());
        std::exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(testing::file_text(target_), "old content\n");
    EXPECT_EQ(file_count(), 1);
}

TEST_F(ReplaceFile, TemporariesCanBeRemovedFromASignalHandler) {
    // A child writes, is stopped by a signal whose handler removes the
    // temporary files, and dies of the signal: nothing is left beside the target.
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGUSR1, [](int signal) {
            remove_replacement_temporaries();
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        });
        ReplacementFile file(target_.string());
        std::fputs("half", file.get());
        std::fflush(file.get());
        std::raise(SIGUSR1);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(testing::file_text(target_), "old content\n");
    EXPECT_EQ(file_count(), 1);
}

TEST_F(ReplaceFile, AFailedAppendIsCutBackToTheOldLength) {
    {
        GuardedAppend append(target_.string());
        ASSERT_TRUE(append.is_open());
        std::fputs("more\n", append.get());
        EXPECT_TRUE(append.finish());
    }
    EXPECT_EQ(testing::file_text(target_), "old content\nmore\n");
    const std::string big(64 * 1024, 'y');
    bool finished = true;
    {
        FileSizeLimit limit(1024);
        GuardedAppend append(target_.string());
        ASSERT_TRUE(append.is_open());
        const bool written = std::fwrite(big.data(), 1, big.size(), append.get()) == big.size();
        finished = append.finish(written);
    }
    EXPECT_FALSE(finished);
    EXPECT_EQ(testing::file_text(target_), "old content\nmore\n");
    {
        GuardedAppend refused(target_.string());
        std::fputs("given up", refused.get());
        EXPECT_FALSE(refused.finish(false));   // the caller saw a failure
    }
    EXPECT_EQ(testing::file_text(target_), "old content\nmore\n");
}

}  // namespace
}  // namespace zeph
