// The bus and the device tree of the simulated hub.
#include "platform/sim/simulated_hub.h"

#include <cstdio>
#include <cstdlib>

#include "platform/event_loop.h"

namespace qv::sim {

struct SimulatedHub::Entry {
    std::unique_ptr<SimulatedDevice> device;  // null for a foreign interface
    ForeignInterface foreign;
    bool foreignRemoved = false;
    unsigned foreignInstance = 1;
};

namespace {

constexpr std::uint64_t kTreeEntryNodeBase = 0x10000;

} // namespace

ForeignInterface keyboardInterface() { return {}; }

SimulatedHub::SimulatedHub(EventLoop& loop, std::uint32_t seed) : loop_(loop), random_(seed) {}

SimulatedHub::~SimulatedHub() = default;

SimulatedDevice& SimulatedHub::addDevice(const DeviceConfig& config) {
    auto entry = std::make_unique<Entry>();
    entry->device = std::make_unique<SimulatedDevice>(config, loop_, random_);
    entries_.push_back(std::move(entry));
    return *entries_.back()->device;
}

void SimulatedHub::addForeignInterface(const ForeignInterface& foreign) {
    auto entry = std::make_unique<Entry>();
    entry->foreign = foreign;
    entries_.push_back(std::move(entry));
}

void SimulatedHub::addTreeEntry(const PresentDevice& entry) { treeEntries_.push_back({entry, false}); }

std::size_t SimulatedHub::deviceCount() const {
    std::size_t count = 0;
    for (const auto& entry : entries_) {
        count += entry->device ? 1 : 0;
    }
    return count;
}

SimulatedDevice& SimulatedHub::device(std::size_t index) {
    for (const auto& entry : entries_) {
        if (entry->device && index-- == 0) {
            return *entry->device;
        }
    }
    std::fprintf(stderr, "SimulatedHub: no device %zu\n", index);
    std::abort();
}

// --- Interfaces and handles ---------------------------------------------------------

bool SimulatedHub::present(Entry& entry) {
    return entry.device ? entry.device->present() : !entry.foreignRemoved;
}

unsigned SimulatedHub::instanceOf(const Entry& entry) const {
    return entry.device ? entry.device->instance() : entry.foreignInstance;
}

std::string SimulatedHub::pathOf(std::size_t index) const {
    const Entry& entry = *entries_[index];
    const HidAttributes ids = entry.device ? entry.device->attributes() : entry.foreign.attributes;
    char path[128];
    std::snprintf(path, sizeof path, "\\\\?\\hid#vid_%04x&pid_%04x#sim%zu&%u#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  static_cast<unsigned>(ids.vendorId), static_cast<unsigned>(ids.productId), index,
                  instanceOf(entry));
    return path;
}

std::optional<std::string> SimulatedHub::interfacePath(unsigned index) {
    unsigned seen = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!present(*entries_[i])) {
            continue;
        }
        if (seen++ == index) {
            return pathOf(i);
        }
    }
    return std::nullopt;
}

HidHandle SimulatedHub::open(const std::string& path) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = *entries_[i];
        if (!present(entry) || pathOf(i) != path) {
            continue;
        }
        if (!entry.device && !entry.foreign.opens) {
            return kNoHandle;
        }
        const HidHandle handle = nextHandle_++;
        handles_[handle] = {i, instanceOf(entry)};
        return handle;
    }
    return kNoHandle;
}

void SimulatedHub::close(HidHandle handle) { handles_.erase(handle); }

SimulatedHub::Entry* SimulatedHub::live(HidHandle handle, std::uint32_t& errorCode) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        errorCode = error::kInvalidHandle;
        return nullptr;
    }
    Entry& entry = *entries_[it->second.entry];
    if (!present(entry) || instanceOf(entry) != it->second.instance) {
        errorCode = error::kDeviceNotConnected;
        return nullptr;
    }
    return &entry;
}

std::optional<HidCollectionCaps> SimulatedHub::collectionCaps(HidHandle handle) {
    std::uint32_t ignored = 0;
    const Entry* entry = live(handle, ignored);
    if (entry == nullptr) {
        return std::nullopt;
    }
    if (entry->device) {
        return entry->device->collection();
    }
    return entry->foreign.capsReadable ? std::optional(entry->foreign.caps) : std::nullopt;
}

std::optional<HidAttributes> SimulatedHub::attributes(HidHandle handle) {
    std::uint32_t ignored = 0;
    const Entry* entry = live(handle, ignored);
    if (entry == nullptr) {
        return std::nullopt;
    }
    return entry->device ? entry->device->attributes() : entry->foreign.attributes;
}

// --- Exchanges -------------------------------------------------------------------

bool SimulatedHub::exchange(ExchangeRecord::Direction direction, HidHandle handle, FeatureReport& report,
                            std::uint32_t& errorCode) {
    if (hostEvents_.atExchange != 0 && --hostEvents_.atExchange == 0 && onHostEvent) {
        onHostEvent();
    }
    if (hostGone_) {
        errorCode = error::kDeviceNotConnected;
        return false;
    }
    if (latencyMs_ != 0) {
        loop_.sleep(latencyMs_);
    }
    ++exchangeCount_;
    bool ok = false;
    std::uint32_t code = 0;
    Entry* entry = live(handle, code);
    if (entry != nullptr && !entry->device) {
        code = error::kInvalidFunction;
    } else if (entry != nullptr) {
        ok = direction == ExchangeRecord::Direction::Set ? entry->device->setFeature(report, code)
                                                         : entry->device->getFeature(report, code);
    }
    if (!ok) {
        errorCode = code;
    }
    if (logging_) {
        const auto it = handles_.find(handle);
        const int id = it == handles_.end() ? -1 : static_cast<int>(it->second.entry);
        log_.push_back({direction, id, report, ok, ok ? 0u : code, loop_.tickCount()});
    }
    return ok;
}

bool SimulatedHub::setFeature(HidHandle handle, const FeatureReport& report, std::uint32_t& errorCode) {
    FeatureReport request = report;
    return exchange(ExchangeRecord::Direction::Set, handle, request, errorCode);
}

bool SimulatedHub::getFeature(HidHandle handle, FeatureReport& report, std::uint32_t& errorCode) {
    return exchange(ExchangeRecord::Direction::Get, handle, report, errorCode);
}

// --- Device tree -----------------------------------------------------------------

PresentDeviceList SimulatedHub::presentDevices() {
    PresentDeviceList list;
    if (tree_.cannotList) {
        return list;
    }
    list.opened = true;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = *entries_[i];
        if (!present(entry)) {
            continue;
        }
        PresentDevice node;
        node.node = i + 1;
        node.hardwareIds = entry.device ? entry.device->hardwareIds() : entry.foreign.hardwareIds;
        if (node.hardwareIds.empty()) {
            node.status = PresentDevice::IdStatus::NoIds;
        }
        list.devices.push_back(std::move(node));
    }
    for (std::size_t i = 0; i < treeEntries_.size(); ++i) {
        if (!treeEntries_[i].second) {
            PresentDevice node = treeEntries_[i].first;
            node.node = kTreeEntryNodeBase + i;
            list.devices.push_back(std::move(node));
        }
    }
    list.enumerationFailed = tree_.enumerationFails;
    return list;
}

bool SimulatedHub::removeDevice(std::uint64_t node) {
    if (tree_.refuseRemoval || hostGone_) {
        return false;
    }
    if (node >= kTreeEntryNodeBase && node - kTreeEntryNodeBase < treeEntries_.size()) {
        treeEntries_[node - kTreeEntryNodeBase].second = true;
        return true;
    }
    if (node == 0 || node > entries_.size()) {
        return false;
    }
    Entry& entry = *entries_[node - 1];
    if (!present(entry)) {
        return false;
    }
    if (entry.device) {
        entry.device->removeFromTree();
        if (hostEvents_.atRemoval != 0 && --hostEvents_.atRemoval == 0 && onHostEvent) {
            onHostEvent();
        }
    } else {
        entry.foreignRemoved = true;
        ++entry.foreignInstance;
    }
    return true;
}

RescanStatus SimulatedHub::rescan() {
    if (hostGone_) {
        return tree_.rescanStatus;
    }
    if (tree_.rescanStatus.connected && tree_.rescanStatus.reenumerated) {
        for (auto& entry : entries_) {
            if (entry->device) {
                entry->device->rescan();
            } else {
                entry->foreignRemoved = false;
            }
        }
        for (auto& treeEntry : treeEntries_) {
            treeEntry.second = false;
        }
    }
    return tree_.rescanStatus;
}

// The simulated devices are all the hub's vendor's: every one still removed
// comes back; foreign interfaces and tree entries stay as they are.
unsigned SimulatedHub::restoreStranded() {
    if (hostGone_) {
        return 0;
    }
    unsigned restored = 0;
    for (auto& entry : entries_) {
        if (entry->device && entry->device->removedFromTree()) {
            entry->device->rescan();
            ++restored;
        }
    }
    return restored;
}

} // namespace qv::sim
