// Lines read from a stream: endings, the length bound and the end of the file.
#include "base/read_line.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace zeph {
namespace {

TEST(ReadTextLine, DropsLineEndsBoundsLengthAndEndsAtEof) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("one\r\n\ntoo long line\nlast", file);
    std::rewind(file);
    EXPECT_EQ(read_text_line(file, 8), "one");
    EXPECT_EQ(read_text_line(file, 8), "");                 // an empty line is a line
    EXPECT_EQ(read_text_line(file, 8), "too long");         // the rest of it is dropped
    EXPECT_EQ(read_text_line(file, 8), "last");             // no newline before the end
    EXPECT_EQ(read_text_line(file, 8), std::nullopt);
    std::fclose(file);
    EXPECT_EQ(read_text_line(nullptr, 8), std::nullopt);
}

}  // namespace
}  // namespace zeph
