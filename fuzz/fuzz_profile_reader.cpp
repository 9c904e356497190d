// Arbitrary configuration text through the profile lookup and the integer
// conversion the configuration keys go through.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/integer_text.h"
#include "platform/profile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)qv::parseInteger(text);
    // The first line names a section and a key to look up in the rest.
    const auto lineEnd = text.find('\n');
    const std::string first = text.substr(0, lineEnd);
    const std::string rest = lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
    const auto split = first.find('|');
    const std::string section = first.substr(0, split);
    const std::string key = split == std::string::npos ? std::string("HWID") : first.substr(split + 1);
    for (const auto& [s, k] : {std::pair{section, key}, std::pair{std::string("OPTION"), std::string("MAXSTATECUNT")},
                               std::pair{std::string("MAIN"), std::string("HWID")}}) {
        const std::string value = qv::lookupProfileText(rest, s, k, "default");
        (void)qv::parseInteger(value);
    }
    return 0;
}
