// The text helpers every layer shares.
#include "base/text.hpp"

#include <gtest/gtest.h>

#include "base/numbers.hpp"

namespace zeph {
namespace {

TEST(Text, PaddedAtLeastKeepsALongerTextWhole) {
    EXPECT_EQ(padded_at_least("abc", 5), "abc  ");
    EXPECT_EQ(padded_at_least("abcdef", 4), "abcdef");
    EXPECT_EQ(padded_at_least("", 2), "  ");
}

TEST(Text, TrimRightDropsTrailingBlanksOnly) {
    EXPECT_EQ(trim_right("  a b  "), "  a b");
    EXPECT_EQ(trim_right("name\r\n"), "name");
    EXPECT_EQ(trim_right("x\t \t"), "x");
    EXPECT_EQ(trim_right("    "), "");
    EXPECT_EQ(trim_right(""), "");
}

TEST(Text, UpperCaseRaisesAsciiLettersOnly) {
    EXPECT_EQ(upper_case("abc XYZ 1.5e3 _z"), "ABC XYZ 1.5E3 _Z");
    EXPECT_EQ(upper_case("\xC2\xB5s \xCF\x80"), "\xC2\xB5S \xCF\x80");   // µs π: UTF-8 bytes untouched
    EXPECT_EQ(upper_letter('q'), 'Q');
    EXPECT_EQ(upper_letter('{'), '{');
    EXPECT_EQ(upper_letter('`'), '`');
}

TEST(Text, FileNamesEndInAnExtensionInAnyCase) {
    EXPECT_TRUE(ends_with_any_case("PLOT.Png", ".png"));
    EXPECT_TRUE(ends_with_any_case(".png", ".PNG"));   // the whole name may be the ending
    EXPECT_FALSE(ends_with_any_case("plot.pn", ".png"));
    EXPECT_FALSE(ends_with_any_case("png", ".png"));
    EXPECT_TRUE(has_extension("x.FLAC", ".flac"));
    EXPECT_FALSE(has_extension(".flac", ".flac"));     // no name before the extension
    EXPECT_FALSE(has_extension("x.flac.txt", ".flac"));
}

TEST(Text, TrimmedFileNameDropsTheDialoguePadding) {
    EXPECT_EQ(trimmed_file_name("data.r8    "), "data.r8");
    EXPECT_EQ(trimmed_file_name("  my file.dat "), "  my file.dat");
    EXPECT_EQ(trimmed_file_name("   "), "");
}

TEST(Numbers, NearestIntRoundsHalvesAwayAndSaturates) {
    EXPECT_EQ(nearest_int(2.5), 3);
    EXPECT_EQ(nearest_int(-2.5), -3);
    EXPECT_EQ(nearest_int(2.49), 2);
    EXPECT_EQ(nearest_int(1e300), INT_MAX);
    EXPECT_EQ(nearest_int(-1e300), INT_MIN);
    EXPECT_EQ(nearest_int(std::nan("")), 0);
}

}  // namespace
}  // namespace zeph
