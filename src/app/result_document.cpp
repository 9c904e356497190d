#include "app/result_document.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/text_encoding.h"
#include "session/program_version.h"
#include "session/result_reporting.h"

namespace qv {

namespace {

using json = nlohmann::ordered_json;

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

json text(const std::optional<std::string>& value) {
    return value ? json(utf8FromWindows1252(*value)) : json(nullptr);
}

json deviceDocument(const std::optional<DeviceFacts>& device) {
    if (!device) return nullptr;
    const auto known = [&](std::uint16_t value) { return device->attributesKnown ? json(hex4(value)) : json(nullptr); };
    return {
        {"family", hex4(device->usagePage)},
        {"vendorId", known(device->vendorId)},
        {"productId", known(device->productId)},
        {"revision", known(device->revision)},
        {"chipClass", device->chipClass ? json(*device->chipClass) : json(nullptr)},
    };
}

json imageDocument(const std::optional<ImageFacts>& image) {
    if (!image) return nullptr;
    return {
        {"file", utf8FromWindows1252(image->file)},
        {"size", image->size},
        {"kind", image->kind},
        {"newVersion", text(image->newVersion)},
        {"newOemVersion", text(image->newOemVersion)},
    };
}

std::string temporaryPathFor(const std::string& path) { return path + ".tmp"; }

} // namespace

json resultDocument(const ResultFacts& facts) {
    json messages = json::array();
    for (const auto& line : facts.messages) messages.push_back(utf8FromWindows1252(line));
    return {
        {"program", "QuorvexUpdate"},
        {"version", kProgramVersion},
        {"resultCode", facts.resultCode},
        {"exitCode", facts.exitCode},
        {"outcome", facts.outcome},
        {"messages", messages},
        {"device", deviceDocument(facts.device)},
        {"image", imageDocument(facts.image)},
        {"oldVersion", text(facts.oldVersion)},
        {"oldOemVersion", text(facts.oldOemVersion)},
        {"newVersion", text(facts.newVersion)},
        {"newOemVersion", text(facts.newOemVersion)},
        {"started", facts.started},
        {"finished", facts.finished},
        {"durationMs", facts.durationMs},
        {"exchanges", {{"sets", facts.sets}, {"gets", facts.gets}, {"failedAttempts", facts.failedAttempts}}},
        {"resultLog", text(facts.resultLog)},
    };
}

std::string resultDocumentText(const ResultFacts& facts) {
    // Every text went through the decoder, so the document is valid UTF-8.
    return resultDocument(facts).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temporary = temporaryPathFor(path);
    if (!writeWholeFile(temporary, bytes, error)) return false;
    std::error_code failure;
    std::filesystem::rename(temporary, path, failure);
    if (failure) {
        error = failure.message();
        std::filesystem::remove(temporary, failure);
        return false;
    }
    return true;
}

bool canWriteBeside(const std::string& path, std::string& error) {
    const std::string temporary = temporaryPathFor(path);
    if (!writeWholeFile(temporary, {}, error)) return false;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return true;
}

} // namespace qv
