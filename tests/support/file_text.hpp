#pragma once
// A file's whole content as bytes in a string; empty when it cannot be read.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zeph::testing {

inline std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The numbers of each line of a text, commas read as blanks (an empty line stays empty).
inline std::vector<std::vector<double>> numbers_of_lines(const std::string& text) {
    std::vector<std::vector<double>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (char& c : line)
            if (c == ',') c = ' ';
        std::istringstream fields(line);
        std::vector<double> numbers;
        for (double v; fields >> v;) numbers.push_back(v);
        lines.push_back(numbers);
    }
    return lines;
}

}  // namespace zeph::testing
