// Choosing the update file: candidate search and the five rules.
#include <gtest/gtest.h>

#include "app/update_selection.h"
#include "platform/directory_listing.h"
#include "platform/portable_ports.h"
#include "programming/flash_mode.h"
#include "support/app_fixture.h"

namespace qv {
namespace {

using testing::AppTest;
using testing::imageWithVersion;

class Selection : public AppTest {};

TEST_F(Selection, CandidateSearchTakesExactlyDotBinAndSkipsHiddenSystemAndFolders) {
    listing.folders[sim.scratch.folder()] = {
        {"A.bin"},   {"B.BIN"},      {"c.bin2"},  {"d.bin.old"}, {"e.x.bin"},
        {"hid.bin", false, true},    {"sys.bin", false, false, true}, {"dir.bin", true}, {"bin"},
    };
    EXPECT_EQ(FindUpdateCandidates(session(), sim.scratch.folder(), false),
              (std::vector<std::string>{"A.bin", "e.x.bin"}));
    EXPECT_EQ(FindUpdateCandidates(session(), sim.scratch.folder(), true),
              (std::vector<std::string>{sim.scratch.folder() + "A.bin", sim.scratch.folder() + "e.x.bin"}));
}

TEST_F(Selection, PlainRuleOneFileIsSelectedAndTheUpperCaseExtensionIsNoCandidate) {
    addFile("A.bin", imageWithVersion("X"));
    addFile("B.BIN", imageWithVersion("Y"));
    listInOrder({"A.bin", "B.BIN"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(session().UpdateCandidates, std::vector<std::string>{"A.bin"});
}

TEST_F(Selection, PlainRuleCountsNoneOneAndTooMany) {
    listInOrder({});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);

    std::vector<std::string> seventeen;
    for (int i = 0; i < 17; ++i) seventeen.push_back("f" + std::to_string(i) + ".bin");
    listInOrder(seventeen);
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::TooMany);
    EXPECT_EQ(session().UpdateCandidates.size(), 16u);
    EXPECT_EQ(session().UpdateCandidates.back(), "f15.bin");
}

TEST(NameOrder, UpperCasedThenByteWise) {
    const std::pair<std::string, std::string> ordered[] = {
        {"a.bin", "B.bin"},        // letters compare without their case
        {"Z.bin", "_a.bin"},       // '_' lies between the upper- and lower-case letters
        {"A.bin", "a.bin"},        // equal without case: by their own bytes
        {"fw.bin", "fw1.bin"},     // a prefix first
        {"f9.bin", "f\xE4.bin"},   // bytes above 0x7F after ASCII, unchanged
        {"F10.bin", "f2.bin"},     // no number order
    };
    for (const auto& [first, second] : ordered) {
        EXPECT_TRUE(comesBeforeInNameOrder(first, second)) << first << " " << second;
        EXPECT_FALSE(comesBeforeInNameOrder(second, first)) << first << " " << second;
    }
    EXPECT_FALSE(comesBeforeInNameOrder("a.bin", "a.bin"));
}

TEST_F(Selection, TheRealFolderListingKeepsTheFirstSixteenNames) {
    FolderDirectoryListing folderListing;
    session().ports.directory = &folderListing;
    std::vector<std::string> names;
    for (int i = 16; i >= 0; --i) {
        const std::string name = "n" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".bin";
        addFile(name, imageWithVersion("X"));
        names.insert(names.begin(), name);
    }
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::TooMany);
    names.pop_back();  // n16.bin: the seventeenth name
    EXPECT_EQ(session().UpdateCandidates, names);
}

class NameRule : public AppTest {
protected:
    NameRule() : AppTest(CommandLine({"/fnew.BIN"})) {}
};

TEST_F(NameRule, SelectsTheCandidateWhoseNameMatchesInAnyLetterCase) {
    listInOrder({"old.bin", "New.bin", "other.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(session().UpdateCandidates.front(), "New.bin");
    // No device is touched by the name rule.
    EXPECT_EQ(session().DeviceModeState, -1);
}

TEST_F(NameRule, ANameThatIsNoCandidateGivesNoFile) {
    listInOrder({"new.bin2", "old.bin"});
    listing.folders[sim.scratch.folder() + "New_PCB/"] = {{"new.bin"}};
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
}

class EmptyNameRule : public AppTest {
protected:
    EmptyNameRule() : AppTest(CommandLine({"/F", "new.bin"})) {}
};

TEST_F(EmptyNameRule, SwitchWithoutValueSelectsNothing) {
    listInOrder({"new.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
}

class VersionRule : public AppTest {
protected:
    VersionRule() {
        session().options.PROJECTNAME[0] = "XYZ";
        session().options.PROJECTNAME[1] = "ABC";
    }
    sim::SimulatedDevice& deviceRunning(const std::string& version) {
        auto& device = sim.hub.addDevice();
        setDeviceVersion(device, version);
        return device;
    }
};

TEST_F(VersionRule, FirstNewerFileOfTheDevicesProjectComparedNumerically) {
    deviceRunning("ABC1.9");
    addFile("one.bin", imageWithVersion("ABC1.10"));
    addFile("two.bin", imageWithVersion("ABC2.0"));
    addFile("three.bin", imageWithVersion("ABC3.0"));
    listInOrder({"one.bin", "two.bin", "three.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(session().UpdateCandidates.front(), "two.bin");  // the first newer one, not the newest
    EXPECT_EQ(session().ProjectIndex, 2);
    EXPECT_EQ(session().RunState, 2);
    EXPECT_EQ(session().DeviceModeState, 1);
}

TEST_F(VersionRule, SameProjectNotNewerIsUpToDateOtherProjectsAreNoFile) {
    deviceRunning("ABC1.9");
    addFile("same.bin", imageWithVersion("ABC1.9"));
    addFile("other.bin", imageWithVersion("XYZ5.0"));
    listInOrder({"same.bin", "other.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::UpToDate);

    listInOrder({"other.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
}

TEST_F(VersionRule, DeviceOfNoKnownProjectOrNotInNormalModeGivesNoFile) {
    auto& device = deviceRunning("QQQ1.0");
    addFile("new.bin", imageWithVersion("ABC9.0"));
    listInOrder({"new.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);

    device.unplug();
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
    EXPECT_EQ(session().DeviceModeState, 0);
}

TEST_F(VersionRule, DeviceInFlashModeGivesNoFile) {
    auto& device = sim.hub.addDevice({.mode = sim::Mode::Flash});
    setDeviceVersion(device, "ABC1.0");
    addFile("new.bin", imageWithVersion("ABC9.0"));
    listInOrder({"new.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
    EXPECT_EQ(session().DeviceModeState, 2);
}

TEST_F(VersionRule, ANumberPartThatIsNoDecimalNumberStopsTheChoice) {
    deviceRunning("ABC1.9");
    addFile("bad.bin", imageWithVersion("ABC1.9beta"));
    listInOrder({"bad.bin"});
    std::string problem;
    EXPECT_EQ(SelectUpdateFile(session(), problem), SelectionVerdict::BadVersion);
    EXPECT_NE(problem.find("ABC1.9beta"), std::string::npos) << problem;

    deviceRunning("ABC");  // the device's text: no number at all
    sim.hub.device(0).unplug();
    addFile("good.bin", imageWithVersion("ABC2.0"));
    listInOrder({"good.bin"});
    EXPECT_EQ(SelectUpdateFile(session(), problem), SelectionVerdict::BadVersion);
    EXPECT_NE(problem.find("the device"), std::string::npos) << problem;
}

TEST_F(VersionRule, AFileTooShortForTheVersionFieldIsOfNoProject) {
    deviceRunning("ABC1.0");
    addFile("param.bin", sim::makeFirmwareImage({.kind = sim::ImageKind::ParameterFile}));
    listInOrder({"param.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
}

// The real folder listing, the files copied in no name order: the first
// newer file by name is chosen, as Windows shows them on NTFS, whatever
// order the file system keeps them in.
TEST_F(VersionRule, OnTheRealFolderListingTheFirstNewerFileByNameIsChosen) {
    FolderDirectoryListing folderListing;
    session().ports.directory = &folderListing;
    deviceRunning("ABC1.0");
    addFile("z.bin", imageWithVersion("ABC3.0"));
    addFile("b.bin", imageWithVersion("ABC2.0"));
    addFile("M.bin", imageWithVersion("ABC4.0"));

    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(session().UpdateCandidates.front(), "b.bin");
    std::vector<std::string> listed;
    for (const auto& entry : folderListing.listBinFiles(sim.scratch.folder())) listed.push_back(entry.name);
    EXPECT_EQ(listed, (std::vector<std::string>{"b.bin", "M.bin", "z.bin"}));
}

class BoardRevisionRule : public AppTest {
protected:
    BoardRevisionRule() { session().options.TALVIK_BCDDEVICE = 2; }
    void filesInEveryFolder() {
        addFile("top.bin", imageWithVersion("T"));
        for (const char* sub : {"New_PCB", "Old_PCB", "Test_PCB", "No_PCB"}) {
            addFile(std::string(sub) + "/" + sub + ".bin", imageWithVersion(sub));
        }
    }
    std::string selected() const { return sim.session.UpdateCandidates.front(); }
    // Where the rule finds `name` in the PCB folder `sub`.
    std::string inFolder(const std::string& sub, const std::string& name) const {
        return sim.scratch.folder() + sub + kPathSeparator + name;
    }
};

TEST_F(BoardRevisionRule, TheMajorRevisionByteChoosesTheFolder) {
    filesInEveryFolder();
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0110, "Test_PCB"}, {0x0201, "Old_PCB"}, {0x0300, "New_PCB"}};
    for (const auto& [revision, expected] : cases) {
        auto& device = sim.hub.addDevice({.revision = revision});
        EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected) << std::hex << revision;
        EXPECT_EQ(selected(), inFolder(expected, std::string(expected) + ".bin"));
        EXPECT_FALSE(session().DefaultFolderUsed);
        EXPECT_EQ(session().DeviceModeState, -1);  // the rule opens no device
        device.unplug();
    }
}

TEST_F(BoardRevisionRule, NoReadableRevisionFallsBackToTheDefaultFolder) {
    filesInEveryFolder();
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(selected(), inFolder("New_PCB", "New_PCB.bin"));
    EXPECT_TRUE(session().DefaultFolderUsed);

    session().options.TALVIK_DEFAULTPATCH = 2;
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(selected(), inFolder("Old_PCB", "Old_PCB.bin"));
    session().options.TALVIK_DEFAULTPATCH = 7;
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(selected(), inFolder("No_PCB", "No_PCB.bin"));
}

TEST_F(BoardRevisionRule, AnAlternativeHardwareIdReplacesTheMainOne) {
    filesInEveryFolder();
    sim.hub.addDevice({.revision = 0x0201});
    session().options.MAIN_HWID = "USB\\VID_1C7A&PID_0000";
    session().options.TALVIK_OTHERHWID[2] = "USB\\VID_1C7A&PID_5C50";
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(selected(), inFolder("Old_PCB", "Old_PCB.bin"));
    EXPECT_EQ(session().options.MAIN_HWID, "USB\\VID_1C7A&PID_5C50");
}

TEST_F(BoardRevisionRule, OnlyTheSubFolderCounts) {
    addFile("top.bin", imageWithVersion("T"));
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::NoFile);
    addFile("New_PCB/a.bin", imageWithVersion("A"));
    addFile("New_PCB/b.bin", imageWithVersion("B"));
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::TooMany);
}

class SameVersionRule : public AppTest {
protected:
    SameVersionRule() { session().options.DONOTUPDATETHESAMEVERSION = 1; }
};

TEST_F(SameVersionRule, OneFileWithTheDevicesVersionIsUpToDateAndStored) {
    auto& device = sim.hub.addDevice();
    setDeviceVersion(device, "ABC1.0");
    addFile("fw.bin", imageWithVersion("ABC1.0"));
    listInOrder({"fw.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::UpToDate);
    EXPECT_EQ(sim.store.value, std::optional<std::string>("ABC1.0"));
    EXPECT_EQ(session().RunState, 2);

    setDeviceVersion(device, "ABC0.9");
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
}

TEST_F(SameVersionRule, TwoCandidatesAreTooManyEvenWhenOneMatches) {
    auto& device = sim.hub.addDevice();
    setDeviceVersion(device, "ABC1.0");
    addFile("a.bin", imageWithVersion("ABC1.0"));
    addFile("b.bin", imageWithVersion("ABC2.0"));
    listInOrder({"a.bin", "b.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::TooMany);
    EXPECT_FALSE(sim.store.value);
}

TEST_F(SameVersionRule, WithoutADeviceTheCountDecides) {
    addFile("a.bin", imageWithVersion("ABC1.0"));
    listInOrder({"a.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
    EXPECT_EQ(session().DeviceModeState, 0);
}

TEST_F(SameVersionRule, AnUnreadableDeviceVersionIsNeverTakenForUpToDate) {
    auto& device = sim.hub.addDevice();
    setDeviceVersion(device, "");
    addFile("a.bin", sim::makeFirmwareImage({}));  // empty OEM version field
    listInOrder({"a.bin"});
    EXPECT_EQ(SelectUpdateFile(session()), SelectionVerdict::Selected);
}

TEST(PcbFolder, ChosenByMajorRevisionOrDefault) {
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(pcbFolderFor(0x0110, 2, 1), "Test_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0x02FF, 2, 1), "Old_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0x0300, 2, 1), "New_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0, 2, 1), "New_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0, 2, 2), "Old_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0, 2, 0), "No_PCB" + sep);
    EXPECT_EQ(pcbFolderFor(0x0100, -1, 1), "New_PCB" + sep);
}

} // namespace
} // namespace qv
