#include "ui/win32/win32_file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "ui/win32/open_file_filter.h"

namespace qv::win32 {

namespace {
// Room for the longest path the system's ANSI functions take beyond MAX_PATH.
constexpr DWORD kPathRoom = 32768;
} // namespace

std::optional<std::string> Win32FileDialog::chooseFile(const std::string& filter) {
    const std::string filterText = toOpenFileNameFilter(filter);
    std::vector<char> path(kPathRoom, '\0');
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner_;
    request.lpstrFilter = filterText.empty() ? nullptr : filterText.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = path.data();
    request.nMaxFile = kPathRoom;
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    // Cancelled, or refused by the system (CommDlgExtendedError): no file.
    if (!GetOpenFileNameA(&request)) {
        return std::nullopt;
    }
    path.back() = '\0';
    return std::string(path.data());
}

} // namespace qv::win32
