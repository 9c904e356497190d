#pragma once
// Port: the operator's file-open dialog ("Browse").
#include <optional>
#include <string>

namespace qv {

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // The chosen path, or nullopt when the operator cancels. filter uses the
    // "[*.bin]|*.bin|*.*|*.*" form: description|pattern pairs.
    virtual std::optional<std::string> chooseFile(const std::string& filter) = 0;
};

} // namespace qv
