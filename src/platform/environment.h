#pragma once
// Port: where the program lives and what time it is.
#include <string>

namespace qv {

struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    // Folder of the running executable, with its trailing path separator.
    virtual std::string executableFolder() = 0;
    virtual LocalTime localTime() = 0;
};

} // namespace qv
