// The built QuorvexUpdate.exe with its window, started as an operator
// starts it: copied into a station folder with its TAVO.ini and an update
// file, against the simulated hub of --simulate=DIR, on the real message
// loop and the real clock. The test looks at the window as the system shows
// it (child windows, texts, the pixels on the screen) and plays the
// operator with the system's own input (SendInput: CTRL held, a click on
// "Update"). Every wait is bounded; a program that does not end in time is
// ended and the test fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/image_maker.h"
#include "support/child_windows.h"
#include "ui/win32/main_window_view.h"

namespace qv::win32 {
namespace {

namespace fs = std::filesystem;
using testing::Capture;
using testing::placeIn;
using testing::windowText;

constexpr std::uint32_t kStartLimitMs = 30000;
constexpr std::uint32_t kRunLimitMs = 120000;
constexpr COLORREF kGreen = RGB(0, 0x80, 0);
constexpr COLORREF kSkyBlue = RGB(0xA6, 0xCA, 0xF0);
constexpr COLORREF kCream = RGB(0xFF, 0xFB, 0xF0);

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Polls `done` every 50 ms for at most limitMs.
bool waitFor(const std::function<bool()>& done, std::uint32_t limitMs) {
    const std::uint32_t start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        Sleep(50);
    }
    return true;
}

// A station folder with the program, its TAVO.ini and an update file, and
// the simulated device's folder beside it.
class Station {
public:
    Station(const std::string& ini, const std::string& deviceIni) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() / (std::string("qv-window-program-") + info->name());
        fs::remove_all(root_);
        fs::create_directories(folder());
        fs::create_directories(device());
        fs::copy_file(fs::path(QV_PROGRAM_FOLDER) / "QuorvexUpdate.exe", folder() / "QuorvexUpdate.exe");
        writeFile(folder() / "TAVO.ini", ini);
        writeFile(device() / "device.ini", deviceIni);
        sim::ImageSpec spec;
        spec.kind = sim::ImageKind::Layout126K;
        spec.version = "V2.00";
        spec.oemVersion = "OEM V2.00";
        spec.seed = 7;
        const auto image = sim::makeFirmwareImage(spec);
        writeFile(folder() / "VORHUB_V2.00.bin", std::string(image.begin(), image.end()));
    }
    ~Station() {
        stop();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path folder() const { return root_ / "station"; }
    fs::path device() const { return root_ / "device"; }

        bool start() {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        errorFile_ = CreateFileA((root_ / "stderr.txt").string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = errorFile_;
        startup.hStdError = errorFile_;
        std::string commandLine = "\"";
        commandLine += (folder() / "QuorvexUpdate.exe").string();
        commandLine += "\" \"--simulate=";
        commandLine += device().string();
        commandLine += "\"";
        return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder().string().c_str(),
                              &startup, &process_) != FALSE;
    }

    // The program's main window, once it is shown.
    HWND window(std::uint32_t limitMs = kStartLimitMs) {
        HWND found = nullptr;
        waitFor([&] { return (found = shownWindow()) != nullptr; }, limitMs);
        return found;
    }

    // The exit code; -1 when the program did not end within limitMs (it is
    // then ended).
    int exitCode(std::uint32_t limitMs) {
        if (process_.hProcess == nullptr) return -1;
        if (WaitForSingleObject(process_.hProcess, limitMs) != WAIT_OBJECT_0) {
            stop();
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }
    bool running() const {
        return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
    }

    std::string standardError() {
        closeErrorFile();
        return readFile(root_ / "stderr.txt");
    }
    std::vector<std::string> resultLogs() const {
        std::vector<std::string> logs;
        for (const auto& entry : fs::directory_iterator(folder())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("VORTAVOlog", 0) == 0) logs.push_back(readFile(entry.path()));
        }
        return logs;
    }
    // The version text of the firmware on the simulated chip.
    std::string chipVersion() const { return readFile(device() / "flash.bin").substr(0x3100, 9); }

private:
    struct Search {
        DWORD processId;
        HWND found;
    };
    static BOOL CALLBACK match(HWND hwnd, LPARAM searchAddress) {
        auto* search = reinterpret_cast<Search*>(searchAddress);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == search->processId && IsWindowVisible(hwnd) && testing::className(hwnd) == "QuorvexUpdateForm1") {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    HWND shownWindow() const {
        Search search{process_.dwProcessId, nullptr};
        EnumWindows(match, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    void stop() {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 255);
                WaitForSingleObject(process_.hProcess, 10000);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
            process_ = {};
        }
        closeErrorFile();
    }
    void closeErrorFile() {
        if (errorFile_ != nullptr && errorFile_ != INVALID_HANDLE_VALUE) CloseHandle(errorFile_);
        errorFile_ = nullptr;
    }

    fs::path root_;
    PROCESS_INFORMATION process_{};
    HANDLE errorFile_ = nullptr;
};

const std::string kUpdateButtonIni =
    "[OPTION]\r\nTALVIK_UPDATEBUTTON=1\r\n[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n[CLOSEAPP]\r\nPASS=1\r\n";
const std::string kNormalDevice = "[DEVICE]\r\nFAMILY=5C\r\nMODE=normal\r\n";

HWND control(HWND frame, int id) { return testing::findChild(frame, id); }
bool shown(HWND frame, int id) { return IsWindowVisible(control(frame, id)) != FALSE; }
int progress(HWND frame) { return static_cast<int>(SendMessageA(control(frame, kProgressBar1), PBM_GETPOS, 0, 0)); }

// The operator's hand: a click in the middle of a control, CTRL held or not.
void click(HWND button, bool withControl) {
    SetForegroundWindow(GetAncestor(button, GA_ROOT));
    RECT place{};
    GetWindowRect(button, &place);
    SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    Sleep(100);
    std::vector<INPUT> inputs;
    const auto key = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_CONTROL;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    const auto mouse = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        inputs.push_back(input);
    };
    if (withControl) key(0);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    if (withControl) key(KEYEVENTF_KEYUP);
    for (INPUT& input : inputs) {
        SendInput(1, &input, sizeof input);
        Sleep(60);
    }
}

// What the run shows while it programs: the progress values seen, and the
// pixels of the message pane when it says goodbye.
struct RunWatch {
    std::set<int> progressSeen;
    int greenInGoodbye = -1;
};

RunWatch watchRun(Station& station, HWND frame) {
    RunWatch watch;
    waitFor(
        [&] {
            if (!IsWindow(frame)) return true;
            watch.progressSeen.insert(progress(frame));
            const HWND memo1 = control(frame, kMemo1);
            // Looked at for as long as it is there: a busy machine paints late.
            if (windowText(memo1) == "Instructions:\r\nWaiting a few seconds...") {
                watch.greenInGoodbye = std::max(
                    watch.greenInGoodbye, Capture::clientArea(frame, false).count(kGreen, placeIn(memo1, frame)));
            }
            return !station.running();
        },
        kRunLimitMs);
    return watch;
}

TEST(Win32WindowProgram, UpdateButtonModeRunsOnceOnControlAndUpdate) {
    Station station(kUpdateButtonIni, kNormalDevice);
    ASSERT_TRUE(station.start());
    const HWND frame = station.window();
    ASSERT_NE(frame, nullptr) << station.standardError();
    EXPECT_EQ(windowText(frame), "QuorvexUpdate v2.7.6.1");

    // Widened, with the instructions, the versions and the operator's buttons.
    const HWND update = control(frame, buttonId(5));
    const int dpi = static_cast<int>(GetDpiForWindow(frame));
    const int widened = MulDiv(824, dpi > 0 ? dpi : 96, 96);
    ASSERT_TRUE(waitFor(
        [&] { return IsWindowVisible(update) && IsWindowEnabled(update) && testing::clientSize(frame).cx == widened; },
        kStartLimitMs))
        << "client width " << testing::clientSize(frame).cx;
    const std::string instructions = windowText(control(frame, kMemo1));
    EXPECT_EQ(instructions.rfind("Instructions:", 0), 0u) << instructions;
    EXPECT_NE(instructions.find("Press and hold CTRL key on the keyboard and tap Update"), std::string::npos);
    EXPECT_NE(instructions.find("New Firmware Version: V2.00"), std::string::npos) << instructions;
    EXPECT_EQ(windowText(control(frame, kLabel2)), "Current firmware version: OEM V1.00");
    EXPECT_TRUE(shown(frame, imageId(5)));
    EXPECT_TRUE(IsWindowEnabled(control(frame, buttonId(6))));

    // A plain click does nothing.
    click(update, false);
    Sleep(1500);
    EXPECT_TRUE(IsWindowVisible(update));
    EXPECT_EQ(windowText(control(frame, kMemo1)), instructions);
    EXPECT_EQ(progress(frame), 0);

    // CTRL held, a click, CTRL released: the run starts, the button goes.
    click(update, true);
    ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(update); }, 5000));
    EXPECT_FALSE(shown(frame, imageId(5)));
    EXPECT_EQ(windowText(control(frame, kLabel2)), "");

    const RunWatch watch = watchRun(station, frame);
    EXPECT_EQ(station.exitCode(10000), 0) << station.standardError();
    // The bar moved through the write and the read-back.
    int between = 0;
    for (int value : watch.progressSeen) between += value > 0 && value < 100 ? 1 : 0;
    EXPECT_GE(between, 5);
    EXPECT_GE(*watch.progressSeen.rbegin(), 90);
    EXPECT_GT(watch.greenInGoodbye, 20) << "the success ending is not green on the screen";
    const auto logs = station.resultLogs();
    ASSERT_EQ(logs.size(), 1u);  // one run
    EXPECT_EQ(logs[0], "New OEM Version: OEM V2.00\n\r\nOld OEM Version: OEM V1.00\n\r\nSuccess\r\n");
    EXPECT_EQ(station.chipVersion(), "OEM V2.00");
}

TEST(Win32WindowProgram, DeviceInFlashModeStartsTheRunByItself) {
    // In flash mode the device cannot tell its version: the file is chosen
    // by the rule that needs none.
    Station station(
        "[OPTION]\r\nTALVIK_UPDATEBUTTON=1\r\n[CHECKVERSION]\r\nDONOTUPDATETHESAMEVERSION=1\r\n[CLOSEAPP]\r\nPASS=1\r\n",
        "[DEVICE]\r\nFAMILY=5C\r\nMODE=flash\r\n");
    ASSERT_TRUE(station.start());
    const HWND frame = station.window();
    ASSERT_NE(frame, nullptr) << station.standardError();
    // Nobody touches anything: the start-up taps "Update" itself.
    ASSERT_TRUE(waitFor([&] { return progress(frame) > 0 || !station.running(); }, kRunLimitMs));
    EXPECT_FALSE(IsWindowVisible(control(frame, buttonId(5))));
    const RunWatch watch = watchRun(station, frame);
    EXPECT_EQ(station.exitCode(10000), 0) << station.standardError();
    const auto logs = station.resultLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("Success\r\n"), std::string::npos) << logs[0];
    EXPECT_EQ(station.chipVersion(), "OEM V2.00");
}

TEST(Win32WindowProgram, FailedProgrammingBlinksTheErrorPanelAndGivesBackTheCloseBox) {
    Station station("[CLOSEAPP]\r\nFAIL=0\r\n", kNormalDevice + "[FAULTS]\r\nWRONGSUMONPAGE=3\r\n");
    ASSERT_TRUE(station.start());
    const HWND frame = station.window();
    ASSERT_NE(frame, nullptr) << station.standardError();
    EXPECT_EQ(testing::style(frame) & WS_SYSMENU, 0);  // no close box while it runs
    ASSERT_TRUE(waitFor([&] { return shown(frame, kPanel1) || !station.running(); }, kRunLimitMs));
    EXPECT_EQ(windowText(control(frame, kMemo1)), "Failure");
    EXPECT_NE(testing::style(frame) & WS_SYSMENU, 0);

    // The panel blinks between sky blue and cream.
    const HWND panel = control(frame, kPanel1);
    std::set<COLORREF> colours;
    waitFor(
        [&] {
            const RECT place = placeIn(panel, frame);
            colours.insert(Capture::clientArea(frame, false).at(place.left + 3, place.top + 5));
            return colours.count(kSkyBlue) == 1 && colours.count(kCream) == 1;
        },
        5000);
    EXPECT_EQ(colours.count(kSkyBlue), 1u);
    EXPECT_EQ(colours.count(kCream), 1u);

    // The close box closes: the close sequence runs and the program ends
    // with the failure's code.
    PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(station.exitCode(30000), 16) << station.standardError();
    const auto logs = station.resultLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0], "Failure\r\n");
}

} // namespace
} // namespace qv::win32
