#include "windows_test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <windows.h>

#include "platform/win32/win32_hid_bus.h"

namespace qv::test {

namespace {
std::string temporaryRoot() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof(buffer), buffer);
    return std::string(buffer, length);
}
} // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    path_ = temporaryRoot() + "qv_win32_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(counter++) + "\\";
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
    const std::string file = path_ + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool wineHidDevicesReady() {
    Win32HidBus bus;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (bus.interfacePath(1)) return true;
        Sleep(100);
    }
    return false;
}

bool recordCommandLineIfAsked() {
    char target[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA(kRecordVariable, target, sizeof(target));
    if (length == 0 || length > MAX_PATH) return false;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
    std::ofstream(target, std::ios::binary) << GetCommandLineA() << "\n" << (hidden ? "hidden" : "shown") << "\n";
    return true;
}

} // namespace qv::test
