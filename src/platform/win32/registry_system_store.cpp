#include <string>

#include <windows.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

namespace {
constexpr const char* kFirmwareKey = "SOFTWARE\\VOR\\TAVO";
constexpr const char* kFirmwareValue = "FWVer";
// Version texts are short; anything near this size is not a version.
constexpr std::size_t kValueLimit = 0x10000;
} // namespace

bool RegistrySystemStore::writeFirmwareVersion(const std::string& version, std::string& error) {
    if (version.size() >= kValueLimit) {
        error = "firmware version text too long for the registry";
        return false;
    }
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFirmwareKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        error = "cannot open HKEY_LOCAL_MACHINE\\" + std::string(kFirmwareKey) + " (error " + std::to_string(status) + ")";
        return false;
    }
    // REG_SZ data include the terminating zero; an empty text is written as
    // an empty string.
    status = RegSetValueExA(key, kFirmwareValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                            static_cast<DWORD>(version.size() + 1));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        error = "cannot write " + std::string(kFirmwareValue) + " (error " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

} // namespace qv
