#pragma once
// How a code-programming flow shows its outcome on the main window: the
// common frame, then the success ending (green, "Success", result log,
// instructions, code 0) or the failure ending (red, "Failure", code 16).
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct Session;

// What the full image flow adds to the success ending.
struct VersionReport {
    std::vector<std::string> lines;  // shown before "Success" and kept in the log
    std::string firmwareVersion;     // stored as FWVer and shown in Label2
};

// "Start Load Code Flow(0x%06X ~ 0x%06X)." on Memo1.
void AnnounceCodeFlow(Session& session, std::uint32_t from, std::uint32_t to);

// Gives the window its system menu back; clears Memo1 and sets font size 16.
void ShowResultFrame(Session& session);
void ShowSuccessEnding(Session& session, const VersionReport* versions = nullptr);
void ShowFailureEnding(Session& session);

// A flow that refuses its file before touching the flash: its line (if
// any) is appended to Memo1, the code is recorded, the window gets its system menu (and close box) back, and the
// [CLOSEAPP] FAIL rule applies, so that a silent run ends with the code
// instead of waiting behind a hidden window. No result log is written.
void RecordRefusal(Session& session, std::uint8_t code, const std::string& line = {});

} // namespace qv
