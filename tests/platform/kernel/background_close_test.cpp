// Closes on threads of their own: a close that blocks (a device whose
// firmware stopped answering) holds neither its caller nor another device's
// open; an open of its own device and the end of the process wait for it,
// each no longer than allowed. The blocking close is a function waiting on
// the test: no device in a unit test can be made to hang.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "platform/kernel/background_close.h"

namespace {

using namespace std::chrono_literals;

// A close that runs until the test lets it end.
struct BlockedClose {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> ended;
    std::future<void> endedSeen = ended.get_future();

    std::function<void()> Run() {
        return [this] {
            released.wait_for(30s);  // bounded, so that a close the code under test runs here cannot hang the test
            ended.set_value();
        };
    }
};

TEST(BackgroundClose, ABlockedCloseHoldsNoCallerAndItsDeviceWaitsForIt) {
    BlockedClose blocked;
    kernel::StartBackgroundClose("188:0", "/dev/ttyUSB0", 10s, blocked.Run());
    EXPECT_EQ(blocked.endedSeen.wait_for(0s), std::future_status::timeout) << "the close ran on the caller";

    EXPECT_TRUE(kernel::WaitForBackgroundClose("188:1", 0ms)) << "another device waits for nothing";
    EXPECT_TRUE(kernel::WaitForBackgroundClose("", 0ms));
    EXPECT_FALSE(kernel::WaitForBackgroundClose("188:0", 50ms)) << "the open gives up after its patience";

    auto opened = std::async(std::launch::async, [] { return kernel::WaitForBackgroundClose("188:0", 30s); });
    blocked.release.set_value();
    EXPECT_TRUE(opened.get());
    EXPECT_EQ(blocked.endedSeen.wait_for(0s), std::future_status::ready) << "the open went on before the close ended";
    EXPECT_EQ(kernel::WaitForBackgroundCloses(), std::vector<std::string>{});
}

TEST(BackgroundClose, TheEndOfTheProcessWaitsForEachCloseNoLongerThanItsAllowance) {
    BlockedClose hung;
    BlockedClose slow;
    kernel::StartBackgroundClose("188:0", "/dev/ttyUSB0", 100ms, hung.Run());
    kernel::StartBackgroundClose("166:0", "/dev/ttyACM0", 30s, slow.Run());
    auto left = std::async(std::launch::async, [] { return kernel::WaitForBackgroundCloses(); });
    EXPECT_EQ(left.wait_for(200ms), std::future_status::timeout) << "the slow close was not waited for";
    slow.release.set_value();
    EXPECT_EQ(left.get(), std::vector<std::string>{"/dev/ttyUSB0"});

    hung.release.set_value();
    EXPECT_TRUE(kernel::WaitForBackgroundClose("188:0", 30s));
    EXPECT_EQ(kernel::WaitForBackgroundCloses(), std::vector<std::string>{});
}

}  // namespace
