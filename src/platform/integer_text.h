#pragma once
// Integer conversion of configuration texts: leading blanks, an optional
// sign, then decimal digits, or hexadecimal digits after "$", "x", "X", "0x"
// or "0X". Nothing may follow the digits. The result is a signed 32-bit
// integer; hexadecimal texts of up to eight digits give their bit pattern
// ($FFFFFFFF is -1), decimal texts must fit the signed range.
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

std::optional<std::int32_t> parseInteger(const std::string& text);

// "'%s' is not a valid integer value"
std::string notAnIntegerMessage(const std::string& text);

} // namespace qv
