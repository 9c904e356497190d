#include "device/hardware_id_list.h"

namespace qv {

std::string_view HardwareIdList::entryAt(std::size_t position) const {
    if (position >= raw_.size()) return {};
    const std::string_view rest = raw_.substr(position);
    return rest.substr(0, rest.find('\0'));
}

std::optional<HardwareIdList::Match> HardwareIdList::find(std::string_view id) const {
    for (std::size_t position = 0; position < raw_.size();) {
        const std::string_view entry = entryAt(position);
        if (entry.empty()) break;
        if (entry == id) return Match{entry, position};
        position += entry.size() + 1;
    }
    return std::nullopt;
}

} // namespace qv
