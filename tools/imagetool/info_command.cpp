// "info": what the updater sees in a file: its kind by length, the texts,
// the clock bits, the IVT marker and the verdict of every checksum rule that
// applies to its length.
#include <cstdio>
#include <ostream>

#include "platform/integer_text.h"
#include "programming/image_file.h"
#include "tool_commands.h"

namespace qv::imagetool {
namespace {

std::string hex(std::uint64_t value, int digits = 0) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string describeLength(std::uint64_t length, std::int32_t sizedKib) {
    if (length == kOneKiBFileLength) {
        return "1 KiB file";
    }
    if (length >= 0x1F800 && length <= 0x20000) {
        return "code image, 126 K layout";
    }
    if (length >= 0x2F800 && length <= 0x30000) {
        return "code image, 190 K layout";
    }
    if (isSmallImageLength(length)) {
        return "small code image";
    }
    if (sizedImageRule(length, sizedKib)) {
        return "sized code image (" + std::to_string(sizedKib) + " KiB)";
    }
    return "unknown length (the updater checks nothing at load)";
}

void showOneKiBHeader(const std::vector<std::uint8_t>& image, std::ostream& out, bool& recognised) {
    const unsigned word2 = image[2] | (image[3] << 8);
    const unsigned word4 = image[4] | (image[5] << 8);
    if (image[0] == 0x10 && image[1] == 0x6D) {
        out << "header: 0x10 0x6D (code patch or direct-write file)\n";
        out << "data length: " << hex(word2, 4) << "\n";
        out << "address: " << hex(word4, 4) << "\n";
        recognised = true;
    } else if (image[0] == 0x80 && image[1] == 0x5C) {
        out << "header: 0x80 0x5C (parameter file)\n";
        out << "block size: " << hex(word2, 4) << "\n";
        recognised = true;
    } else {
        out << "header: " << hex(image[0], 2) << " " << hex(image[1], 2) << " (not recognised)\n";
        recognised = false;
    }
}

void showCodeFields(const std::vector<std::uint8_t>& image, std::ostream& out) {
    out << "version (0x0090): \"" << fieldText(image, kVersionOffset, kShortVersionWidth) << "\"\n";
    out << "OEM version (0x3100): \"" << fieldText(image, kOemVersionOffset, kOemVersionWidth) << "\"\n";
    out << "preload-code version (0x0050): \"" << fieldText(image, kPreloadVersionOffset, kShortVersionWidth)
        << "\"\n";
    if (image.size() <= kClockOffsetFF5C) {
        return;
    }
    const std::uint8_t marker = image[kIvtMarkerOffset];
    const char* meaning = marker == kIvtMappingOn ? "mapping on" : marker == kIvtMappingOff ? "mapping off" : "unknown";
    out << "IVT marker (0x0023): " << hex(marker, 2) << " (" << meaning << ")\n";
    for (const std::size_t at : {kClockOffsetFF5C, kClockOffsetFF6D}) {
        out << "clock (" << hex(at, 4) << " bit 4): "
            << ((image[at] & kClockSelectBit) != 0 ? "internal" : "external") << "\n";
    }
}

// Prints one rule's verdict; true when it passes.
bool showRule(const std::vector<std::uint8_t>& image, const std::string& name, const ChecksumRule& rule,
              std::ostream& out) {
    const std::uint16_t result = ImageChecksum(image, rule);
    out << "checksum " << name << " (" << (rule.negate ? "equal" : "complement") << " rule, " << hex(rule.start)
        << ".." << hex(rule.end - 1) << ", word at " << hex(rule.highBytePosition) << "): "
        << (result == 0 ? "pass" : "FAIL (" + hex(result, 4) + ")") << "\n";
    return result == 0;
}

} // namespace

int runInfo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) {
        err << "qv-imagetool info: FILE is required\n";
        return 2;
    }
    OptionList options;
    std::string error;
    long long sizedKib = 126;
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (!options.parse(rest, {"sized-kib"}, error) || !options.number("sized-kib", -0x7FFFFFFF, 0x7FFFFFFF, sizedKib, error)) {
        err << "qv-imagetool info: " << error << "\n";
        return 2;
    }
    std::vector<std::uint8_t> image;
    if (!loadImageFile(arguments[0], image)) {
        err << "qv-imagetool info: cannot read " << arguments[0] << "\n";
        return 2;
    }
    const std::uint64_t length = image.size();
    const auto kib = static_cast<std::int32_t>(sizedKib);
    out << "file: " << arguments[0] << "\n";
    out << "length: " << hex(length) << " (" << length << " bytes)\n";
    out << "kind: " << describeLength(length, kib) << "\n";

    if (length == kOneKiBFileLength) {
        bool recognised = false;
        showOneKiBHeader(image, out, recognised);
        out << "checksum: none (1 KiB files are not checked)\n";
        out << "verdict: " << (recognised ? "pass" : "FAIL") << "\n";
        return recognised ? 0 : 1;
    }
    showCodeFields(image, out);

    // The complement rules must each pass; a small image is meant for one
    // chip class, so one of its two regions passing is enough.
    bool passes = true;
    bool anyRule = false;
    if (const auto rule = largeLayoutRule(length)) {
        passes = showRule(image, rule->end == 0x1F800 ? "126 K layout" : "190 K layout", *rule, out) && passes;
        anyRule = true;
    }
    if (const auto rule = sizedImageRule(length, kib)) {
        passes = showRule(image, "sized " + std::to_string(kib) + " KiB", *rule, out) && passes;
        anyRule = true;
    }
    if (isSmallImageLength(length)) {
        const bool class0 = showRule(image, "small, chip class 0", *smallImageRule(length, 0), out);
        const bool classN = showRule(image, "small, chip class 1-3", *smallImageRule(length, 1), out);
        passes = (class0 || classN) && passes;
        anyRule = true;
    }
    if (!anyRule) {
        out << "checksum: no rule applies to this length\n";
    }
    out << "verdict: " << (passes ? "pass" : "FAIL") << "\n";
    return passes ? 0 : 1;
}

} // namespace qv::imagetool
