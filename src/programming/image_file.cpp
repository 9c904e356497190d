// The firmware image as the updater holds it: loading a file into
// ImageBuffer and showing its version. The two places that check a loaded
// file (Browse and the start-up check) are in image_checks.cpp.
#include "programming/image_file.h"

#include <fstream>

#include "session/session.h"

namespace qv {

bool loadImageFile(const std::string& path, std::vector<std::uint8_t>& buffer) {
    buffer.clear();
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return false;
    }
    const std::streamoff length = file.tellg();
    if (length < 0 || static_cast<std::uint64_t>(length) > buffer.max_size()) {
        return false;
    }
    file.seekg(0);
    try {
        buffer.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        buffer = {};
        return false;
    }
    if (!file.read(reinterpret_cast<char*>(buffer.data()), length)) {
        buffer = {};
        return false;
    }
    return true;
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
