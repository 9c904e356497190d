#pragma once
// Port: lists a folder's entries in name order, with the attributes the
// update-file search skips. Every port sorts with putInNameOrder, so the
// first candidate is the same on every platform and file system, whatever
// order the files were copied in: the order Windows shows on NTFS.
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
    // Entries of folder whose names match "*.bin" by the platform's rules,
    // in name order; empty when the folder cannot be read.
    virtual std::vector<DirectoryEntry> listBinFiles(const std::string& folder) = 0;
};

// Name order: names compared after upper-casing ASCII letters, byte by byte
// (unsigned); names equal that way ("a.bin", "A.bin" on a case-sensitive
// file system) by their own bytes.
bool comesBeforeInNameOrder(const std::string& left, const std::string& right);
void putInNameOrder(std::vector<DirectoryEntry>& entries);

} // namespace qv
