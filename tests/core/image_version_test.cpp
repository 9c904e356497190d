// Version texts of the loaded image: the fixed-field copy and the line
// ShowImageVersion appends for each device family.
#include <gtest/gtest.h>

#include "platform/sim/image_maker.h"
#include "programming/image_file.h"
#include "support/sim_session.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ImageFieldText, CopiesUpToTheTerminatorTheWidthOrTheEnd) {
    const Bytes bytes = {'A', 'B', 0, 'C', 'D', 'E', 'F', 'G'};
    struct Case {
        std::size_t offset, width;
        const char* expected;
    };
    const Case cases[] = {
        {0, 8, "AB"},    {0, 1, "A"},   {3, 3, "CDE"},  {3, 16, "CDEFG"},  // the end acts as a terminator
        {2, 4, ""},      {7, 4, "G"},   {8, 4, ""},     {100, 32, ""},
        {SIZE_MAX, 32, ""}, {3, SIZE_MAX, "CDEFG"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fieldText(bytes, c.offset, c.width), c.expected) << c.offset << "/" << c.width;
    }
    EXPECT_EQ(fieldText(Bytes{}, 0, 16), "");
    // 8-bit characters are kept as they are.
    EXPECT_EQ(fieldText(Bytes{0xE9, 0xFF, 0x00}, 0, 16), "\xE9\xFF");
}

struct FamilyCase {
    bool ff6d;
    bool ff4e;
    const char* expected;
};

TEST(ShowImageVersion, PicksTheFieldByFamily) {
    const FamilyCase cases[] = {
        {false, false, "New Firmware Version: FW 5C 1.0\n"},  // FF5C/FF7A: 0x0090
        {true, false, "New Firmware Version: OEM text of thirty-two chars!!!!\n"},
        {false, true, "New Firmware Version: OEM text of thirty-two chars!!!!\n"},
    };
    const auto image = sim::makeFirmwareImage({.kind = sim::ImageKind::Small,
                                               .length = 0xD800,
                                               .version = "FW 5C 1.0",
                                               .oemVersion = "OEM text of thirty-two chars!!!!"});
    for (const auto& c : cases) {
        testing::SimSession t;
        t.session.window.memo1.clear();
        t.session.ImageBuffer = image;
        t.session.FF6DPresent = c.ff6d;
        t.session.FF4EPresent = c.ff4e;
        t.session.window.memo1.append("before");
        ShowImageVersion(t.session);
        EXPECT_EQ(t.session.window.memo1.lines(), (std::vector<std::string>{"before", "", c.expected}));
    }
}

TEST(ShowImageVersion, NothingLoadedNothingShownAndShortFilesStayInside) {
    testing::SimSession t;
    t.session.window.memo1.clear();
    ShowImageVersion(t.session);
    EXPECT_TRUE(t.session.window.memo1.lines().empty());

    // A 1 KiB file has no 0x3100 field: the text is empty, nothing is read
    // past the end.
    t.session.ImageBuffer = sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile});
    t.session.FF6DPresent = true;
    ShowImageVersion(t.session);
    EXPECT_EQ(t.session.window.memo1.lines(), (std::vector<std::string>{"", "New Firmware Version: \n"}));

    // A file ending inside the 0x0090 field with no terminator.
    t.session.window.memo1.clear();
    t.session.FF6DPresent = false;
    t.session.ImageBuffer.assign(0x94, 'v');
    ShowImageVersion(t.session);
    EXPECT_EQ(t.session.window.memo1.lines(), (std::vector<std::string>{"", "New Firmware Version: vvvv\n"}));
}

} // namespace
} // namespace qv
