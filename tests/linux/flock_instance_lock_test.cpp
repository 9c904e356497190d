// The station lock on Linux: one holder at a time, the fallback place when
// the first cannot be opened, and nothing left behind by the holder.
#include <gtest/gtest.h>

#include <filesystem>

#include "fake_device_tree.h"
#include "platform/linux/flock_instance_lock.h"

namespace qv {
namespace {

using Result = InstanceLock::Result;

TEST(FlockInstanceLock, OneHolderAtATimeAndReleasedWithItsOwner) {
    test::FakeDeviceTree scratch;  // a temporary folder
    const std::string unusable = (scratch.root() / "no-such-folder" / "quorvex-update.lock").string();
    const std::string beside = (scratch.root() / "quorvex-update.lock").string();

    auto first = std::make_unique<FlockInstanceLock>(std::vector<std::string>{unusable, beside});
    ASSERT_EQ(first->take(), Result::Taken);
    EXPECT_EQ(first->where(), beside);
    EXPECT_EQ(first->take(), Result::Taken) << "taking it again changes nothing";

    FlockInstanceLock second({unusable, beside});
    EXPECT_EQ(second.take(), Result::HeldByAnother);
    EXPECT_EQ(second.where(), beside);

    first.reset();  // the holder ends
    EXPECT_EQ(second.take(), Result::Taken);

    FlockInstanceLock nowhere({unusable});
    EXPECT_EQ(nowhere.take(), Result::Unavailable);
}

} // namespace
} // namespace qv
