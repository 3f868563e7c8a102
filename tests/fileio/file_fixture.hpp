#pragma once
// Shared by the sample-file tests: a scratch directory per test, crafted
// little-endian bytes, and running the external tools used as references.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/support/file_text.hpp"
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/run_command.hpp"

#include "tests/support/temp_directory.hpp"

namespace zeph::test {

// A unique directory under the system's temporary directory, removed after the test.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp_.emplace("zfio");
        dir_ = temp_->path();
    }
    void TearDown() override { temp_.reset(); }

    std::string path(std::string_view name) const { return (dir_ / name).string(); }

    std::string write_file(std::string_view name, const std::string& bytes) const {
        const std::string p = path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    static std::string read_file(const std::string& p) { return zeph::testing::file_text(p); }

    std::filesystem::path dir_;

private:
    std::optional<zeph::testing::TempDirectory> temp_;
};

// Little-endian bytes for crafted files.
struct Bytes {
    std::string s;
    Bytes& text(std::string_view t) { s += t; return *this; }
    Bytes& u16(std::uint16_t v) { s += char(v & 0xFF); s += char(v >> 8); return *this; }
    Bytes& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    Bytes& u32(std::uint32_t v) { u16(v & 0xFFFF); return u16(v >> 16); }
    Bytes& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    Bytes& f64(double v) {
        const auto b = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(b));
        return u32(static_cast<std::uint32_t>(b >> 32));
    }
};

// The frames of an audio file as sox decodes them, on the 16-bit scale (full
// scale 32768): one vector of channel values per frame; rounded to integers
// when `round` is set. Empty when sox fails.
inline std::vector<std::vector<double>> sox_frames(const std::string& file, bool round) {
    int status = 0;
    std::istringstream text(run_command("sox '" + file + "' -t dat -", &status));
    std::vector<std::vector<double>> frames;
    if (status != 0) return frames;
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == ';') continue;
        std::istringstream values(line);
        double time = 0, v = 0;
        values >> time;
        frames.emplace_back();
        while (values >> v) frames.back().push_back(round ? std::round(v * 32768.0) : v * 32768.0);
    }
    return frames;
}

inline std::span<const std::byte> as_bytes(const std::string& s) {
    return std::as_bytes(std::span(s.data(), s.size()));
}

}  // namespace zeph::test
