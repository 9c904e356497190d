#pragma once
// The application layer on the simulated hub and virtual time: a scratch
// folder as the executable's folder (TAVO.ini, update files, result logs),
// a directory listing in a chosen order, images from the image maker, and
// helpers that let the program's clock run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/directory_listing.h"
#include "platform/sim/image_maker.h"
#include "session/session.h"
#include "sim_session.h"

namespace qv::testing {

// A folder listing in the order the test gives, with the attributes it
// gives; a folder it knows nothing of lists through the real folder.
class OrderedListing : public DirectoryListing {
public:
    std::vector<DirectoryEntry> listBinFiles(const std::string& folder) override {
        const auto found = folders.find(folder);
        if (found != folders.end()) return found->second;
        return real.listBinFiles(folder);
    }
    std::map<std::string, std::vector<DirectoryEntry>> folders;
    FolderDirectoryListing real;
};

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One updater on its own scratch folder and hub.
class AppHarness {
public:
    explicit AppHarness(CommandLine commandLine = {}) : sim(std::move(commandLine)) {
        session().ports.directory = &listing;
    }
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    Session& session() { return sim.session; }
    WindowModel& window() { return sim.session.window; }
    std::filesystem::path folder() const { return sim.scratch.path(); }

    void writeIni(const std::string& text) {
        std::ofstream file(folder() / "TAVO.ini", std::ios::binary | std::ios::trunc);
        file << text;
    }

    // Writes an update file beside the executable (or in a sub-folder).
    std::vector<std::uint8_t> addFile(const std::string& relativePath, const std::vector<std::uint8_t>& bytes) {
        writeBytes(folder() / relativePath, bytes);
        return bytes;
    }

    // Lists the executable's folder in this order (names only, plain files).
    void listInOrder(const std::vector<std::string>& names, const std::string& subFolder = {}) {
        std::vector<DirectoryEntry> entries;
        for (const auto& name : names) entries.push_back({name});
        listing.folders[sim.scratch.folder() + subFolder] = entries;
    }

    // The device's running-firmware version text at 0x3100.
    static void setDeviceVersion(sim::SimulatedDevice& device, const std::string& text) {
        std::vector<std::uint8_t> field(32, 0);
        std::copy(text.begin(), text.end(), field.begin());
        device.chip().loadFlash(field, 0x3100);
    }

    // The window created as the program creates it (Timer4 armed).
    void createWindow() { CreateMainWindow(session()); }

    // Lets the program's clock run (timer ticks, nested waits).
    void run(std::uint32_t milliseconds) { sim.loop.advance(milliseconds); }
    // Runs until the start-up pass has been made.
    void runStartup() { run(200); }

    std::vector<std::filesystem::path> resultLogs() const {
        std::vector<std::filesystem::path> logs;
        for (const auto& item : std::filesystem::directory_iterator(folder())) {
            const std::string name = item.path().filename().string();
            if (name.rfind("VORTAVOlog", 0) == 0) logs.push_back(item.path());
        }
        return logs;
    }
    // The one result log's bytes ("" when there is none).
    std::string resultLog() const {
        const auto logs = resultLogs();
        if (logs.empty()) return {};
        const auto bytes = readBytes(logs.back());
        return std::string(bytes.begin(), bytes.end());
    }

    std::size_t count(const TextPane& pane, const std::string& line) const {
        return static_cast<std::size_t>(std::count(pane.lines().begin(), pane.lines().end(), line));
    }

    SimSession sim;
    OrderedListing listing;
};

class AppTest : public ::testing::Test, public AppHarness {
protected:
    explicit AppTest(CommandLine commandLine = {}) : AppHarness(std::move(commandLine)) {}
};

} // namespace qv::testing
