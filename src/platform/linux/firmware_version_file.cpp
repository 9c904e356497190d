#include "platform/linux/firmware_version_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qv {

namespace {
std::string refusal(const std::string& path, int error) {
    std::string text = path + " cannot be written: " + std::strerror(error);
    if (error == EACCES || error == EPERM || error == EROFS) {
        text += " (run as root, or make " + std::filesystem::path(path).parent_path().string() +
                " writable for this user)";
    }
    return text;
}
} // namespace

bool FirmwareVersionFile::writeFirmwareVersion(const std::string& version, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) {
        std::error_code created;
        std::filesystem::create_directories(folder, created);
        if (created) {
            error = refusal(path_, created.value());
            return false;
        }
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = refusal(path_, errno);
        return false;
    }
    std::size_t done = 0;
    while (done < version.size()) {
        const ssize_t written = ::write(fd, version.data() + done, version.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int failure = written < 0 ? errno : EIO;
            ::close(fd);
            error = refusal(path_, failure);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        error = refusal(path_, errno);
        return false;
    }
    return true;
}

} // namespace qv
