// INPUTD: field splitting, merging with the current values, statuses.
#include "input/expr/inputd.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace zeph {
namespace {

struct MergeCase {
    std::string reply;
    std::string current;
    std::vector<double> values;
    std::string new_current;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << '"' << c.reply << "\" against \"" << c.current << '"'; }

class InputdMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(InputdMerge, DecodesAndMerges) {
    const MergeCase& c = GetParam();
    Interpreter interp([] { return 0.0; });
    const InputdResult r = inputd(interp, c.current, c.reply);
    EXPECT_EQ(r.outcome, InputdOutcome::decoded) << r.message;
    ASSERT_EQ(r.decoded_count, static_cast<int>(c.values.size()));
    for (std::size_t k = 0; k < c.values.size(); ++k) EXPECT_DOUBLE_EQ(r.values[k], c.values[k]) << k;
    EXPECT_EQ(r.current_text, c.new_current);
    EXPECT_TRUE(r.console_lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, InputdMerge,
    ::testing::Values(
        MergeCase{"1,,3", "5 6 7", {1, 6, 3}, "1 6 3"}, MergeCase{"2 /", "5 6 7", {2, 6, 7}, "2 6 7"},
        MergeCase{"2/", "5 6 7", {2, 6, 7}, "2 6 7"}, MergeCase{"/", "5 6 7", {5, 6, 7}, "5 6 7"},
        MergeCase{"1 , 2", "5 6 7", {1, 6, 2}, "1 6 2"}, MergeCase{"1,2", "", {1, 2}, "1 2"},
        MergeCase{"1, 2", "", {1, 2}, "1 2"}, MergeCase{"1,", "", {1}, "1"},
        MergeCase{",1", "5 6", {5, 1}, "5 1"}, MergeCase{"9", "5 6 7", {9}, "9"},
        MergeCase{"pi/4", "", {kPi / 4}, "PI/4"}, MergeCase{"8/2 /", "1 2", {4, 2}, "8/2 2"},
        MergeCase{"PI/4/", "1 2", {kPi / 4, 2}, "PI/4 2"},
        MergeCase{"'CMPLX(1., 2.)'", "", {1}, "'CMPLX(1., 2.)'"},
        MergeCase{"'cmplx(3., 2.)' 4", "", {3, 4}, "'CMPLX(3., 2.)' 4"},
        MergeCase{"'1 / 2' /", "0 9", {0.5, 9}, "'1 / 2' 9"},
        MergeCase{"'1+2", "", {3}, "'1+2"},   // an open quote runs to column 80
        MergeCase{"1 2 3 4 5 6", "", {1, 2, 3, 4, 5, 6}, "1 2 3 4 5 6"},
        MergeCase{",,,,,6", "1 2 3 4 5", {1, 2, 3, 4, 5, 6}, "1 2 3 4 5 6"},
        MergeCase{"1 2", "'CMPLX(1., 2.)' 8 9", {1, 2}, "1 2"},
        MergeCase{"/", "'1, 2' 3", {1, 3}, "'1, 2' 3"},
        MergeCase{"X=2 X*3", "", {2, 6}, "X=2 X*3"},
        MergeCase{"1 " + std::string(90, ' ') + "JUNK", "", {1}, "1"},   // only 80 columns count
        MergeCase{"  1.5D-3   ", "", {0.0015}, "1.5D-3"}));

TEST(Inputd, BlankReplyIsStatusZero) {
    Interpreter interp([] { return 0.0; });
    for (const char* reply : {"", "    "}) {
        const InputdResult r = inputd(interp, "5 6 7", reply);
        EXPECT_EQ(r.outcome, InputdOutcome::blank);
        EXPECT_EQ(r.decoded_count, 0);
        EXPECT_EQ(r.current_text, "5 6 7");   // unchanged
    }
}

TEST(Inputd, NothingToDecodeBlanksCurrent) {
    Interpreter interp([] { return 0.0; });
    const InputdResult r = inputd(interp, "", "/");
    EXPECT_EQ(r.outcome, InputdOutcome::blank);
    EXPECT_EQ(r.current_text, "");
}

TEST(Inputd, MissingField) {
    Interpreter interp([] { return 0.0; });
    const InputdResult r = inputd(interp, "", "1 , 2");
    EXPECT_EQ(r.outcome, InputdOutcome::field_missing);
    ASSERT_EQ(r.console_lines.size(), 1u);
    EXPECT_EQ(r.console_lines[0], " ******INPUTD. FIELD NO. 2 MISSING");
    EXPECT_EQ(r.decoded_count, 1);
    EXPECT_EQ(r.values[0], 1);
    EXPECT_EQ(r.current_text, "");

    const InputdResult s = inputd(interp, "1,", "/");   // a comma after field text opens no field
    EXPECT_EQ(s.outcome, InputdOutcome::decoded);
    EXPECT_EQ(s.decoded_count, 1);
    const InputdResult u = inputd(interp, "1 ,", "/");   // but one after a blank makes an empty field
    EXPECT_EQ(u.outcome, InputdOutcome::field_missing);
    EXPECT_EQ(u.console_lines.at(0), " ******INPUTD. FIELD NO. 2 MISSING");
    const InputdResult t = inputd(interp, "7 8 ,", ",,,");
    EXPECT_EQ(t.outcome, InputdOutcome::field_missing);
    EXPECT_EQ(t.console_lines.at(0), " ******INPUTD. FIELD NO. 3 MISSING");
}

TEST(Inputd, MoreThanSixFields) {
    Interpreter interp([] { return 0.0; });
    const InputdResult r = inputd(interp, "5", "1 2 3 4 5 6 7");
    EXPECT_EQ(r.outcome, InputdOutcome::too_many_fields);
    ASSERT_EQ(r.console_lines.size(), 1u);
    EXPECT_EQ(r.console_lines[0], "******INPUTD. NO MORE THAN 6 FIELDS ALLOWED");
    EXPECT_EQ(r.decoded_count, 0);
    EXPECT_EQ(r.current_text, "5");
    EXPECT_EQ(inputd(interp, "1,2,3,4,5,6,7", "1").outcome, InputdOutcome::too_many_fields);   // the current text counts too
    EXPECT_EQ(inputd(interp, "", ",,,,,,,").outcome, InputdOutcome::too_many_fields);          // seven commas: seven empty fields
    EXPECT_EQ(inputd(interp, "1 2 3 4 5 6", ",,,,,,").decoded_count, 6);
}

TEST(Inputd, InterpFailureKeepsEarlierValues) {
    Interpreter interp([] { return 0.0; });
    const InputdResult r = inputd(interp, "5 6 7", "1 2 Q");
    EXPECT_EQ(r.outcome, InputdOutcome::not_evaluated);
    EXPECT_EQ(r.interp_status, InterpStatus::unassigned_variable);
    EXPECT_EQ(r.message, "*****INTERP. VARIABLE Q HAS NOT BEEN ASSIGNED A VALUE");
    EXPECT_EQ(r.decoded_count, 2);
    EXPECT_EQ(r.values[0], 1);
    EXPECT_EQ(r.values[1], 2);
    EXPECT_EQ(r.current_text, "5 6 7");
    EXPECT_TRUE(r.console_lines.empty());
    EXPECT_EQ(inputd(interp, "", "''").interp_status, InterpStatus::missing_expression);   // quotes blanked: empty expression
    EXPECT_EQ(inputd(interp, "", "1,2,3,'").interp_status, InterpStatus::missing_expression);   // the open quote runs to column 80
}

TEST(Inputd, LongFieldsAreEvaluatedButNotAllAppended) {
    Interpreter interp([] { return 0.0; });
    std::string first = "1";
    for (int i = 0; i < 25; ++i) first += "+0";   // 51 characters
    std::string second = "2";
    for (int i = 0; i < 19; ++i) second += "+0";   // 39 characters
    const InputdResult r = inputd(interp, "5 " + second, first + " /");
    EXPECT_EQ(r.outcome, InputdOutcome::decoded);
    EXPECT_EQ(r.decoded_count, 2);
    EXPECT_EQ(r.values[0], 1);
    EXPECT_EQ(r.values[1], 2);
    EXPECT_EQ(r.current_text, first);   // 51 + 1 + 39 > 80: the second is not appended
}

TEST(Inputd, SplitFields) {
    std::vector<std::string> fields;
    bool slash = false;
    ASSERT_TRUE(split_fields("1 , 2", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"1", "", "2"}));
    EXPECT_FALSE(slash);
    ASSERT_TRUE(split_fields("PI/4", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"PI/4"}));
    ASSERT_TRUE(split_fields("PI/4 /   ", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"PI/4"}));
    EXPECT_TRUE(slash);
    ASSERT_TRUE(split_fields("/ 1", fields, slash));   // a slash followed by text is field text
    EXPECT_EQ(fields, (std::vector<std::string>{"/", "1"}));
    EXPECT_FALSE(slash);
    ASSERT_TRUE(split_fields("'A, B' C", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"'A, B'", "C"}));
    ASSERT_TRUE(split_fields("'A''B'", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"'A'", "'B'"}));
    ASSERT_TRUE(split_fields("AB'C' D", fields, slash));   // a quote after field text starts a new field
    EXPECT_EQ(fields, (std::vector<std::string>{"AB", "'C'", "D"}));
    ASSERT_TRUE(split_fields("'/'", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"'/'"}));
    EXPECT_FALSE(slash);
    ASSERT_TRUE(split_fields(",,", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"", ""}));
    ASSERT_TRUE(split_fields(std::string(79, ' ') + "7", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"7"}));
    EXPECT_FALSE(split_fields("1 2 3 4 5 6 7", fields, slash));
}

TEST(Inputd, ColumnsCountCharactersOfUtf8Text) {
    std::vector<std::string> fields;
    bool slash = false;
    // Column 80 is the second π: the field is cut after it, never inside it.
    ASSERT_TRUE(split_fields(std::string(77, ' ') + "5πππ", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"5ππ"}));
    ASSERT_TRUE(split_fields("'Θ, µ' √2,3 /", fields, slash));
    EXPECT_EQ(fields, (std::vector<std::string>{"'Θ, µ'", "√2", "3"}));
    EXPECT_TRUE(slash);
    // A slash after 79 two-byte characters still ends the scan at column 80.
    std::string wide;
    for (int i = 0; i < 78; ++i) wide += "µ";
    ASSERT_TRUE(split_fields(wide + " /", fields, slash));
    EXPECT_EQ(fields.size(), 1u);
    EXPECT_TRUE(slash);

}

}  // namespace
}  // namespace zeph
