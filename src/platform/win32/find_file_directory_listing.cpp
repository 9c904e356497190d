#include <cstring>

#include <windows.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

std::vector<DirectoryEntry> FindFileDirectoryListing::listBinFiles(const std::string& folder) {
    std::vector<DirectoryEntry> entries;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*.bin";

    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        DirectoryEntry entry;
        entry.name.assign(found.cFileName, strnlen(found.cFileName, sizeof(found.cFileName)));
        entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isHidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        entry.isSystem = (found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    // NTFS lists in name order already; FAT lists in creation order, and
    // the first newer file must not depend on the order files were copied.
    putInNameOrder(entries);
    return entries;
}

} // namespace qv
