#include <array>

#include <windows.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

namespace {
// The system copies at most size - 1 characters and a terminating zero.
constexpr DWORD kProfileBufferSize = 2048;
} // namespace

std::string PrivateProfileSource::readString(const std::string& path, const std::string& section,
                                             const std::string& key, const std::string& defaultText) {
    std::array<char, kProfileBufferSize> buffer{};
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer.data(),
                                                  kProfileBufferSize, path.c_str());
    return std::string(buffer.data(), length < kProfileBufferSize ? length : kProfileBufferSize - 1);
}

} // namespace qv
