#include <vector>

#include <windows.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

namespace {

// Long paths ("\\?\" form) can reach 32767 characters.
constexpr DWORD kLongestPath = 32768;

std::string modulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        if (buffer.size() >= kLongestPath) return {};
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
}

std::string fullPath(const std::string& path) {
    std::vector<char> buffer(kLongestPath);
    const DWORD length = GetFullPathNameA(path.c_str(), kLongestPath, buffer.data(), nullptr);
    if (length == 0 || length >= kLongestPath) return path;
    return std::string(buffer.data(), length);
}

} // namespace

std::string ModuleEnvironment::executableFolder() {
    std::string path = modulePath();
    if (path.empty()) path = fullPath(fallbackPath_);
    const std::size_t separator = path.find_last_of("\\/");
    // A bare name has no folder part: the profile service would then look in
    // the Windows folder, so the current folder is named in full instead.
    if (separator == std::string::npos) return fullPath(".\\");
    return path.substr(0, separator + 1);
}

LocalTime ModuleEnvironment::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace qv
