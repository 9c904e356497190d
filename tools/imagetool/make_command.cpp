// "make": builds an image with the simulated hub's image maker and writes it.
#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/integer_text.h"
#include "platform/sim/image_maker.h"
#include "session/result_reporting.h"
#include "tool_commands.h"

namespace qv::imagetool {
namespace {

struct KindName {
    const char* name;
    sim::ImageKind kind;
};

constexpr KindName kKinds[] = {
    {"126k", sim::ImageKind::Layout126K}, {"190k", sim::ImageKind::Layout190K},
    {"sized", sim::ImageKind::Sized},     {"small", sim::ImageKind::Small},
    {"patch", sim::ImageKind::CodePatch}, {"param", sim::ImageKind::ParameterFile},
    {"direct", sim::ImageKind::DirectWrite},
};

// "40-60,100" -> 40, 41, ..., 60, 100
bool parsePageList(const std::string& text, std::vector<std::size_t>& pages, std::string& error) {
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto dash = item.find('-');
        const std::string firstText = item.substr(0, dash);
        const std::string lastText = dash == std::string::npos ? firstText : item.substr(dash + 1);
        const auto first = parseInteger(firstText);
        const auto last = parseInteger(lastText);
        if (!first || !last || *first < 0 || *last < *first || *last > 0xFFFF) {
            error = "--blank-pages needs page numbers or ranges like 40-60,100, not '" + text + "'";
            return false;
        }
        for (auto page = *first; page <= *last; ++page) {
            pages.push_back(static_cast<std::size_t>(page));
        }
    }
    return true;
}

// "ff", "FF", "0xff", "00": the byte written after each text's terminating
// zero. Always hexadecimal, as bytes are written in dumps.
bool parseFieldPadding(const std::optional<std::string>& text, std::uint8_t& padding, std::string& error) {
    if (!text) {
        return true;
    }
    const bool prefixed = text->rfind("0x", 0) == 0 || text->rfind("0X", 0) == 0;
    const auto value = text->empty() || text->front() == '-' ? std::nullopt
                                                             : parseInteger(prefixed ? *text : "0x" + *text);
    if (!value || *value < 0 || *value > 0xFF) {
        error = "--field-padding needs a hexadecimal byte such as 00 or ff, not '" + *text + "'";
        return false;
    }
    padding = static_cast<std::uint8_t>(*value);
    return true;
}

bool readSpec(const OptionList& options, sim::ImageSpec& spec, std::string& error) {
    const auto kindText = options.text("kind");
    const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const KindName& k) { return kindText && *kindText == k.name; });
    if (kind == std::end(kKinds)) {
        error = "--kind must be one of 126k, 190k, sized, small, patch, param, direct";
        return false;
    }
    spec.kind = kind->kind;

    long long length = 0, kib = spec.kib, chipClass = 0, marker = spec.ivtMarker, seed = spec.seed;
    long long dataLength = -1, address = -1;
    if (!options.number("length", 1, 0x7FFFFFFF, length, error) || !options.number("kib", 0, 0xFFFF, kib, error) ||
        !options.number("chip-class", 0, 3, chipClass, error) ||
        !options.number("ivt-marker", 0, 0xFF, marker, error) ||
        !options.number("seed", 0, 0x7FFFFFFF, seed, error) ||
        !options.number("data-length", 0, 0xFFFF, dataLength, error) ||
        !options.number("address", 0, 0xFFFF, address, error)) {
        return false;
    }
    spec.length = static_cast<std::size_t>(length);
    spec.kib = static_cast<unsigned>(kib);
    spec.regionStart = chipClass != 0 ? 0x400 : 0x2000;
    spec.ivtMarker = static_cast<std::uint8_t>(marker);
    spec.seed = static_cast<std::uint32_t>(seed);
    if (dataLength >= 0) {
        spec.dataLength = static_cast<std::uint16_t>(dataLength);
    }
    if (address >= 0) {
        spec.address = static_cast<std::uint16_t>(address);
    }
    spec.version = options.text("version").value_or("");
    spec.oemVersion = options.text("oem").value_or("");
    spec.preloadVersion = options.text("preload-version").value_or("");
    if (!parseFieldPadding(options.text("field-padding"), spec.fieldPadding, error)) {
        return false;
    }

    const auto clock = options.text("clock").value_or("internal");
    if (clock != "internal" && clock != "external") {
        error = "--clock must be internal or external";
        return false;
    }
    spec.clock = clock == "internal" ? sim::ClockSource::Internal : sim::ClockSource::External;

    if (const auto pages = options.text("blank-pages"); pages && !parsePageList(*pages, spec.blankPages, error)) {
        return false;
    }
    error = sim::imageSpecProblem(spec);
    return error.empty();
}

} // namespace

int runMake(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    OptionList options;
    std::string error;
    const std::vector<std::string> allowed = {"kind",  "length", "kib",         "chip-class", "version",
                                              "oem",   "preload-version", "field-padding", "clock", "ivt-marker",
                                              "blank-pages", "seed", "data-length", "address", "out"};
    sim::ImageSpec spec;
    if (!options.parse(arguments, allowed, error) || !readSpec(options, spec, error)) {
        err << "qv-imagetool make: " << error << "\n";
        return 2;
    }
    const auto path = options.text("out");
    if (!path || path->empty()) {
        err << "qv-imagetool make: --out FILE is required\n";
        return 2;
    }
    const auto image = sim::makeFirmwareImage(spec);
    if (!writeWholeFile(*path, std::string(image.begin(), image.end()), error)) {
        err << "qv-imagetool make: " << error << "\n";
        return 2;
    }
    out << "wrote " << *path << " (" << image.size() << " bytes)\n";
    return 0;
}

} // namespace qv::imagetool
