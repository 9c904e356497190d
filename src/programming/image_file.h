#pragma once
// The firmware image as the updater holds it: the selected file loaded whole
// into ImageBuffer, the checks of a loaded file and its version line. The
// layout itself (lengths, fields, checksum rules) is image_format's.
#include <cstdint>
#include <string>
#include <vector>

#include "image_format/image_layout.h"

namespace qv {

struct Session;

// Loads a file whole into `buffer` (emptied first); false when it cannot be
// read, leaving `buffer` empty.
bool loadImageFile(const std::string& path, std::vector<std::uint8_t>& buffer);

// "Browse": choose, load and check a file; enables Button2 / Button4.
void Button1Click(Session& session);
// Checks the image the start-up sequence loaded; on failure shows
// "##Checksum Error##" and records code 36.
bool StartupImageCheck(Session& session);
// Appends "New Firmware Version: %s\n" for the loaded image.
void ShowImageVersion(Session& session);

} // namespace qv
