#pragma once
// --result-json=FILE: the JSON document every ending of the program leaves
// for the script that started it. The facts are gathered from the run;
// resultDocument() lays them out (the schema is docs/result.schema.json,
// described in the README). Texts are the program's 8-bit texts; the
// document carries them as UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace qv {

struct DeviceFacts {
    std::uint16_t usagePage = 0;  // the family: FF5C, FF7A, FF6D, FF4E
    std::uint16_t vendorId = 0, productId = 0, revision = 0;
    bool attributesKnown = false;
    std::optional<int> chipClass;
};

struct ImageFacts {
    std::string file;
    std::uint64_t size = 0;
    std::string kind;  // "firmware", "code-patch", "parameters"
    std::optional<std::string> newVersion, newOemVersion;
};

struct ResultFacts {
    std::uint8_t resultCode = 0;
    int exitCode = 0;
    std::string outcome;
    std::vector<std::string> messages;
    std::optional<DeviceFacts> device;
    std::optional<ImageFacts> image;
    std::optional<std::string> oldVersion, oldOemVersion, newVersion, newOemVersion;
    std::string started, finished;
    std::uint64_t durationMs = 0;
    std::uint64_t sets = 0, gets = 0, failedAttempts = 0;
    std::optional<std::string> resultLog;
};

nlohmann::ordered_json resultDocument(const ResultFacts& facts);

// The document's text: two-space indents, a final line feed.
std::string resultDocumentText(const ResultFacts& facts);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so a reader finds the old document or the whole new one, never a
// part. False with the reason when it cannot.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// Whether a file can be created beside `path` (the temporary one is made
// and removed again); false with the reason.
bool canWriteBeside(const std::string& path, std::string& error);

} // namespace qv
