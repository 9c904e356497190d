#include "session/result_reporting.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "platform/system_store.h"
#include "session/session.h"

namespace qv {

std::string resultLogName(const LocalTime& t) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return std::string("VORTAVOlog") + stamp + ".txt";
}

bool writeWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = errno != 0 ? std::strerror(errno) : "cannot be created";
        return false;
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = errno != 0 ? std::strerror(errno) : "write failed";
        return false;
    }
    return true;
}

namespace {
// The path written, or nothing when the file could not be.
std::optional<std::string> savePane(Session& session, const std::string& name, const std::string& text,
                                    const char* what) {
    const std::string path = session.executableFolder() + name;
    std::string error;
    if (!writeWholeFile(path, text, error)) {
        session.window.memo2.append(std::string("Cannot write the ") + what + " " + path + ": " + error);
        return std::nullopt;
    }
    return path;
}
} // namespace

void WriteResultLog(Session& session) {
    session.record.resultLogLines = session.window.memo1.lines();
    if (session.options.NORESULTLOG != 0) {
        return;
    }
    session.record.resultLogPath = savePane(session, resultLogName(session.ports.environment->localTime()),
                                            session.window.memo1.textForLog(), "result log");
}

void WriteDiagnosticLog(Session& session) {
    savePane(session, "Mesaage.log", session.window.memo2.textForLog(), "diagnostic log");
}

void FinishOutcome(Session& session, std::uint8_t code, CloseKey closeKey) {
    session.ResultCode = code;
    session.record.outcomeRecorded = true;
    session.outcomePending = false;
    const std::int32_t key = closeKey == CloseKey::PASS ? session.options.PASS : session.options.FAIL;
    if (key != 0 && session.closeMainWindow) {
        session.closeMainWindow();
    }
}

void StoreFirmwareVersion(Session& session, const std::string& version) {
    std::string error;
    if (!session.ports.store->writeFirmwareVersion(version, error)) {
        session.window.memo2.append("Cannot store FWVer: " + error);
    }
}

int ExitCode(const Session& session) {
    if (session.options.RETURNCODETYPE == 1 && session.ResultCode != 0) {
        return 3;
    }
    return session.ResultCode;
}

} // namespace qv
