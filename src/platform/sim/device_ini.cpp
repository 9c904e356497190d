// device.ini of a simulation folder: reading the settings, and setting the
// device's mode in the text.
#include <charconv>
#include <cctype>
#include <sstream>

#include "platform/profile_reader.h"
#include "platform/sim/sim_state.h"

namespace qv::sim {

namespace {

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

template <typename T>
std::optional<T> parseNumber(const std::string& text, int base, std::uint64_t max) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end || value > max) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}

// Looks up keys of one section and remembers the first unusable value.
class Section {
public:
    Section(const std::string& text, const char* name, std::string& error) : text_(text), name_(name), error_(error) {}

    std::string text(const char* key, const std::string& fallback) const {
        return lookupProfileText(text_, name_, key, fallback);
    }

    template <typename T>
    void hex(const char* key, T& field, std::uint64_t max) {
        number(key, field, 16, max);
    }
    template <typename T>
    void decimal(const char* key, T& field, std::uint64_t max) {
        number(key, field, 10, max);
    }
    void flag(const char* key, bool& field) {
        unsigned value = field ? 1 : 0;
        number(key, value, 10, 1);
        field = value != 0;
    }
    void fraction(const char* key, double& field) {
        const std::string value = text(key, "");
        if (value.empty()) {
            return;
        }
        std::istringstream in(value);
        double parsed = 0;
        if (!(in >> parsed) || !in.eof() || parsed < 0.0 || parsed > 1.0) {
            fail(key, value);
            return;
        }
        field = parsed;
    }
    void fail(const char* key, const std::string& value) {
        if (error_.empty()) {
            error_ = "device.ini: [" + std::string(name_) + "] " + key + " = '" + value + "' is not usable";
        }
    }

private:
    template <typename T>
    void number(const char* key, T& field, int base, std::uint64_t max) {
        const std::string value = text(key, "");
        if (value.empty()) {
            return;
        }
        if (const auto parsed = parseNumber<T>(value, base, max)) {
            field = *parsed;
        } else {
            fail(key, value);
        }
    }

    const std::string& text_;
    const char* name_;
    std::string& error_;
};

void readChipId(Section& device, ChipId& id) {
    const std::string text = device.text("CHIPID", "");
    if (text.empty()) {
        return;
    }
    std::istringstream in(text);
    ChipId parsed{};
    std::string byte;
    for (auto& b : parsed) {
        const auto value = (in >> byte) ? parseNumber<std::uint8_t>(byte, 16, 0xFF) : std::nullopt;
        if (!value) {
            device.fail("CHIPID", text);
            return;
        }
        b = *value;
    }
    if (in >> byte) {
        device.fail("CHIPID", text);
        return;
    }
    id = parsed;
}

void readDevice(Section& device, SimulationSetup& setup) {
    DeviceConfig& config = setup.device;
    const std::string familyName = device.text("FAMILY", "5C");
    if (const auto family = familyFromName(familyName)) {
        config.family = *family;
    } else {
        device.fail("FAMILY", familyName);
    }
    const std::string mode = upper(device.text("MODE", "normal"));
    if (mode == "NORMAL" || mode == "FLASH" || mode == "ABSENT") {
        config.mode = mode == "FLASH" ? Mode::Flash : Mode::Normal;
        config.attached = mode != "ABSENT";
    } else {
        device.fail("MODE", mode);
    }
    readChipId(device, config.chipId);
    device.hex("REVISION", config.revision, 0xFFFF);
    device.hex("NORMALPID", config.normalProductId, 0xFFFF);
    device.hex("LOADERPID", config.loaderProductId, 0xFFFF);
    device.hex("LOADERUSAGE", config.loaderUsage, 0xFFFF);
    device.hex("REPORTID", config.firmware.handshakeReportId, 0xFF);
    const std::string style = upper(device.text("HANDSHAKE", "toggle"));
    if (style == "TOGGLE" || style == "ALWAYS") {
        config.firmware.handshakeStyle = style == "ALWAYS" ? HandshakeStyle::AlwaysEcho : HandshakeStyle::Toggle;
    } else {
        device.fail("HANDSHAKE", style);
    }
    device.hex("WORKBUFFER", config.parameters.workBufferAddress, 0xFFFFFF);
    device.hex("EFLASH", config.parameters.storedCopyAddress, 0xFFFFFF);
    device.decimal("PARAMSIZE", config.parameters.size, 255);
    device.decimal("REENUMMS", config.reenumerationDelayMs, 600000);
    device.decimal("LATENCYMS", setup.latencyMs, 10000);
    device.flag("REMOVED", setup.removedFromTree);
}

void readHost(Section& host, SimulationSetup& setup) {
    constexpr std::uint64_t kCount = 0xFFFFFFFF;
    host.decimal("PAUSEATEXCHANGE", setup.hostEvents.atExchange, kCount);
    host.decimal("PAUSEATREMOVAL", setup.hostEvents.atRemoval, kCount);
    host.decimal("PAUSEMS", setup.hostEvents.pauseMs, 600000);
}

void readFaults(Section& faults, SimulationSetup& setup) {
    FaultPlan& plan = setup.faults;
    constexpr std::uint64_t kCount = 0xFFFFFFFF;
    faults.decimal("SEED", setup.seed, kCount);
    faults.decimal("FAILNEXT", plan.failNextExchanges, kCount);
    faults.fraction("FAILPROBABILITY", plan.failProbability);
    faults.decimal("DISCONNECTAT", plan.disconnectAtExchange, kCount);
    faults.decimal("POWERLOSSAT", plan.powerLossAtExchange, kCount);
    faults.decimal("POWEROFFMS", plan.powerOffMs, 600000);
    faults.decimal("WRONGADDRESSECHOES", plan.wrongAddressEchoes, kCount);
    faults.flag("NOHANDSHAKEECHO", plan.noHandshakeEcho);
    faults.decimal("WRONGSUMONPAGE", plan.wrongSumOnPage, kCount);
    faults.decimal("READBACKBITFLIPS", plan.readBackBitFlips, kCount);
    faults.fraction("READBACKFLIPPROBABILITY", plan.readBackFlipProbability);
    faults.flag("REFUSEMODESWITCH", plan.refuseModeSwitch);
    faults.decimal("EXTRAREENUMMS", plan.extraReenumerationMs, 600000);
    faults.flag("FLICKER", plan.flickerReenumeration);
    faults.decimal("FLICKERMS", plan.flickerMs, 600000);
}

bool isSectionLine(const std::string& line, std::string* name) {
    const std::size_t open = line.find_first_not_of(" \t");
    if (open == std::string::npos || line[open] != '[') {
        return false;
    }
    const std::size_t close = line.find(']', open);
    if (close == std::string::npos) {
        return false;
    }
    std::string inner = line.substr(open + 1, close - open - 1);
    const std::size_t first = inner.find_first_not_of(" \t");
    const std::size_t last = inner.find_last_not_of(" \t");
    *name = first == std::string::npos ? "" : inner.substr(first, last - first + 1);
    return true;
}

bool isKeyLine(const std::string& line, const std::string& key) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    std::string name = line.substr(0, equals);
    const std::size_t first = name.find_first_not_of(" \t");
    const std::size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    return upper(name) == key;
}

} // namespace

std::optional<SimulationSetup> parseDeviceIni(const std::string& text, std::string& error) {
    error.clear();
    SimulationSetup setup;
    Section device(text, "DEVICE", error);
    readDevice(device, setup);
    Section faults(text, "FAULTS", error);
    readFaults(faults, setup);
    Section host(text, "HOST", error);
    readHost(host, setup);
    if (!error.empty()) {
        return std::nullopt;
    }
    return setup;
}

std::string withDeviceMode(const std::string& text, const std::string& mode) {
    return withDeviceKey(text, "MODE", mode);
}

std::string withDeviceKey(const std::string& text, const std::string& key, const std::string& value) {
    // Same rules as the reader: the first [DEVICE] section and the first
    // such key in it; a missing key goes at the end of the section.
    std::istringstream in(text);
    std::ostringstream out;
    std::string line;
    bool inside = false;
    bool done = false;
    bool sawSection = false;
    const std::string entry = key + "=" + value;
    while (std::getline(in, line)) {
        const bool cr = !line.empty() && line.back() == '\r';
        const std::string eol = cr ? "\r\n" : "\n";
        std::string name;
        if (!done && isSectionLine(line, &name)) {
            if (inside) {
                out << entry << eol;
                done = true;
            }
            inside = upper(name) == "DEVICE";
            sawSection = sawSection || inside;
        } else if (!done && inside && isKeyLine(cr ? line.substr(0, line.size() - 1) : line, key)) {
            out << entry << eol;
            done = true;
            continue;
        }
        out << line << (in.eof() ? "" : "\n");
    }
    std::string result = out.str();
    if (!done) {
        if (!result.empty() && result.back() != '\n') {
            result += '\n';
        }
        result += sawSection ? entry + "\n" : "[DEVICE]\n" + entry + "\n";
    }
    return result;
}

} // namespace qv::sim
