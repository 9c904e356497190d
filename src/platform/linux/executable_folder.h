#pragma once
// Where the running program lives: the folder of /proc/self/exe, or of
// argv[0] where /proc cannot tell, with its trailing '/'.
#include <filesystem>
#include <string>

namespace qv {

std::string executableFolder(const std::filesystem::path& procRoot, const std::string& argv0);

} // namespace qv
