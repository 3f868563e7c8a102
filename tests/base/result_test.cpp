#include "base/result.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zeph {
namespace {

TEST(Result, HoldsAValueOrTheReasonThereIsNone) {
    Result<std::vector<int>> filled(std::vector<int>{1, 2, 3});
    ASSERT_TRUE(filled);
    EXPECT_TRUE(filled.status().ok);
    EXPECT_EQ(filled.message(), "");
    filled.value().push_back(4);
    EXPECT_EQ(filled.value().size(), 4u);

    const auto refused = Result<std::vector<int>>::failure("ERROR. Invalid entry.");
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.status().ok);
    EXPECT_EQ(refused.message(), "ERROR. Invalid entry.");
}

}  // namespace
}  // namespace zeph
