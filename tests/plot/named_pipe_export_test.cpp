// The plot's output files named after a named pipe: the metafile, the bitmap
// and the point file must fail at once instead of waiting for a reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>

#include "plot/metafile.hpp"
#include "base/open_file.hpp"
#include "graphics/bitmap_file.hpp"

namespace zeph {
namespace {

class NamedPipeExport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("zpipe" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        pipe_ = (dir_ / "pipe.out").string();
        ASSERT_EQ(::mkfifo(pipe_.c_str(), 0600), 0);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs `action` and expects it to finish within a minute, which only an
    // open stuck on the pipe reaches; it is then released by opening the
    // pipe's reading end, and the test fails.
    template <typename Action>
    auto finishes_at_once(Action action) {
        auto result = std::async(std::launch::async, action);
        if (result.wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
            ADD_FAILURE() << "waited on the named pipe";
            const int reader = ::open(pipe_.c_str(), O_RDONLY | O_NONBLOCK);
            result.wait();
            if (reader >= 0) ::close(reader);
        }
        return result.get();
    }

    std::filesystem::path dir_;
    std::string pipe_;
};

TEST_F(NamedPipeExport, BitmapFails) {
    RgbImage image{2, 2, std::vector<std::uint8_t>(12, 255)};
    EXPECT_FALSE(finishes_at_once([&] { return write_bitmap_file(pipe_, image); }).ok);
}

TEST_F(NamedPipeExport, MetafileFails) {
    MetafileWriter writer;
    EXPECT_FALSE(finishes_at_once([&] { return writer.open(pipe_); }).ok);
    EXPECT_FALSE(writer.is_open());
    MetafileWriter overlay;
    EXPECT_FALSE(finishes_at_once([&] { return overlay.continue_for_overlay(pipe_); }).ok);
    EXPECT_FALSE(overlay.is_open());
}

TEST_F(NamedPipeExport, OutputFilesOpenWithoutWaiting) {
    for (const char* mode : {"w", "wb", "r+b"}) {
        std::FILE* file = finishes_at_once([&] { return open_file_without_waiting(pipe_, mode); });
        EXPECT_EQ(file, nullptr) << mode;
        if (file) std::fclose(file);
    }
    const std::string plain = (dir_ / "plain.txt").string();
    std::FILE* file = open_file_without_waiting(plain, "w");
    ASSERT_NE(file, nullptr);
    EXPECT_GE(std::fputs("abc\n", file), 0);
    EXPECT_EQ(std::fclose(file), 0);
    file = open_file_without_waiting(plain, "r+b");
    ASSERT_NE(file, nullptr);
    char first[4] = {};
    EXPECT_EQ(std::fread(first, 1, 3, file), 3u);   // updating keeps the content
    EXPECT_EQ(std::string(first), "abc");
    std::fclose(file);
    EXPECT_EQ(open_file_without_waiting((dir_ / "none" / "x").string(), "w"), nullptr);
}

}  // namespace
}  // namespace zeph
