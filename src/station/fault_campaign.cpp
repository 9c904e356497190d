#include "station/fault_campaign.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "app/program.h"
#include "platform/sim/image_maker.h"
#include "platform/virtual_event_loop.h"
#include "station/simulated_station.h"

namespace qv::sim {

namespace {

constexpr std::size_t kVersionField = 0x0090;
constexpr std::size_t kVersionSlot = 0x1F7E0;
constexpr std::size_t kVersionWidth = 16;
constexpr std::size_t kProgrammedEnd = 0x1FC00;
constexpr std::uint32_t kSettleMs = 15000;  // power back, re-enumerated

// Virtual time that closes a run which does not end by itself.
class WatchedLoop : public VirtualEventLoop {
public:
    void processEvents(std::uint32_t maxWaitMs) override {
        VirtualEventLoop::processEvents(maxWaitMs);
        if (session_ != nullptr && !session_->window.closed && elapsedMilliseconds() - start_ > limitMs_) {
            hung_ = true;
            session_->closeMainWindow();
        }
    }
    void watch(Session* session, std::uint32_t limitMs) {
        session_ = session;
        limitMs_ = limitMs;
        start_ = elapsedMilliseconds();
        hung_ = false;
    }
    bool hung() const { return hung_; }

private:
    Session* session_ = nullptr;
    std::uint32_t limitMs_ = 0;
    std::uint64_t start_ = 0;
    bool hung_ = false;
};

// One simulated device and everything else the program needs.
struct Bench {
    Bench(const std::string& folder, std::uint32_t seed) : station(loop, folder, seed) {
        station.hub.setLogging(false);
        station.hub.addDevice();
    }

    // One silent run of the whole program; the exit code.
    int run(std::uint32_t limitMs) {
        const int exitCode = runProgram(loop, station, CommandLine({"/S"}),
                                        [this, limitMs](Session& session) { loop.watch(&session, limitMs); });
        loop.watch(nullptr, 0);
        station.standardOutput.str({});
        return exitCode;
    }

    SimulatedDevice& device() { return station.hub.device(0); }

    WatchedLoop loop;
    SimulatedStation station;
};

// One to three kinds of fault at random places.
FaultPlan randomFaults(std::mt19937& random, std::uint64_t exchangesPerUpdate) {
    auto pick = [&random](unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(random);
    };
    auto real = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    const unsigned lastExchange = static_cast<unsigned>(std::max<std::uint64_t>(exchangesPerUpdate, 1));
    FaultPlan plan;
    const unsigned kinds = pick(1, 3);
    for (unsigned k = 0; k < kinds; ++k) {
        switch (pick(0, 7)) {
        case 0: plan.failProbability = real(0.005, 0.3); break;
        case 1: plan.failNextExchanges = pick(1, 40); break;
        case 2: plan.disconnectAtExchange = pick(1, lastExchange); break;
        case 3:
            plan.powerLossAtExchange = pick(1, lastExchange);
            plan.powerOffMs = pick(50, 8000);
            break;
        case 4: plan.wrongSumOnPage = pick(1, 130); break;
        case 5: plan.readBackBitFlips = pick(1, 3); break;
        case 6: plan.readBackFlipProbability = real(0.0005, 0.02); break;
        default:
            plan.extraReenumerationMs = pick(0, 6000);
            plan.flickerReenumeration = pick(0, 1) == 1;
            break;
        }
    }
    return plan;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

} // namespace

bool firmwareAreaMatches(std::span<const std::uint8_t> flash, const std::vector<std::uint8_t>& image) {
    const std::size_t end = std::min(image.size(), kProgrammedEnd);
    if (end <= kFirmwareStart || flash.size() < end) return false;
    std::vector<std::uint8_t> expected = image;
    if (expected.size() >= kVersionSlot + kVersionWidth) {
        std::copy_n(image.begin() + kVersionField, kVersionWidth, expected.begin() + kVersionSlot);
    }
    return std::equal(expected.begin() + kFirmwareStart, expected.begin() + static_cast<std::ptrdiff_t>(end),
                      flash.begin() + kFirmwareStart);
}

CampaignFigures runFaultCampaign(const CampaignSettings& settings, const std::string& folder) {
    ImageSpec spec;
    spec.version = "NEW1.0";
    spec.oemVersion = "NEW1.0";
    spec.seed = 7;
    const std::vector<std::uint8_t> image = makeFirmwareImage(spec);
    writeFile(folder + "fw.bin", std::string(image.begin(), image.end()));
    writeFile(folder + "TAVO.ini", "[DEVICE]\r\nPROGRAMFAILRETRY=1\r\n");

    CampaignFigures figures;
    {
        Bench calibration(folder, settings.seed);
        calibration.run(settings.runTimeLimitMs);
        figures.exchangesPerCleanUpdate = calibration.device().exchanges();
    }

    std::mt19937 random(settings.seed);
    for (unsigned i = 0; i < settings.runs; ++i) {
        Bench bench(folder, settings.seed + i + 1);
        bench.device().faults() = randomFaults(random, figures.exchangesPerCleanUpdate);
        const int exitCode = bench.run(settings.runTimeLimitMs);
        ++figures.runs;
        ++figures.exitCodes[exitCode];
        if (bench.loop.hung()) ++figures.hung;
        const bool flashRight = firmwareAreaMatches(bench.device().chip().flash(), image);
        if (exitCode == 0) {
            ++(flashRight ? figures.succeeded : figures.wrongSuccess);
            continue;
        }
        ++figures.failed;

        // The operator plugs the device in again; the power comes back.
        bench.device().faults() = FaultPlan{};
        if (bench.device().unplugged()) bench.device().plugIn();
        bench.loop.advance(kSettleMs);
        if (bench.device().mode() == Mode::Flash) ++figures.leftInFlashMode;
        const int retryCode = bench.run(settings.runTimeLimitMs);
        if (bench.loop.hung()) ++figures.hung;
        const bool recovered = retryCode == 0 && firmwareAreaMatches(bench.device().chip().flash(), image);
        if (retryCode == 0 && !recovered) ++figures.wrongSuccess;
        ++(recovered ? figures.recovered : figures.notRecovered);
    }
    return figures;
}

std::string describe(const CampaignFigures& f) {
    std::ostringstream text;
    text << "runs " << f.runs << ", succeeded " << f.succeeded << ", failed " << f.failed << " (left in flash mode "
         << f.leftInFlashMode << ", recovered by the next run " << f.recovered << ", not recovered "
         << f.notRecovered << "), success with wrong flash " << f.wrongSuccess << ", hung " << f.hung
         << ", exchanges per clean update " << f.exchangesPerCleanUpdate << "\nexit codes:";
    for (const auto& [code, count] : f.exitCodes) text << " " << code << " x" << count;
    return text.str();
}

} // namespace qv::sim
