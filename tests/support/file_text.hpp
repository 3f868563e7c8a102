#pragma once
// A file's whole content as bytes in a string; empty when it cannot be read.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zeph::testing {

inline std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace zeph::testing
