#include <gtest/gtest.h>

#include "app/version_number.h"

namespace qv {
namespace {

int compareTexts(const char* a, const char* b) {
    const auto x = VersionNumber::parse(a);
    const auto y = VersionNumber::parse(b);
    EXPECT_TRUE(x && y) << a << " / " << b;
    return x && y ? x->compare(*y) : 99;
}

TEST(VersionNumber, ComparesByValueNotByText) {
    struct Case {
        const char* lower;
        const char* higher;
    };
    const Case cases[] = {
        {"1.10", "1.9"}, {"1.9", "2.0"}, {"1.10", "2.0"}, {"9", "10"}, {"0.5", "1"},   {"1.09", "1.1"},
        {"-1", "0"},     {"-2", "-1.5"}, {"1", "1.0001"}, {".5", "1."}, {"99999999999999999999", "100000000000000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_LT(compareTexts(c.lower, c.higher), 0) << c.lower << " < " << c.higher;
        EXPECT_GT(compareTexts(c.higher, c.lower), 0) << c.higher << " > " << c.lower;
    }
}

TEST(VersionNumber, EqualValuesCompareEqual) {
    const std::pair<const char*, const char*> cases[] = {
        {"2.0", "2"}, {"007", "7"}, {"1.50", "1.5"}, {"-0", "0"}, {" 3.1 ", "3.1"}, {"+4", "4"}, {"0.0", "-.0"},
    };
    for (const auto& [a, b] : cases) {
        EXPECT_EQ(compareTexts(a, b), 0) << a << " == " << b;
    }
}

TEST(VersionNumber, RefusesTextsThatAreNoDecimalNumber) {
    for (const char* text : {"", " ", ".", "1.2.3", "1,5", "1e3", "v1", "1a", "--1", "+", "1 2", "0x10"}) {
        EXPECT_FALSE(VersionNumber::parse(text)) << "'" << text << "'";
    }
}

} // namespace
} // namespace qv
