#include "shell/startup.hpp"

#include <gtest/gtest.h>

#include "base/utf8.hpp"

namespace zeph {
namespace {

TEST(StartupArguments, FileNamesKeepEightyCharactersNotEightyBytes) {
    std::string fifty;   // 50 characters, 100 bytes
    for (int i = 0; i < 50; ++i) fifty += "π";
    std::string ninety;   // 90 characters, 180 bytes
    for (int i = 0; i < 90; ++i) ninety += "é";
    const StartupArguments a = classify_arguments({"/data/señal/" + fifty, ninety, "nopause"});
    EXPECT_EQ(a.directory, "/data/señal");
    EXPECT_EQ(a.real_file_name, fifty);
    EXPECT_EQ(character_count(a.imag_file_name), 80u);
    EXPECT_EQ(a.imag_file_name, ninety.substr(0, 160));   // cut between characters
    EXPECT_TRUE(a.nopause);
}

}  // namespace
}  // namespace zeph
