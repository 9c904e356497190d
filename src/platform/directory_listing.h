#pragma once
// Port: lists a folder's entries in the order the platform's directory
// search returns them, with the attributes the update-file search skips.
#include <string>
#include <vector>

namespace qv {

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
    bool isHidden = false;
    bool isSystem = false;
};

class DirectoryListing {
public:
    virtual ~DirectoryListing() = default;
    // Entries of folder whose names match "*.bin" by the platform's rules;
    // empty when the folder cannot be read.
    virtual std::vector<DirectoryEntry> listBinFiles(const std::string& folder) = 0;
};

} // namespace qv
