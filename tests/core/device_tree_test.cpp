#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/fakes/scripted_device_manager.h"
#include "device/device_tree.h"
#include "session/link_wiring.h"
#include "session/window_model.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kMainId = "USB\\VID_1C7A&PID_5C50";
constexpr const char* kBootId = "USB\\VID_1C7A&PID_5CDB";

class DeviceTreeTest : public ::testing::Test {
protected:
    ScriptedDeviceManager manager;
    WindowModel window;
    DeviceTree tree{manager, messagePaneOf(window)};

    void SetUp() override { window.memo1.clear(); }  // drop the window's start-up line

    const std::vector<std::string>& memo1() const { return window.memo1.lines(); }
    static std::string foundLine(const std::string& id) {
        return "Found! [" + id + "] ,and remove it form Device Manager.\n";
    }
};

TEST_F(DeviceTreeTest, RemovesEveryDeviceCarryingTheId) {
    manager.addDevice(hardwareIdProperty({std::string(kMainId) + "&REV_0102", kMainId}), 1);
    manager.addDevice(hardwareIdProperty({"HID\\VID_1C7A&PID_5C50", "HID_DEVICE"}), 2);
    manager.addDevice(hardwareIdProperty({kMainId}), 3);  // the only entry is the id itself
    manager.addDevice(hardwareIdProperty({std::string(kBootId) + "&REV_0001", kBootId}), 4);
    manager.list.devices.push_back({PresentDevice::IdStatus::NoIds, "", 5});

    tree.RemoveDevicesByHardwareId(kMainId);
    EXPECT_THAT(manager.removed, ElementsAre(1, 3));
    EXPECT_THAT(memo1(), ElementsAre(foundLine(kMainId), foundLine(kMainId)));
}

TEST_F(DeviceTreeTest, AnIdNoDeviceCarriesWritesNothing) {
    manager.addDevice(hardwareIdProperty({std::string(kBootId) + "&REV_0001", kBootId}), 1);
    tree.RemoveDevicesByHardwareId(kMainId);
    tree.RemoveDevicesByHardwareId("usb\\vid_1c7a&pid_5cdb");  // ids compare case-sensitively
    EXPECT_THAT(manager.removed, IsEmpty());
    EXPECT_THAT(memo1(), IsEmpty());
}

TEST_F(DeviceTreeTest, RemovalFailuresAreReportedWhereTheyHappen) {
    manager.addDevice(hardwareIdProperty({kMainId}), 1);
    manager.addDevice(hardwareIdProperty({kMainId}), 2);
    manager.refusedRemovals = {1};
    manager.list.enumerationFailed = true;
    tree.RemoveDevicesByHardwareId(kMainId);
    EXPECT_THAT(memo1(), ElementsAre(foundLine(kMainId), "Error! CallClassInstaller(REMOVE)", foundLine(kMainId),
                                     "Error! EnumDeviceInfo"));
    EXPECT_THAT(manager.removed, ElementsAre(2));
}

TEST_F(DeviceTreeTest, AnUnreadablePropertyEndsTheRemoval) {
    manager.addDevice(hardwareIdProperty({kMainId}), 1);
    manager.list.devices.push_back({PresentDevice::IdStatus::Failed, "", 2});
    manager.addDevice(hardwareIdProperty({kMainId}), 3);
    manager.list.enumerationFailed = true;
    tree.RemoveDevicesByHardwareId(kMainId);
    EXPECT_THAT(manager.removed, ElementsAre(1));
    EXPECT_THAT(memo1(), ElementsAre(foundLine(kMainId), "Error! GetDeviceRegistryProperty"));

    window.memo1.clear();
    manager.list.opened = false;
    tree.RemoveDevicesByHardwareId(kMainId);
    EXPECT_THAT(memo1(), ElementsAre("Error! GetClassDevs(All Present Devices)"));
}

TEST_F(DeviceTreeTest, AnEntryWithoutItsTerminatorIsReadOnlyToTheEndOfTheProperty) {
    manager.addDevice(std::string("HID_DEVICE") + '\0' + kMainId, 1);  // no zero, no empty entry
    manager.addDevice(std::string(kMainId) + "XYZ", 2);
    tree.RemoveDevicesByHardwareId(kMainId);
    EXPECT_THAT(manager.removed, ElementsAre(1));
}

struct RescanCase {
    RescanStatus status;
    std::vector<std::string> lines;
};

TEST_F(DeviceTreeTest, RescanReportsEachFailingStep) {
    const RescanCase cases[] = {
        {{true, true, true}, {"Rescan Device Manager!"}},
        {{false, false, false}, {"Error!! CM_Connect_Machine"}},
        {{true, false, true}, {"Error!! CM_Locate_DevNode_Ex", "Rescan Device Manager!"}},
        {{true, false, false},
         {"Error!! CM_Locate_DevNode_Ex", "Error!! CM_Reenumerate_DevNode_Ex", "Rescan Device Manager!"}},
        {{true, true, false}, {"Error!! CM_Reenumerate_DevNode_Ex", "Rescan Device Manager!"}},
    };
    for (const auto& c : cases) {
        window.memo1.clear();
        manager.rescanStatus = c.status;
        tree.RescanDevices();
        EXPECT_EQ(memo1(), c.lines);
    }
}

struct RevisionCase {
    const char* what;
    std::vector<std::string> entries;
    std::string id;
    std::uint32_t revision;
};

TEST_F(DeviceTreeTest, RevisionComesFromTheFirstEntryOfTheMatchingDevice) {
    const RevisionCase cases[] = {
        {"usual USB device", {"USB\\VID_1C7A&PID_5C50&REV_0102", kMainId}, kMainId, 0x0102},
        {"match in the first entry is not required", {"USB\\VID_1C7A&PID_5C50&REV_00A1", kMainId, "X"}, kMainId, 0xA1},
        {"id is the whole first entry", {kMainId}, kMainId, 0},
        {"first entry ends right after the tag", {"USB\\VID_1C7A&PID_5C50&REV_", kMainId}, kMainId, 0},
        {"first entry shorter than id and tag", {"USB\\VID_1C7A", kMainId}, kMainId, 0},
        {"not hexadecimal", {"USB\\VID_1C7A&PID_5C50&REV_01G2", kMainId}, kMainId, 0},
        {"sign inside the digits", {"USB\\VID_1C7A&PID_5C50&REV_-102", kMainId}, kMainId, 0},
        {"no device carries the id", {"USB\\VID_1C7A&PID_5CDB&REV_0001", kBootId}, kMainId, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        manager.list.devices.clear();
        std::string raw;
        for (const auto& e : c.entries) raw += e + '\0';
        manager.addDevice(raw + '\0', 1);
        EXPECT_EQ(tree.ReadDeviceRevision(c.id), c.revision);
    }
    EXPECT_THAT(memo1(), IsEmpty());
}

TEST_F(DeviceTreeTest, RevisionOfAnEmptyIdOrAnUnreadableTreeIsZero) {
    manager.addDevice(hardwareIdProperty({"USB\\VID_1C7A&PID_5C50&REV_0102", kMainId}), 1);
    EXPECT_EQ(tree.ReadDeviceRevision(""), 0u);
    EXPECT_EQ(manager.enumerations, 0) << "nothing enumerated for an empty id";

    manager.list.devices.insert(manager.list.devices.begin(), {PresentDevice::IdStatus::Failed, "", 9});
    EXPECT_EQ(tree.ReadDeviceRevision(kMainId), 0u);
    manager.list.devices.erase(manager.list.devices.begin());
    manager.list.devices.insert(manager.list.devices.begin(), {PresentDevice::IdStatus::NoIds, "", 9});
    EXPECT_EQ(tree.ReadDeviceRevision(kMainId), 0x0102u);
    manager.list.opened = false;
    EXPECT_EQ(tree.ReadDeviceRevision(kMainId), 0u);
}

} // namespace
} // namespace qv::test
