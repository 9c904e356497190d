#include "app/wall_clock.h"

#include <cstdio>
#include <cstdlib>

namespace qv {

std::string isoLocalTime(const std::tm& local, const std::tm& utc) {
    // The two break-downs are at most a day apart.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const int offset = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    const int magnitude = std::abs(offset);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string isoLocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    // One thread: the library's shared break-down buffers are copied at once.
    const std::tm local = *std::localtime(&now);
    const std::tm utc = *std::gmtime(&now);
    return isoLocalTime(local, utc);
}

} // namespace qv
