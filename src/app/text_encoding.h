#pragma once
// The program's texts are 8-bit Windows-1252, as its window and logs show
// them; documents for other programs carry them as UTF-8.
#include <string>
#include <string_view>

namespace qv {

// Every byte decoded as Windows-1252 (the five bytes the code page leaves
// undefined as the C1 controls of the same number), encoded as UTF-8.
std::string utf8FromWindows1252(std::string_view text);

} // namespace qv
