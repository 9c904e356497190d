#include "platform/directory_listing.h"

#include <algorithm>

namespace qv {

namespace {

unsigned char upperCased(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

bool bytesBefore(const std::string& left, const std::string& right) {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char l, char r) {
        return static_cast<unsigned char>(l) < static_cast<unsigned char>(r);
    });
}

} // namespace

bool comesBeforeInNameOrder(const std::string& left, const std::string& right) {
    const auto upperBefore = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char l, char r) { return upperCased(l) < upperCased(r); });
    };
    if (upperBefore(left, right)) return true;
    if (upperBefore(right, left)) return false;
    return bytesBefore(left, right);
}

void putInNameOrder(std::vector<DirectoryEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& left, const DirectoryEntry& right) {
        return comesBeforeInNameOrder(left.name, right.name);
    });
}

} // namespace qv
