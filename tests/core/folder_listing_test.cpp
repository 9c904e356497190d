// The portable folder listing: ".bin" names in any letter case, and a
// folder that cannot be listed gives an empty list, never a throw.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/portable_ports.h"
#include "support/sim_session.h"

namespace qv {
namespace {

TEST(FolderListing, ListsBinNamesAndAnUnlistableFolderIsEmpty) {
    testing::ScratchDirectory scratch;
    for (const char* name : {"a.bin", "B.BIN", "c.txt", ".hidden.bin"}) std::ofstream(scratch.path() / name) << "x";
    std::filesystem::create_directories(scratch.path() / "dir.bin");
    FolderDirectoryListing listing;
    auto entries = listing.listBinFiles(scratch.folder());
    std::sort(entries.begin(), entries.end(), [](const auto& l, const auto& r) { return l.name < r.name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, ".hidden.bin");
    EXPECT_TRUE(entries[0].isHidden);
    EXPECT_EQ(entries[1].name, "B.BIN");
    EXPECT_EQ(entries[2].name, "a.bin");
    EXPECT_EQ(entries[3].name, "dir.bin");
    EXPECT_TRUE(entries[3].isDirectory);

    EXPECT_TRUE(listing.listBinFiles(scratch.folder() + "missing/").empty());
    EXPECT_TRUE(listing.listBinFiles(scratch.folder() + "a.bin/").empty());  // a file, not a folder
}

} // namespace
} // namespace qv
