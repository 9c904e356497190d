#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

void ShellProcessControl::endProcessTree(const std::string& imageName) {
    const std::string parameters = "/f /t /im " + imageName;
    // Fire and forget: the result of the shell and of taskkill is not looked at.
    ShellExecuteA(nullptr, "open", "C:\\Windows\\System32\\taskkill.exe", parameters.c_str(), nullptr, SW_HIDE);
}

} // namespace qv
