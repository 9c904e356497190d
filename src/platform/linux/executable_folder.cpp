#include "platform/linux/executable_folder.h"

#include <system_error>

namespace qv {

std::string executableFolder(const std::filesystem::path& procRoot, const std::string& argv0) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink(procRoot / "self" / "exe", error);
    if (error || exe.empty()) {
        exe = std::filesystem::absolute(argv0, error);
    }
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

} // namespace qv
