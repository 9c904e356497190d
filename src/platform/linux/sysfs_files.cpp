#include "platform/linux/sysfs_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace qv::sysfs {

namespace fs = std::filesystem;

ReadResult readFile(const fs::path& path, std::size_t maxBytes) {
    ReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    char chunk[4096];
    while (result.bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof chunk, maxBytes - result.bytes.size());
        const ssize_t got = ::read(fd, chunk, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            result.error = errno;
            break;
        }
        if (got == 0) break;
        result.bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return result;
}

std::optional<std::string> readAttribute(const fs::path& path) {
    ReadResult read = readFile(path);
    if (!read.ok()) return std::nullopt;
    std::string text = std::move(read.bytes);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

int writeAttribute(const fs::path& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    ssize_t written;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        error = errno;
    } else if (static_cast<std::size_t>(written) != text.size()) {
        error = EIO;
    }
    ::close(fd);
    return error;
}

std::optional<std::uint32_t> parseHex(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else return std::nullopt;
        value = (value << 4) | digit;
    }
    return value;
}

std::optional<std::string> ueventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const std::size_t end = uevent.find('\n');
        const std::string_view line = uevent.substr(0, end);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
        if (end == std::string_view::npos) break;
        uevent.remove_prefix(end + 1);
    }
    return std::nullopt;
}

UsbIdsRead readUsbIds(const fs::path& usbDevice) {
    UsbIdsRead result;
    std::uint16_t values[3] = {};
    const char* names[3] = {"idVendor", "idProduct", "bcdDevice"};
    for (int i = 0; i < 3; ++i) {
        ReadResult read = readFile(usbDevice / names[i]);
        if (!read.ok()) {
            result.error = read.error;
            return result;
        }
        std::string text = std::move(read.bytes);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        const auto value = parseHex(text);
        if (!value || *value > 0xFFFF) return result;  // unreadable ids: no ids, no error
        values[i] = static_cast<std::uint16_t>(*value);
    }
    result.ids = UsbIds{values[0], values[1], values[2]};
    return result;
}

std::optional<fs::path> usbDeviceAbove(const fs::path& start, const fs::path& devicesRoot) {
    std::error_code error;
    const fs::path root = fs::weakly_canonical(devicesRoot, error);
    if (error) return std::nullopt;
    fs::path folder = fs::canonical(start, error);
    if (error) return std::nullopt;
    // Device paths are a few dozen levels deep at most.
    for (int level = 0; level < 64; ++level) {
        const auto [rootEnd, folderPos] = std::mismatch(root.begin(), root.end(), folder.begin(), folder.end());
        if (rootEnd != root.end() || folderPos == folder.end()) return std::nullopt;  // left the device tree
        if (fs::exists(folder / "idVendor", error)) return folder;
        folder = folder.parent_path();
    }
    return std::nullopt;
}

namespace {
// Splits "hidraw12" into ("hidraw", 12); a name without trailing digits
// sorts by name alone.
std::pair<std::string_view, std::uint64_t> nameAndNumber(std::string_view name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    std::uint64_t number = 0;
    for (std::size_t i = digits; i < name.size() && i < digits + 18; ++i) number = number * 10 + static_cast<std::uint64_t>(name[i] - '0');
    return {name.substr(0, digits), number};
}
} // namespace

std::vector<std::string> sortedEntries(const fs::path& folder, int& error) {
    error = 0;
    std::vector<std::string> names;
    std::error_code iterationError;
    fs::directory_iterator it(folder, iterationError);
    if (iterationError) {
        error = iterationError.value();
        return names;
    }
    for (const fs::directory_iterator end; it != end; it.increment(iterationError)) {
        if (iterationError) break;
        names.push_back(it->path().filename().string());
    }
    if (iterationError) error = iterationError.value();
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const auto left = nameAndNumber(a);
        const auto right = nameAndNumber(b);
        if (left != right) return left < right;
        return a < b;
    });
    return names;
}

} // namespace qv::sysfs
