#pragma once
// Whole files as bytes, for the tests that run the built programs.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qv::testing {

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

} // namespace qv::testing
