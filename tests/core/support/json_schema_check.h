#pragma once
// Checks a JSON document against the result document's schema
// (docs/result.schema.json). It knows the keywords that schema uses: type
// (one or a list), required, properties, additionalProperties: false, enum,
// items, pattern, minimum, maximum. A keyword it does not know fails the
// check, so the schema cannot grow past what the tests hold it to.
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qv::testing {

inline nlohmann::json loadResultSchema() {
    std::ifstream file(std::string(QV_SOURCE_DIR) + "/docs/result.schema.json");
    return nlohmann::json::parse(file);
}

namespace detail {

inline bool hasType(const nlohmann::json& value, const std::string& type) {
    if (type == "object") return value.is_object();
    if (type == "array") return value.is_array();
    if (type == "string") return value.is_string();
    if (type == "integer") return value.is_number_integer();
    if (type == "boolean") return value.is_boolean();
    if (type == "null") return value.is_null();
    return false;
}

inline void check(const nlohmann::json& schema, const nlohmann::json& value, const std::string& where,
                  std::vector<std::string>& problems) {
    static const std::set<std::string> kKnown = {"$schema", "title", "type", "required", "properties",
                                                 "additionalProperties", "enum", "items", "pattern",
                                                 "minimum", "maximum"};
    for (const auto& [keyword, _] : schema.items()) {
        if (kKnown.count(keyword) == 0) problems.push_back(where + ": unknown keyword " + keyword);
    }
    if (schema.contains("type")) {
        const auto& type = schema["type"];
        bool matches = false;
        for (const auto& t : type.is_array() ? type : nlohmann::json::array({type})) {
            matches = matches || hasType(value, t.get<std::string>());
        }
        if (!matches) {
            problems.push_back(where + ": " + value.dump() + " is not of type " + type.dump());
            return;
        }
    }
    if (schema.contains("enum") && std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end()) {
        problems.push_back(where + ": " + value.dump() + " is not one of " + schema["enum"].dump());
    }
    if (value.is_string() && schema.contains("pattern") &&
        !std::regex_search(value.get<std::string>(), std::regex(schema["pattern"].get<std::string>()))) {
        problems.push_back(where + ": " + value.dump() + " does not match " + schema["pattern"].get<std::string>());
    }
    if (value.is_number()) {
        if (schema.contains("minimum") && value < schema["minimum"]) problems.push_back(where + ": below minimum");
        if (schema.contains("maximum") && value > schema["maximum"]) problems.push_back(where + ": above maximum");
    }
    if (value.is_array() && schema.contains("items")) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            check(schema["items"], value[i], where + "[" + std::to_string(i) + "]", problems);
        }
    }
    if (!value.is_object()) return;
    for (const auto& name : schema.value("required", nlohmann::json::array())) {
        if (!value.contains(name.get<std::string>())) problems.push_back(where + ": missing " + name.get<std::string>());
    }
    const auto properties = schema.value("properties", nlohmann::json::object());
    for (const auto& [name, member] : value.items()) {
        if (properties.contains(name)) {
            check(properties[name], member, where + "." + name, problems);
        } else if (schema.value("additionalProperties", true) == false) {
            problems.push_back(where + ": unexpected " + name);
        }
    }
}

} // namespace detail

// Every place where `document` breaks the schema; empty when it holds.
inline std::vector<std::string> schemaProblems(const nlohmann::json& schema, const nlohmann::json& document) {
    std::vector<std::string> problems;
    detail::check(schema, document, "$", problems);
    return problems;
}

} // namespace qv::testing
