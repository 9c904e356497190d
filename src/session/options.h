#pragma once
// The process-wide configuration record: one field per key of "TAVO.ini",
// named after its key, holding the built-in value until the file is read.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class ProfileSource;
class CommandLine;

inline constexpr std::size_t kListKeyCount = 16;
using KeyList = std::array<std::string, kListKeyCount>;

enum class CommandLineMode : int { Normal = 0, VerifyOnly = 1, EraseOnly = 2 };

struct Options {
    // [MESSAGE], [OPTION] window keys, read once at window creation.
    std::int32_t ENABLE = 0;
    std::string TITLENAME = "QuorvexUpdate";

    std::string MAIN_HWID = "USB\\VID_1C7A&PID_5C50";
    std::string BOOT_HWID = "USB\\VID_1C7A&PID_5CDB";
    std::int32_t MAININDEX = 0;
    std::int32_t REMOVERESCAN = 1;
    std::int32_t CHECKSUMMODE = 1;
    std::int32_t NEEDERASE = 1;
    std::int32_t DOCKINGBURN = 0;
    std::int32_t MSEC = 2000;
    std::int32_t PASS = 1;
    std::int32_t FAIL = 0;
    KeyList HWID{};          // [MAIN] HWID1..HWID16
    KeyList PROJECTNAME{};   // [CHECKVERSION] PROJECTNAME1..16
    std::int32_t DONOTUPDATETHESAMEVERSION = 0;
    std::int32_t PROGRAMFAILRETRY = 0;
    std::int32_t TALVIK_BCDDEVICE = 0;
    std::int32_t TALVIK_DEFAULTPATCH = 1;
    KeyList TALVIK_OTHERHWID{};
    std::int32_t TALVIK_UPDATEBUTTON = 0;
    std::int32_t IGNORE6D10 = 0;
    std::int32_t NOCHECKIVT = 0;
    std::int32_t WRITEFLASHDATADELAY = 0;
    std::int32_t RETURNCODETYPE = 0;
    std::int32_t SPECIALLYBINSIZEFOR5C80 = 126;
    std::int32_t MAXSTATECUNT = 10;
    std::int32_t MAXSCANDEVICE = 256;
    std::int32_t MAINTARGETPID = 0;
    std::int32_t NOCHECKCLOCKMATCH = 0;
    std::int32_t KILLTASK = 0;
    std::int32_t ALLHIDCOMMANDDELAY = 0;
    std::uint8_t REPORTID = 90;
    std::int32_t NORESULTLOG = 0;

    CommandLineMode commandLineMode = CommandLineMode::Normal;

    // Slot of the running-firmware device in the 256-slot handle table and
    // the number of interface indices a search examines, kept inside the
    // table's bounds whatever the file says.
    unsigned mainSlot() const;
    unsigned scanLimit() const;
};

// Result of reading keys: ok, or the conversion error that stopped the pass.
struct OptionsReadResult {
    bool ok = true;
    std::string error;  // "'%s' is not a valid integer value"
    std::string key;    // the key that stopped the reading
    // Values outside what the program can use, and what is used instead
    // (for the diagnostic pane).
    std::vector<std::string> notes;
};

// "<executable folder>TAVO.ini"
std::string configFilePath(const std::string& executableFolder);

// [MESSAGE] ENABLE, then [OPTION] TITLENAME.
OptionsReadResult readWindowOptions(Options& options, ProfileSource& profile, const std::string& path);

// Every other key in the documented order, with the switch effects applied
// after [CLOSEAPP]; reading stops at the first key that does not convert.
OptionsReadResult readStartupOptions(Options& options, ProfileSource& profile, const std::string& path,
                                     const CommandLine& commandLine);

} // namespace qv
