#include "platform/integer_text.h"

#include <cstddef>

namespace qv {

namespace {
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<std::int32_t> parseInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16u : 10u) + static_cast<unsigned>(digit);
        if (value > (hex ? 0xFFFFFFFFull : 0x80000000ull)) {
            return std::nullopt;
        }
    }
    std::int64_t result;
    if (hex) {
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        if (negative) {
            result = -result;
        }
    } else {
        result = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    }
    if (result > INT32_MAX || result < INT32_MIN) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(result);
}

std::string notAnIntegerMessage(const std::string& text) {
    return "'" + text + "' is not a valid integer value";
}

} // namespace qv
