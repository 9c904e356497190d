#include "app/run_reporter.h"

#include <ostream>

#include "app/exit_codes.h"
#include "app/progress_display.h"
#include "image_format/image_layout.h"
#include "platform/event_loop.h"
#include "session/result_codes.h"
#include "session/session.h"

namespace qv {

namespace {

struct OutcomeRow {
    std::uint8_t first, last;
    std::string_view word;
};

constexpr OutcomeRow kOutcomes[] = {
    {result_code::kNoDevice, result_code::kNoDevice, "no-device"},
    {result_code::kNoFlashModeDevice, result_code::kNoFlashModeDevice, "lost-device"},
    {result_code::kProgrammingFailed, result_code::kProgrammingFailed, "programming-failed"},
    {result_code::kParameterFailed, result_code::kParameterFailed, "parameters-failed"},
    {result_code::kNoDeviceAtStart, result_code::kNoDeviceAtStart, "no-device"},
    {result_code::kTooManyFiles, result_code::kTooManyFiles, "too-many-files"},
    {result_code::kNoUpdateFile, result_code::kNoUpdateFile, "no-file"},
    {result_code::kUpToDate, result_code::kUpToDate, "up-to-date"},
    {result_code::kChecksumError, result_code::kChecksumError, "checksum-error"},
    {result_code::kConfigurationError, result_code::kConfigurationError, "config-error"},
    {result_code::kBadVersionNumber, result_code::kBadVersionNumber, "bad-version"},
    {result_code::kUnreadableUpdateFile, result_code::kUnreadableUpdateFile, "unreadable-file"},
    {kExitAnotherUpdater, kExitAnotherUpdater, "another-instance"},
    {result_code::kImageSizeError, result_code::kPatchHeaderError, "refused"},
};

std::optional<DeviceFacts> deviceFacts(const Session& session) {
    const auto& found = session.link.lastFoundDevice();
    if (!found) return std::nullopt;
    DeviceFacts device;
    device.usagePage = found->collection.usagePage;
    if (found->attributes) {
        device.attributesKnown = true;
        device.vendorId = found->attributes->vendorId;
        device.productId = found->attributes->productId;
        device.revision = found->attributes->versionNumber;
    }
    device.chipClass = session.link.lastChipClass();
    return device;
}

std::string imageKind(const Session& session) {
    if (session.ImageBuffer.size() != kOneKiBFileLength) return "firmware";
    return session.FF6DPresent ? "code-patch" : "parameters";
}

std::optional<ImageFacts> imageFacts(const Session& session) {
    const RunRecord& record = session.record;
    if (record.imagePath.empty() || session.ImageBuffer.empty()) return std::nullopt;
    ImageFacts image;
    image.file = record.imagePath;
    image.size = session.ImageBuffer.size();
    image.kind = imageKind(session);
    if (image.kind == "firmware") {
        // What the programming flow takes, or would take, from the image.
        const std::string oem = fieldText(session.ImageBuffer, kOemVersionOffset, kOemVersionWidth);
        const bool oemIsVersion = session.FF6DPresent || session.FF4EPresent;
        image.newOemVersion = record.newOemVersion.value_or(oem);
        image.newVersion = record.newVersion.value_or(
            oemIsVersion ? oem : fieldText(session.ImageBuffer, kVersionOffset, kShortVersionWidth));
    }
    return image;
}

} // namespace

std::string_view outcomeWord(EndingKind kind, std::uint8_t resultCode, bool outcomeRecorded) {
    switch (kind) {
    case EndingKind::StartFailure: return "start-failure";
    case EndingKind::ProgramError: return "program-error";
    case EndingKind::Interrupted: return "interrupted";
    case EndingKind::AnotherInstance: return "another-instance";
    case EndingKind::Outcome: break;
    }
    if (resultCode == result_code::kSuccess) return outcomeRecorded ? "success" : "no-outcome";
    for (const auto& row : kOutcomes) {
        if (resultCode >= row.first && resultCode <= row.last) return row.word;
    }
    return "failed";
}

RunReporter::RunReporter(ConsoleReporting settings, EventLoop& loop)
    : settings_(std::move(settings)), loop_(loop), startTick_(loop.tickCount()) {
    if (!settings_.clock) settings_.clock = isoLocalTimeNow;
    started_ = settings_.clock();
    if (settings_.progress != nullptr) {
        progress_ = std::make_unique<ProgressDisplay>(*settings_.progress, settings_.progressOnTerminal,
                                                      [this] { return std::uint64_t{loop_.tickCount() - startTick_}; });
    }
}

RunReporter::~RunReporter() = default;

void RunReporter::attach(Session& session) {
    if (progress_) {
        WindowModel& window = session.window;
        window.progressChanged = [this, &window] { progress_->update(window.progressPhase, window.progress); };
    }
    if (!settings_.resultJsonPath) return;
    std::string error;
    if (canWriteBeside(*settings_.resultJsonPath, error)) return;
    const std::string line = "Cannot write the result document " + *settings_.resultJsonPath + ": " + error;
    session.window.memo2.append(line);
    if (settings_.errors != nullptr) *settings_.errors << "QuorvexUpdate: " << line << "\n";
    documentRefused_ = true;
}

void RunReporter::detach(Session& session) {
    session.window.progressChanged = nullptr;
    const RunRecord& record = session.record;
    // The lines as the result log holds them (without the CR LF it adds),
    // or the pane as it is when no result log was due.
    facts_.messages = record.resultLogLines.value_or(session.window.memo1.lines());
    facts_.device = deviceFacts(session);
    facts_.image = imageFacts(session);
    facts_.oldVersion = record.oldVersion;
    facts_.oldOemVersion = record.oldOemVersion;
    facts_.newVersion = facts_.image ? facts_.image->newVersion : std::nullopt;
    facts_.newOemVersion = facts_.image ? facts_.image->newOemVersion : std::nullopt;
    const ExchangeCounts& exchanges = session.link.exchangeCounts();
    facts_.sets = exchanges.sets;
    facts_.gets = exchanges.gets;
    facts_.failedAttempts = exchanges.failedAttempts;
    facts_.resultLog = record.resultLogPath;
    outcomeRecorded_ = record.outcomeRecorded;
}

void RunReporter::end(const RunEnding& ending) {
    if (ended_) return;
    ended_ = true;
    facts_.resultCode = ending.resultCode;
    facts_.exitCode = ending.exitCode;
    facts_.outcome = std::string(outcomeWord(ending.kind, ending.resultCode, outcomeRecorded_));
    if (!ending.reason.empty()) facts_.messages.push_back(ending.reason);
    if (progress_) progress_->finish(facts_.outcome, ending.kind == EndingKind::Outcome && ending.exitCode == 0);

    if (!settings_.resultJsonPath || documentRefused_) return;
    facts_.started = started_;
    facts_.finished = settings_.clock();
    facts_.durationMs = loop_.tickCount() - startTick_;
    std::string error;
    if (!writeFileAtomically(*settings_.resultJsonPath, resultDocumentText(facts_), error) &&
        settings_.errors != nullptr) {
        *settings_.errors << "QuorvexUpdate: Cannot write the result document " << *settings_.resultJsonPath << ": "
                          << error << "\n";
    }
}

} // namespace qv
