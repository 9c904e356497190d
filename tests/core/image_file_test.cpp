// Loading an update file: the size limit is applied before anything is
// read, and a file that is not there or not a file is refused without a
// throw.
#include <gtest/gtest.h>

#include <filesystem>

#include "programming/image_file.h"
#include "support/app_fixture.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Status = ImageFileRead::Status;

TEST(ImageFile, LoadsUpToTheLimitAndRefusesAnythingElse) {
    testing::ScratchDirectory scratch;
    const fs::path limit = scratch.path() / "limit.bin";
    const fs::path over = scratch.path() / "over.bin";
    const fs::path huge = scratch.path() / "huge.bin";
    const fs::path folder = scratch.path() / "folder.bin";
    // Sparse files: they cost no disk space and no time to make.
    for (const auto& [path, size] : {std::pair{limit, kMaxImageFileBytes}, {over, kMaxImageFileBytes + 1},
                                     {huge, std::uint64_t{3} << 30}}) {
        { std::ofstream touch(path); }
        fs::resize_file(path, size);
    }
    fs::create_directories(folder);

    struct Case {
        fs::path path;
        Status status;
        std::uint64_t size;
    };
    const Case cases[] = {
        {limit, Status::Loaded, kMaxImageFileBytes},
        {over, Status::TooLarge, kMaxImageFileBytes + 1},
        {huge, Status::TooLarge, std::uint64_t{3} << 30},
        {folder, Status::Unreadable, 0},
        {scratch.path() / "missing.bin", Status::Unreadable, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        std::vector<std::uint8_t> buffer{1, 2, 3};
        const ImageFileRead read = loadImageFile(c.path.string(), buffer);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.size, c.size);
        EXPECT_EQ(buffer.size(), c.status == Status::Loaded ? c.size : 0u);
    }
}

TEST(ImageFile, ProblemLines) {
    EXPECT_EQ(imageFileProblem("big.bin", {Status::TooLarge, 3221225472}),
              "The update file big.bin is too large: 3221225472 bytes.");
    EXPECT_EQ(imageFileProblem("gone.bin", {Status::Unreadable, 0}), "The update file gone.bin cannot be read.");
}

} // namespace
} // namespace qv
