// The firmware image as the updater holds it: loading a file into
// ImageBuffer and showing its version. The two places that check a loaded
// file (Browse and the start-up check) are in image_checks.cpp.
#include "programming/image_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "session/session.h"

namespace qv {

ImageFileRead loadImageFile(const std::string& path, std::vector<std::uint8_t>& buffer) {
    namespace fs = std::filesystem;
    buffer.clear();
    ImageFileRead read;
    std::error_code error;
    // Not a regular file (a folder, a pipe that would block the open):
    // nothing an image could be read from.
    if (!fs::is_regular_file(fs::status(path, error)) || error) return read;
    read.size = fs::file_size(path, error);
    if (error) return read;
    if (read.size > kMaxImageFileBytes) {
        read.status = ImageFileRead::Status::TooLarge;
        return read;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return read;
    // The file may change between the size and the read: read at most one
    // byte past the limit and take what is really there.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kMaxImageFileBytes) + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) return read;
    const auto got = static_cast<std::size_t>(file.gcount());
    read.size = got;
    if (got > kMaxImageFileBytes) {
        read.status = ImageFileRead::Status::TooLarge;
        return read;
    }
    buffer.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(got));
    read.status = ImageFileRead::Status::Loaded;
    return read;
}

std::string imageFileProblem(const std::string& name, const ImageFileRead& read) {
    if (read.status == ImageFileRead::Status::TooLarge) {
        return "The update file " + name + " is too large: " + std::to_string(read.size) + " bytes.";
    }
    return "The update file " + name + " cannot be read.";
}

void ShowImageVersion(Session& session) {
    const auto& image = session.ImageBuffer;
    if (image.empty()) {
        return;
    }
    const bool versionAtOem = session.FF6DPresent || session.FF4EPresent;
    const std::string version = versionAtOem ? fieldText(image, kOemVersionOffset, kOemVersionWidth)
                                             : fieldText(image, kVersionOffset, kShortVersionWidth);
    session.window.memo1.append("");
    session.window.memo1.append("New Firmware Version: " + version + "\n");
}

} // namespace qv
