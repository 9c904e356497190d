#pragma once
// The time of day for documents: local time, ISO 8601 with the offset
// from UTC ("2026-12-10T11:02:03+01:00").
#include <ctime>
#include <functional>
#include <string>

namespace qv {

using WallClock = std::function<std::string()>;

// The system's clock.
std::string isoLocalTimeNow();

// `local` and `utc` are the same instant broken down both ways.
std::string isoLocalTime(const std::tm& local, const std::tm& utc);

} // namespace qv
