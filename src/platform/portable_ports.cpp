#include "platform/portable_ports.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qv {

namespace fs = std::filesystem;

std::vector<DirectoryEntry> FolderDirectoryListing::listBinFiles(const std::string& folder) {
    // Only the error_code forms: a folder that goes away or fails while it is
    // listed ends the listing with what was read so far, never with a throw.
    std::vector<DirectoryEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4) continue;
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (tail != ".bin") continue;
        DirectoryEntry entry;
        entry.name = name;
        std::error_code typeError;
        entry.isDirectory = it->is_directory(typeError);
        entry.isHidden = name.front() == '.';
        entries.push_back(std::move(entry));
    }
    putInNameOrder(entries);
    return entries;
}

LocalTime FixedFolderEnvironment::localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#if defined(_WIN32)
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

bool FileSystemStore::writeFirmwareVersion(const std::string& version, std::string& error) {
    std::error_code ignored;
    const fs::path path(path_);
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path(), ignored);
    }
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot open " + path_ + " for writing";
        return false;
    }
    file << version;
    file.close();
    if (!file) {
        error = "cannot write " + path_;
        return false;
    }
    return true;
}

bool MemorySystemStore::writeFirmwareVersion(const std::string& version, std::string& error) {
    if (failWrites) {
        error = "access denied";
        return false;
    }
    value = version;
    return true;
}

// The system refuses an exchange on an empty or closed handle: error 6, the
// Windows code for an invalid handle, so the diagnostics read the same.
bool EmptyHidBus::setFeature(HidHandle, const FeatureReport&, std::uint32_t& errorCode) {
    errorCode = 6;
    return false;
}

bool EmptyHidBus::getFeature(HidHandle, FeatureReport&, std::uint32_t& errorCode) {
    errorCode = 6;
    return false;
}

PresentDeviceList EmptyDeviceManager::presentDevices() {
    PresentDeviceList list;
    list.opened = true;
    return list;
}

} // namespace qv
