#include "platform/session_recording.h"

#include <nlohmann/json.hpp>

#include <array>
#include <sstream>

namespace qv {

namespace {

using nlohmann::json;
// Written in the order the fields are set ("t" and "op" first), for people
// reading a recording.
using ordered = nlohmann::ordered_json;

constexpr std::array<std::string_view, 10> kOpNames = {
    "start", "enumerate", "open", "close", "set", "get", "hardwareIds", "remove", "rescan", "end"};

constexpr char kHexDigits[] = "0123456789abcdef";

std::string toHex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Text goes in as a JSON string when it is plain ASCII, otherwise as hex
// under key + "Hex", so that every byte comes back as it was.
void putText(ordered& object, const std::string& key, const std::string& text) {
    if (isAscii(text)) {
        object[key] = text;
    } else {
        object[key + "Hex"] = toHex(text);
    }
}

// Field access that reports the first problem instead of throwing.
class Fields {
public:
    Fields(const json& object, std::string& error) : object_(object), error_(error) {}

    bool failed() const { return !error_.empty(); }

    void fail(const std::string& problem) {
        if (error_.empty()) error_ = problem;
    }

    const json* find(const char* key) {
        const auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }

    template <typename T>
    T number(const char* key, T largest) {
        const json* value = find(key);
        if (value == nullptr || !value->is_number_integer() ||
            (!value->is_number_unsigned() && value->get<std::int64_t>() < 0)) {
            fail(std::string("\"") + key + "\" must be a number from 0");
            return T{};
        }
        const auto n = value->get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(largest)) {
            fail(std::string("\"") + key + "\" is out of range");
            return T{};
        }
        return static_cast<T>(n);
    }

    std::int64_t signedNumber(const char* key) {
        const json* value = find(key);
        if (value == nullptr || !value->is_number_integer()) {
            fail(std::string("\"") + key + "\" must be a whole number");
            return 0;
        }
        if (value->is_number_unsigned() && value->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            fail(std::string("\"") + key + "\" is out of range");
            return 0;
        }
        return value->get<std::int64_t>();
    }

    bool flag(const char* key) {
        const json* value = find(key);
        if (value == nullptr || !value->is_boolean()) {
            fail(std::string("\"") + key + "\" must be true or false");
            return false;
        }
        return value->get<bool>();
    }

    std::string text(const std::string& key) {
        if (const json* value = find(key.c_str()); value != nullptr && value->is_string()) {
            return value->get<std::string>();
        }
        const std::string hexKey = key + "Hex";
        if (const json* value = find(hexKey.c_str()); value != nullptr && value->is_string()) {
            if (auto bytes = fromHex(value->get_ref<const std::string&>())) return *bytes;
            fail("\"" + hexKey + "\" is not hex");
            return {};
        }
        fail("\"" + key + "\" must be a text");
        return {};
    }

    std::optional<std::string> optionalText(const char* key) {
        const json* value = find(key);
        if (value != nullptr && value->is_null()) return std::nullopt;
        return text(key);
    }

    FeatureReport report() {
        FeatureReport report{};
        const json* value = find("report");
        if (value == nullptr || !value->is_string() || value->get_ref<const std::string&>().size() != 128) {
            fail("\"report\" must be 128 hex characters");
            return report;
        }
        const auto bytes = fromHex(value->get_ref<const std::string&>());
        if (!bytes) {
            fail("\"report\" must be 128 hex characters");
            return report;
        }
        std::copy(bytes->begin(), bytes->end(), report.begin());
        return report;
    }

private:
    const json& object_;
    std::string& error_;
};

std::optional<RecordedOp> opFromName(std::string_view name) {
    for (std::size_t i = 0; i < kOpNames.size(); ++i) {
        if (kOpNames[i] == name) return static_cast<RecordedOp>(i);
    }
    return std::nullopt;
}

std::string_view statusName(PresentDevice::IdStatus status) {
    switch (status) {
    case PresentDevice::IdStatus::Ok: return "ok";
    case PresentDevice::IdStatus::NoIds: return "noIds";
    case PresentDevice::IdStatus::Failed: return "failed";
    }
    return "failed";
}

void readDevices(const json& list, Fields& fields, PresentDeviceList& devices) {
    if (!list.is_array()) {
        fields.fail("\"devices\" must be a list");
        return;
    }
    for (const json& item : list) {
        if (!item.is_object()) {
            fields.fail("every entry of \"devices\" must be an object");
            return;
        }
        std::string problem;
        Fields entry(item, problem);
        PresentDevice device;
        const json* status = entry.find("status");
        const std::string name = status != nullptr && status->is_string() ? status->get<std::string>() : "";
        if (name == "ok") {
            device.status = PresentDevice::IdStatus::Ok;
        } else if (name == "noIds") {
            device.status = PresentDevice::IdStatus::NoIds;
        } else if (name == "failed") {
            device.status = PresentDevice::IdStatus::Failed;
        } else {
            fields.fail("a device's \"status\" must be ok, noIds or failed");
            return;
        }
        device.hardwareIds = entry.text("ids");
        device.node = entry.number<std::uint64_t>("node", UINT64_MAX);
        if (entry.failed()) {
            fields.fail("in \"devices\": " + problem);
            return;
        }
        devices.devices.push_back(std::move(device));
    }
}

void readFields(RecordedEvent& event, Fields& fields) {
    switch (event.op) {
    case RecordedOp::Start: {
        event.version = fields.text("version");
        event.platform = fields.text("platform");
        event.ini = fields.text("ini");
        const json* arguments = fields.find("arguments");
        if (arguments == nullptr || !arguments->is_array()) {
            fields.fail("\"arguments\" must be a list of texts");
            break;
        }
        for (const json& argument : *arguments) {
            if (!argument.is_string()) {
                fields.fail("\"arguments\" must be a list of texts");
                break;
            }
            event.arguments.push_back(argument.get<std::string>());
        }
        break;
    }
    case RecordedOp::Enumerate:
        event.index = fields.number<unsigned>("index", UINT32_MAX);
        event.path = fields.optionalText("path");
        break;
    case RecordedOp::Open:
        event.path = fields.text("path");
        event.ok = fields.flag("ok");
        event.handle = static_cast<HidHandle>(fields.signedNumber("handle"));
        if (event.ok && event.handle == kNoHandle) fields.fail("an open that succeeded needs a handle");
        if (const json* page = fields.find("usagePage"); page != nullptr && !page->is_null()) {
            event.caps = HidCollectionCaps{fields.number<std::uint16_t>("usagePage", 0xFFFF),
                                           fields.number<std::uint16_t>("usage", 0xFFFF)};
        }
        if (const json* vendor = fields.find("vendorId"); vendor != nullptr && !vendor->is_null()) {
            event.attributes = HidAttributes{fields.number<std::uint16_t>("vendorId", 0xFFFF),
                                             fields.number<std::uint16_t>("productId", 0xFFFF),
                                             fields.number<std::uint16_t>("version", 0xFFFF)};
        }
        break;
    case RecordedOp::Close:
        event.path = fields.text("path");
        event.handle = static_cast<HidHandle>(fields.signedNumber("handle"));
        break;
    case RecordedOp::Set:
    case RecordedOp::Get:
        event.path = fields.text("path");
        event.report = fields.report();
        event.ok = fields.flag("ok");
        event.error = fields.number<std::uint32_t>("error", UINT32_MAX);
        break;
    case RecordedOp::HardwareIds:
        event.devices.opened = fields.flag("opened");
        event.devices.enumerationFailed = fields.flag("enumerationFailed");
        if (const json* devices = fields.find("devices")) {
            readDevices(*devices, fields, event.devices);
        } else {
            fields.fail("\"devices\" is missing");
        }
        break;
    case RecordedOp::Remove:
        event.node = fields.number<std::uint64_t>("node", UINT64_MAX);
        event.ok = fields.flag("ok");
        break;
    case RecordedOp::Rescan:
        event.rescan.connected = fields.flag("connected");
        event.rescan.rootLocated = fields.flag("rootLocated");
        event.rescan.reenumerated = fields.flag("reenumerated");
        break;
    case RecordedOp::End:
        event.resultCode = fields.number<int>("resultCode", 255);
        event.exitCode = fields.number<int>("exitCode", 255);
        break;
    }
}

} // namespace

std::string_view opName(RecordedOp op) { return kOpNames[static_cast<std::size_t>(op)]; }

std::string reportHex(const FeatureReport& report) {
    return toHex(std::string_view(reinterpret_cast<const char*>(report.data()), report.size()));
}

std::string pathField(const std::string& path) {
    ordered field;
    putText(field, "path", path);
    const std::string text = field.dump();  // {"path":"..."} or {"pathHex":"..."}
    return text.substr(1, text.size() - 2);
}

void appendExchangeLine(std::string& out, std::uint32_t t, bool isSet, const std::string& quotedPath,
                        const FeatureReport& report, bool ok, std::uint32_t error) {
    out += "{\"t\":";
    out += std::to_string(t);
    out += isSet ? ",\"op\":\"set\"," : ",\"op\":\"get\",";
    out += quotedPath;
    out += ",\"report\":\"";
    for (const auto byte : report) {
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
    }
    out += ok ? "\",\"ok\":true,\"error\":" : "\",\"ok\":false,\"error\":";
    out += std::to_string(error);
    out += '}';
}

std::string recordingLine(const RecordedEvent& event) {
    if (event.op == RecordedOp::Set || event.op == RecordedOp::Get) {
        std::string line;
        appendExchangeLine(line, event.t, event.op == RecordedOp::Set, pathField(event.path.value_or("")),
                           event.report, event.ok, event.error);
        return line;
    }
    ordered line;
    line["t"] = event.t;
    line["op"] = opName(event.op);
    switch (event.op) {
    case RecordedOp::Start: {
        putText(line, "version", event.version);
        putText(line, "platform", event.platform);
        ordered arguments = ordered::array();
        for (const auto& argument : event.arguments) {
            arguments.push_back(isAscii(argument) ? argument : "<not ASCII: " + toHex(argument) + ">");
        }
        line["arguments"] = std::move(arguments);
        putText(line, "ini", event.ini);
        break;
    }
    case RecordedOp::Enumerate:
        line["index"] = event.index;
        if (event.path) {
            putText(line, "path", *event.path);
        } else {
            line["path"] = nullptr;
        }
        break;
    case RecordedOp::Open:
        putText(line, "path", event.path.value_or(""));
        line["ok"] = event.ok;
        line["handle"] = static_cast<std::int64_t>(event.handle);
        line["usagePage"] = event.caps ? ordered(event.caps->usagePage) : ordered(nullptr);
        line["usage"] = event.caps ? ordered(event.caps->usage) : ordered(nullptr);
        line["vendorId"] = event.attributes ? ordered(event.attributes->vendorId) : ordered(nullptr);
        line["productId"] = event.attributes ? ordered(event.attributes->productId) : ordered(nullptr);
        line["version"] = event.attributes ? ordered(event.attributes->versionNumber) : ordered(nullptr);
        break;
    case RecordedOp::Close:
        putText(line, "path", event.path.value_or(""));
        line["handle"] = static_cast<std::int64_t>(event.handle);
        break;
    case RecordedOp::Set:
    case RecordedOp::Get:
        putText(line, "path", event.path.value_or(""));
        line["report"] = reportHex(event.report);
        line["ok"] = event.ok;
        line["error"] = event.error;
        break;
    case RecordedOp::HardwareIds: {
        line["opened"] = event.devices.opened;
        line["enumerationFailed"] = event.devices.enumerationFailed;
        ordered devices = ordered::array();
        for (const auto& device : event.devices.devices) {
            ordered entry;
            entry["status"] = statusName(device.status);
            putText(entry, "ids", device.hardwareIds);
            entry["node"] = device.node;
            devices.push_back(std::move(entry));
        }
        line["devices"] = std::move(devices);
        break;
    }
    case RecordedOp::Remove:
        line["node"] = event.node;
        line["ok"] = event.ok;
        break;
    case RecordedOp::Rescan:
        line["connected"] = event.rescan.connected;
        line["rootLocated"] = event.rescan.rootLocated;
        line["reenumerated"] = event.rescan.reenumerated;
        break;
    case RecordedOp::End:
        line["resultCode"] = event.resultCode;
        line["exitCode"] = event.exitCode;
        break;
    }
    return line.dump();
}

std::optional<RecordedEvent> parseRecordingLine(std::string_view text, std::string& error) {
    error.clear();
    try {
        const json line = json::parse(text.begin(), text.end(), nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            error = "not a complete JSON object (a truncated or damaged line?)";
            return std::nullopt;
        }
        Fields fields(line, error);
        const json* op = fields.find("op");
        if (op == nullptr || !op->is_string()) {
            error = "\"op\" is missing";
            return std::nullopt;
        }
        const auto known = opFromName(op->get_ref<const std::string&>());
        if (!known) {
            error = "unknown op \"" + op->get<std::string>() + "\"";
            return std::nullopt;
        }
        RecordedEvent event;
        event.op = *known;
        event.t = fields.number<std::uint32_t>("t", UINT32_MAX);
        readFields(event, fields);
        if (fields.failed()) return std::nullopt;
        return event;
    } catch (const std::exception& problem) {
        error = std::string("unreadable: ") + problem.what();
        return std::nullopt;
    }
}

bool RecordingReader::readLine(std::string& line) {
    line.clear();
    std::streambuf* buffer = in_.rdbuf();
    if (buffer == nullptr) return false;
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in_.setstate(std::ios::eofbit);
            return any;
        }
        any = true;
        if (++bytes_ > maxBytes_) {
            error_ = "the recording is larger than " + std::to_string(maxBytes_) + " bytes";
            return false;
        }
        if (c == '\n') return true;
        if (line.size() >= kMaxRecordingLine) {
            error_ = "line " + std::to_string(line_ + 1) + ": longer than " +
                     std::to_string(kMaxRecordingLine) + " characters";
            return false;
        }
        line += static_cast<char>(c);
    }
}

std::optional<RecordedEvent> RecordingReader::next() {
    if (!error_.empty()) return std::nullopt;
    std::string line;
    for (;;) {
        if (!readLine(line)) {
            if (error_.empty() && !sawStart_) error_ = "the recording is empty: it has no \"start\" line";
            return std::nullopt;
        }
        ++line_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) break;
    }
    std::string problem;
    auto event = parseRecordingLine(line, problem);
    if (!event) {
        error_ = "line " + std::to_string(line_) + ": " + problem;
        return std::nullopt;
    }
    if (!sawStart_ && event->op != RecordedOp::Start) {
        error_ = "line " + std::to_string(line_) + ": the recording does not begin with \"start\"";
        return std::nullopt;
    }
    if (sawStart_ && event->op == RecordedOp::Start) {
        error_ = "line " + std::to_string(line_) + ": a second \"start\"";
        return std::nullopt;
    }
    if (event->t < lastTime_) {
        error_ = "line " + std::to_string(line_) + ": time goes backwards (" + std::to_string(event->t) +
                 " ms after " + std::to_string(lastTime_) + " ms)";
        return std::nullopt;
    }
    sawStart_ = true;
    lastTime_ = event->t;
    return event;
}

std::string checkRecording(std::istream& in) {
    RecordingReader reader(in);
    while (reader.next()) {
    }
    return reader.error();
}

} // namespace qv
