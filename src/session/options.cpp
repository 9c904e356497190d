#include "session/options.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/integer_text.h"
#include "platform/profile_source.h"
#include "session/command_line.h"

namespace qv {

unsigned Options::mainSlot() const {
    return static_cast<unsigned>(std::clamp<std::int32_t>(MAININDEX, 0, 255));
}

unsigned Options::scanLimit() const {
    return static_cast<unsigned>(std::clamp<std::int32_t>(MAXSCANDEVICE, 0, 256));
}

std::string configFilePath(const std::string& executableFolder) { return executableFolder + "TAVO.ini"; }

namespace {

// One key of the file and where its value goes.
struct KeyReader {
    const char* section;
    std::string key;
    std::function<bool(Options&, ProfileSource&, const std::string&, OptionsReadResult&)> read;
};

bool readInt(Options& options, std::int32_t Options::*field, ProfileSource& profile, const std::string& path,
             const char* section, const std::string& key, OptionsReadResult& result) {
    const std::string text = profile.readString(path, section, key, std::to_string(options.*field));
    const auto value = parseInteger(text);
    if (!value) {
        result.ok = false;
        result.error = notAnIntegerMessage(text);
        result.key = key;
        return false;
    }
    options.*field = *value;
    return true;
}

KeyReader intKey(const char* section, const char* key, std::int32_t Options::*field) {
    return {section, key, [=](Options& o, ProfileSource& p, const std::string& path, OptionsReadResult& r) {
                return readInt(o, field, p, path, section, key, r);
            }};
}

KeyReader textKey(const char* section, const char* key, std::string Options::*field) {
    return {section, key, [=](Options& o, ProfileSource& p, const std::string& path, OptionsReadResult&) {
                o.*field = p.readString(path, section, key, o.*field);
                return true;
            }};
}

void addListKeys(std::vector<KeyReader>& keys, const char* section, const char* base, KeyList Options::*list) {
    for (std::size_t n = 1; n <= kListKeyCount; ++n) {
        const std::string key = std::string(base) + std::to_string(n);
        keys.push_back({section, key, [=](Options& o, ProfileSource& p, const std::string& path, OptionsReadResult&) {
                            (o.*list)[n - 1] = p.readString(path, section, key, "");
                            return true;
                        }});
    }
}

// The product id is written as bare hexadecimal digits: "0x" goes in front
// before the conversion. An absent key keeps the current value.
KeyReader mainTargetPidKey() {
    return {"OPTION", "MAINTARGETPID", [](Options& o, ProfileSource& p, const std::string& path, OptionsReadResult& r) {
                static const std::string kAbsent = std::string("\x01", 1) + "absent";
                const std::string text = p.readString(path, "OPTION", "MAINTARGETPID", kAbsent);
                if (text == kAbsent) return true;
                const std::string prefixed = "0x" + text;
                const auto value = parseInteger(prefixed);
                if (!value) {
                    r.ok = false;
                    r.error = notAnIntegerMessage(prefixed);
                    r.key = "MAINTARGETPID";
                    return false;
                }
                o.MAINTARGETPID = *value;
                return true;
            }};
}

// Stored in one byte: the low 8 bits of the integer.
KeyReader reportIdKey() {
    return {"MAIN", "REPORTID", [](Options& o, ProfileSource& p, const std::string& path, OptionsReadResult& r) {
                const std::string text = p.readString(path, "MAIN", "REPORTID", std::to_string(o.REPORTID));
                const auto value = parseInteger(text);
                if (!value) {
                    r.ok = false;
                    r.error = notAnIntegerMessage(text);
                    r.key = "REPORTID";
                    return false;
                }
                o.REPORTID = static_cast<std::uint8_t>(static_cast<std::uint32_t>(*value) & 0xFFu);
                return true;
            }};
}

// "/S" closes on every outcome, docking operation never closes by itself,
// "/VF" verifies only, "/ERASE" (applied after it) erases only.
KeyReader switchEffects(const CommandLine& commandLine) {
    return {"", "", [&commandLine](Options& o, ProfileSource&, const std::string&, OptionsReadResult&) {
                if (commandLine.hasFlag("/S")) {
                    o.PASS = 1;
                    o.FAIL = 1;
                }
                if (o.DOCKINGBURN == 1) {
                    o.PASS = 0;
                    o.FAIL = 0;
                }
                if (commandLine.hasFlag("/VF")) o.commandLineMode = CommandLineMode::VerifyOnly;
                if (commandLine.hasFlag("/ERASE")) o.commandLineMode = CommandLineMode::EraseOnly;
                return true;
            }};
}

std::vector<KeyReader> startupKeys(const CommandLine& commandLine) {
    std::vector<KeyReader> keys;
    keys.push_back(textKey("MAIN", "HWID", &Options::MAIN_HWID));
    keys.push_back(textKey("BOOT", "HWID", &Options::BOOT_HWID));
    keys.push_back(intKey("DEVICE", "MAININDEX", &Options::MAININDEX));
    keys.push_back(intKey("DEVICE", "REMOVERESCAN", &Options::REMOVERESCAN));
    keys.push_back(intKey("DEVICE", "CHECKSUMMODE", &Options::CHECKSUMMODE));
    keys.push_back(intKey("DEVICE", "NEEDERASE", &Options::NEEDERASE));
    keys.push_back(intKey("DEVICE", "DOCKINGBURN", &Options::DOCKINGBURN));
    keys.push_back(intKey("DELAY", "MSEC", &Options::MSEC));
    keys.push_back(intKey("CLOSEAPP", "PASS", &Options::PASS));
    keys.push_back(intKey("CLOSEAPP", "FAIL", &Options::FAIL));
    keys.push_back(switchEffects(commandLine));
    addListKeys(keys, "MAIN", "HWID", &Options::HWID);
    addListKeys(keys, "CHECKVERSION", "PROJECTNAME", &Options::PROJECTNAME);
    keys.push_back(intKey("CHECKVERSION", "DONOTUPDATETHESAMEVERSION", &Options::DONOTUPDATETHESAMEVERSION));
    keys.push_back(intKey("DEVICE", "PROGRAMFAILRETRY", &Options::PROGRAMFAILRETRY));
    keys.push_back(intKey("OPTION", "TALVIK_BCDDEVICE", &Options::TALVIK_BCDDEVICE));
    keys.push_back(intKey("OPTION", "TALVIK_DEFAULTPATCH", &Options::TALVIK_DEFAULTPATCH));
    addListKeys(keys, "OPTION", "TALVIK_OTHERHWID", &Options::TALVIK_OTHERHWID);
    keys.push_back(intKey("OPTION", "TALVIK_UPDATEBUTTON", &Options::TALVIK_UPDATEBUTTON));
    keys.push_back(intKey("OPTION", "IGNORE6D10", &Options::IGNORE6D10));
    keys.push_back(intKey("OPTION", "NOCHECKIVT", &Options::NOCHECKIVT));
    keys.push_back(intKey("OPTION", "WRITEFLASHDATADELAY", &Options::WRITEFLASHDATADELAY));
    keys.push_back(intKey("OPTION", "RETURNCODETYPE", &Options::RETURNCODETYPE));
    keys.push_back(intKey("OPTION", "SPECIALLYBINSIZEFOR5C80", &Options::SPECIALLYBINSIZEFOR5C80));
    keys.push_back(intKey("OPTION", "MAXSTATECUNT", &Options::MAXSTATECUNT));
    keys.push_back(intKey("OPTION", "MAXSCANDEVICE", &Options::MAXSCANDEVICE));
    keys.push_back(mainTargetPidKey());
    keys.push_back(intKey("OPTION", "NOCHECKCLOCKMATCH", &Options::NOCHECKCLOCKMATCH));
    keys.push_back(intKey("OPTION", "KILLTASK", &Options::KILLTASK));
    keys.push_back(intKey("OPTION", "ALLHIDCOMMANDDELAY", &Options::ALLHIDCOMMANDDELAY));
    keys.push_back(reportIdKey());
    keys.push_back(intKey("OPTION", "NORESULTLOG", &Options::NORESULTLOG));
    return keys;
}

// Keeps a value inside [low, high]; says so when it had to.
void keepInRange(std::int32_t& value, const char* key, std::int32_t low, std::int32_t high,
                 std::vector<std::string>& notes) {
    const std::int32_t kept = std::clamp(value, low, high);
    if (kept != value) {
        notes.push_back(std::string(key) + "=" + std::to_string(value) + " is outside " + std::to_string(low) +
                        ".." + std::to_string(high) + "; " + std::to_string(kept) + " is used.");
        value = kept;
    }
}

// The handle table has 256 slots, and waits cannot be negative: values
// outside those bounds would index past the table or wait for weeks.
void keepUsableRanges(Options& options, std::vector<std::string>& notes) {
    constexpr std::int32_t kMaxWait = 3600 * 1000;
    keepInRange(options.MAININDEX, "MAININDEX", 0, 255, notes);
    keepInRange(options.MAXSCANDEVICE, "MAXSCANDEVICE", 0, 256, notes);
    keepInRange(options.MSEC, "MSEC", 0, kMaxWait, notes);
    keepInRange(options.WRITEFLASHDATADELAY, "WRITEFLASHDATADELAY", 0, kMaxWait, notes);
    keepInRange(options.ALLHIDCOMMANDDELAY, "ALLHIDCOMMANDDELAY", 0, kMaxWait, notes);
}

OptionsReadResult readKeys(Options& options, ProfileSource& profile, const std::string& path,
                           const std::vector<KeyReader>& keys) {
    OptionsReadResult result;
    for (const auto& key : keys) {
        if (!key.read(options, profile, path, result)) break;
    }
    keepUsableRanges(options, result.notes);
    return result;
}

} // namespace

OptionsReadResult readWindowOptions(Options& options, ProfileSource& profile, const std::string& path) {
    return readKeys(options, profile, path,
                    {intKey("MESSAGE", "ENABLE", &Options::ENABLE), textKey("OPTION", "TITLENAME", &Options::TITLENAME)});
}

OptionsReadResult readStartupOptions(Options& options, ProfileSource& profile, const std::string& path,
                                     const CommandLine& commandLine) {
    return readKeys(options, profile, path, startupKeys(commandLine));
}

} // namespace qv
