// Files replaced whole and appends cut back: a failed write keeps the old
// file as it was and leaves nothing beside it.
#include "base/replace_file.hpp"

#include <gtest/gtest.h>
#include "tests/support/file_text.hpp"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zeph {
namespace {

namespace fs = std::filesystem;

// A file size limit for the scope, as `ulimit -f` sets it, with SIGXFSZ
// ignored as the program does: a write beyond it fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = nullptr;
};

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
    const std::string big(64 * 1024, 'x');
    bool committed = true;
    {
        FileSizeLimit limit(4096);
        ReplacementFile file(target_.string());
        ASSERT_TRUE(file.is_open());
        std::fwrite(big.data(), 1, big.size(), file.get());
        committed = file.commit();
    }
    EXPECT_FALSE(committed);
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
