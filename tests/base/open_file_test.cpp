// Files opened without waiting: named pipes never block the program.
#include "base/open_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "tests/support/temp_directory.hpp"

namespace zeph {
namespace {

class OpenFile : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir_.file(name); }

    zeph::testing::TempDirectory dir_{"zopen"};
};

TEST_F(OpenFile, WritesReadsAndUpdatesARegularFile) {
    std::FILE* file = open_file_without_waiting(path("f"), "wb");
    ASSERT_NE(file, nullptr);
    const int flags = ::fcntl(fileno(file), F_GETFL);
    EXPECT_EQ(flags & O_NONBLOCK, 0);   // cleared after the open
    EXPECT_NE(::fcntl(fileno(file), F_GETFD) & FD_CLOEXEC, 0);
    std::fputs("abc", file);
    ASSERT_EQ(std::fclose(file), 0);

    file = open_file_without_waiting(path("f"), "r+b");
    ASSERT_NE(file, nullptr);
    std::fputc('X', file);
    ASSERT_EQ(std::fclose(file), 0);

    file = open_file_without_waiting(path("f"), "rb");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 3u);
    EXPECT_STREQ(text, "Xbc");
    std::fclose(file);
}

TEST_F(OpenFile, MissingFileLeavesErrnoToTellWhy) {
    errno = 0;
    EXPECT_EQ(open_file_without_waiting(path("none"), "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(open_file_without_waiting(path("none/x"), "w"), nullptr);
    EXPECT_EQ(open_file_without_waiting(path("none"), "r+b"), nullptr);   // updating never creates
}

TEST_F(OpenFile, NamedPipeWithoutPeerNeverWaits) {
    const std::string pipe = path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // No reader: writing is refused at once, updating too.
    EXPECT_EQ(open_file_without_waiting(pipe, "wb"), nullptr);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(open_file_without_waiting(pipe, "r+b"), nullptr);
    // No writer: reading opens at once and sees the end.
    std::FILE* file = open_file_without_waiting(pipe, "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), EOF);
    std::fclose(file);
}

}  // namespace
}  // namespace zeph
