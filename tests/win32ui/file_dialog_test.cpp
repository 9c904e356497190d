// The operator's file dialog: the system's open dialog with the window's
// filter. A thread timer plays the operator inside the dialog's own loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>

#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_windows.h"
#include "ui/win32/win32_file_dialog.h"

namespace qv::win32 {
namespace {

struct Operator {
    std::string typed;          // empty: cancel
    std::vector<std::string> filters;
    int ticks = 0;
    bool answered = false;
};
Operator g_operator;

BOOL CALLBACK findDialog(HWND hwnd, LPARAM found) {
    if (testing::className(hwnd) == "#32770" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK operatorTick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        if (++g_operator.ticks > 300) KillTimer(nullptr, id);  // about 15 s: give up, the test fails
        return;
    }
    KillTimer(nullptr, id);
    HWND types = GetDlgItem(dialog, cmb1);
    const auto count = SendMessageA(types, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[128] = {};
        if (SendMessageA(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < static_cast<LRESULT>(sizeof text)) {
            SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        }
        g_operator.filters.push_back(text);
    }
    g_operator.answered = true;
    if (g_operator.typed.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    HWND name = GetDlgItem(dialog, cmb13);
    if (name == nullptr) name = GetDlgItem(dialog, edt1);
    SetWindowTextA(name, g_operator.typed.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

std::optional<std::string> chooseAsOperator(const std::string& typed) {
    g_operator = Operator{typed, {}, 0, false};
    SetTimer(nullptr, 0, 50, operatorTick);
    Win32FileDialog dialog;
    return dialog.chooseFile("[*.bin]|*.bin|*.*|*.*");
}

TEST(Win32FileDialog, OffersTheWindowsFilterAndReturnsTheChosenFile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv-file-dialog-test";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "VORHUB_V2.00.bin").string();
    std::ofstream(file) << "image";

    const auto chosen = chooseAsOperator(file);
    ASSERT_TRUE(g_operator.answered) << "the dialog never showed";
    EXPECT_EQ(g_operator.filters, (std::vector<std::string>{"[*.bin]", "*.*"}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::path(file));
    std::filesystem::remove_all(folder);
}

TEST(Win32FileDialog, CancelChoosesNothing) {
    const auto chosen = chooseAsOperator("");
    ASSERT_TRUE(g_operator.answered) << "the dialog never showed";
    EXPECT_FALSE(chosen.has_value());
}

} // namespace
} // namespace qv::win32
