#pragma once
// Port: asks the system to keep the display and the machine awake.

namespace qv {

class KeepAwake {
public:
    virtual ~KeepAwake() = default;
    virtual void request() = 0;  // while the program runs
    virtual void release() = 0;  // at close
};

} // namespace qv
