#pragma once
// The operator's file-open dialog ("Browse") with the system's own
// GetOpenFileNameA, owned by the main window.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/file_dialog.h"

namespace qv::win32 {

class Win32FileDialog : public FileDialog {
public:
    explicit Win32FileDialog(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    std::optional<std::string> chooseFile(const std::string& filter) override;

private:
    HWND owner_;
};

} // namespace qv::win32
