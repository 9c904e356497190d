// A modest seeded fault campaign over the whole program, host crashes
// included; the full one
// (1,000+ runs) is the benchmark FaultCampaign in bench/.
#include <gtest/gtest.h>

#include <iostream>

#include "station/fault_campaign.h"
#include "support/sim_session.h"

namespace qv {
namespace {

TEST(FaultCampaign, NoSuccessWithWrongFlashAndEveryFailedDeviceRecovers) {
    testing::ScratchDirectory scratch("qv-campaign");
    sim::CampaignSettings settings;
    settings.runs = 40;
    settings.seed = 20240131;
    const sim::CampaignFigures figures = sim::runFaultCampaign(settings, scratch.folder());
    std::cout << sim::describe(figures) << "\n";
    EXPECT_EQ(figures.runs, settings.runs);
    EXPECT_EQ(figures.wrongSuccess, 0u);
    EXPECT_EQ(figures.hung, 0u);
    EXPECT_EQ(figures.notRecovered, 0u);
    EXPECT_EQ(figures.strandedAfterHostCrash, 0u);
    EXPECT_EQ(figures.recovered, figures.failed + figures.hostCrashes);
    // The faults must bite, or the campaign proves nothing.
    EXPECT_GT(figures.failed, settings.runs / 10);
    EXPECT_GT(figures.leftInFlashMode, 0u);
    EXPECT_GT(figures.hostCrashes, 0u);
    EXPECT_GT(figures.exchangesPerCleanUpdate, 1000u);
}

} // namespace
} // namespace qv
