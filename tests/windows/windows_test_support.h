#pragma once
// Helpers of the Windows port tests.
#include <string>

namespace qv::test {

// A fresh folder under the system's temp folder, removed with everything in
// it at the end of the scope. path() ends with a backslash.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // Writes the bytes exactly as given (no line-end translation).
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

std::string readWholeFile(const std::string& path);

// True when the program runs under Wine rather than Windows.
bool runningUnderWine();

// Under Wine: waits (up to ten seconds) until its virtual keyboard and mouse
// are present; a prefix just made brings them up while programs already run.
// True when they are there.
bool wineHidDevicesReady();

// The command line and show-window request this process was started with,
// written to the file named by the environment variable
// QV_RECORD_COMMAND_LINE. Returns false when the variable is not set.
inline constexpr const char* kRecordVariable = "QV_RECORD_COMMAND_LINE";
bool recordCommandLineIfAsked();

} // namespace qv::test
