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

// No image the program can use comes near this size (the largest layout
// is 190 KiB, patches and parameter files 1 KiB): a larger file is refused
// before a byte of it is read.
inline constexpr std::uint64_t kMaxImageFileBytes = 1024 * 1024;

struct ImageFileRead {
    enum class Status { Loaded, Unreadable, TooLarge };
    Status status = Status::Unreadable;
    std::uint64_t size = 0;  // the file's size, as far as it could be learnt
    explicit operator bool() const { return status == Status::Loaded; }
};

// Loads a regular file of at most kMaxImageFileBytes whole into `buffer`
// (emptied first). A file that is missing, not a regular file, vanishes or
// fails while it is read, or grows past the limit meanwhile, leaves `buffer`
// empty; nothing throws.
ImageFileRead loadImageFile(const std::string& path, std::vector<std::uint8_t>& buffer);

// The line an update file that could not be loaded is reported with:
// "The update file <name> is too large: <size> bytes." or "The update file
// <name> cannot be read.".
std::string imageFileProblem(const std::string& name, const ImageFileRead& read);

// "Browse": choose, load and check a file; enables Button2 / Button4.
void Button1Click(Session& session);
// Checks the image the start-up sequence loaded; on failure shows
// "##Checksum Error##" and records code 36.
bool StartupImageCheck(Session& session);
// Appends "New Firmware Version: %s\n" for the loaded image.
void ShowImageVersion(Session& session);

} // namespace qv
