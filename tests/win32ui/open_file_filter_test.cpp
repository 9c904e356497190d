// The open dialog's filter in the form GetOpenFileNameA reads.
#include <gtest/gtest.h>

#include <string>

#include "ui/win32/open_file_filter.h"

namespace qv::win32 {
namespace {

using namespace std::string_literals;

TEST(OpenFileFilter, PairsBecomeNulEndedStringsWithAFinalNul) {
    const struct {
        std::string filter;
        std::string expected;
    } cases[] = {
        {"[*.bin]|*.bin|*.*|*.*", "[*.bin]\0*.bin\0*.*\0*.*\0\0"s},
        {"Images|*.bin;*.hex", "Images\0*.bin;*.hex\0\0"s},
        {"|*.bin", "*.bin\0*.bin\0\0"s},                  // no description: the patterns describe it
        {"[*.bin]|*.bin|Other", "[*.bin]\0*.bin\0\0"s},   // a dangling description is dropped
        {"Nothing|", ""s},                                // no patterns, no entry
        {"", ""s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toOpenFileNameFilter(c.filter), c.expected) << c.filter;
    }
}

} // namespace
} // namespace qv::win32
