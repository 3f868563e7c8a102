#pragma once
// A fresh directory under the system's temporary directory for one test,
// removed with everything in it when the object goes.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace zeph::testing {

class TempDirectory {
public:
    // `prefix` short, so that messages naming a file in it stay within 80 characters.
    explicit TempDirectory(std::string_view prefix) {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                (std::string(prefix) + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace zeph::testing
