#pragma once
// Port: the system's device tree (device manager). Works on hardware ids such
// as "USB\VID_1C7A&PID_5C50".
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// One present device as the device tree reports it.
struct PresentDevice {
    enum class IdStatus {
        Ok,       // hardwareIds holds the raw list
        NoIds,    // the device carries no hardware ids; it is skipped
        Failed,   // reading the property failed for another reason
    };
    IdStatus status = IdStatus::Ok;
    // The raw hardware-id property exactly as the system hands it out: a
    // sequence of zero-terminated strings ended by an empty string, most
    // specific first; its size is the size the system reported.
    std::string hardwareIds;
    // Token the port understands in removeDevice().
    std::uint64_t node = 0;
};

struct PresentDeviceList {
    bool opened = false;            // the set of present devices could be built
    std::vector<PresentDevice> devices;
    bool enumerationFailed = false; // enumeration ended with an unexpected error
};

struct RescanStatus {
    bool connected = false;     // configuration manager of the local machine
    bool rootLocated = false;   // root device node found
    bool reenumerated = false;  // re-enumeration of the tree accepted
};

class DeviceManager {
public:
    virtual ~DeviceManager() = default;
    // All present devices of all classes, in the system's order.
    virtual PresentDeviceList presentDevices() = 0;
    // Removes one device of the last presentDevices() list from the tree.
    virtual bool removeDevice(std::uint64_t node) = 0;
    // Asks the system to re-enumerate the whole device tree.
    virtual RescanStatus rescan() = 0;
    // Brings back the sensor hub's devices that are still removed from the
    // tree although no run is working on them (an earlier run ended between
    // a removal and its rescan); how many. Called before the first search.
    virtual unsigned restoreStranded() { return 0; }
};

} // namespace qv
