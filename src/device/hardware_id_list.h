#pragma once
// Walking a device's raw hardware-id property: zero-terminated strings, most
// specific first, ended by an empty string or by the end of the property.
#include <cstddef>
#include <optional>
#include <string_view>

namespace qv {

// The entries before the first empty one. An entry that runs to the end of
// the property without its zero ends there.
class HardwareIdList {
public:
    explicit HardwareIdList(std::string_view raw) : raw_(raw) {}

    std::string_view first() const { return entryAt(0); }

    // The first entry equal to `id` (exact, case-sensitive) and where it starts.
    struct Match {
        std::string_view entry;
        std::size_t position;
    };
    std::optional<Match> find(std::string_view id) const;

private:
    std::string_view entryAt(std::size_t position) const;
    std::string_view raw_;
};

} // namespace qv
