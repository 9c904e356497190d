#pragma once
// Port: ends a background process tree by its image name ("KarnaHostSvc.exe").
#include <string>

namespace qv {

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // Fire and forget: the caller neither waits nor looks at the result.
    virtual void endProcessTree(const std::string& imageName) = 0;
};

} // namespace qv
