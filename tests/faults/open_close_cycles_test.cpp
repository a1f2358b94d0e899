// Many open/close cycles of both jobs while data flows both ways: each cycle
// gives back its descriptors, its threads and its memory.
#include <gtest/gtest.h>

#include "faults/far_end.h"
#include "faults/process_probe.h"
#include "platform/kernel/background_close.h"
#include "transfer/dialog_on_pty.h"
#include "support/thread_count.h"

namespace {

// The sanitizers hold freed memory back on purpose; their own checks cover leaks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryMeaningful = false;
#elif defined(__has_feature)
constexpr bool kResidentMemoryMeaningful = !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer);
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif

class OpenCloseCycles : public transfertest::DialogOnPty {
protected:
    // A capture that takes in some of the flowing data, then Stop.
    void CaptureCycle() {
        const auto capture = Path("cap.txt");
        const size_t before = transfertest::ReadFile(capture).size();
        StartCapture(capture);
        EXPECT_TRUE(headless::DispatchUntil([&] { return transfertest::ReadFile(capture).size() > before; }, 5000));
        headless::Click(m_dlg, IDC_STOP);
    }

    // A write that sends a character, then Stop.
    void WriteCycle() {
        StartWrite("w", "25", true);
        headless::Advance(25);
        EXPECT_EQ(m_pty.Receive(1), "w");
        headless::Click(m_dlg, IDC_STOP);
    }

    void Cycles(int count) {
        for (int i = 0; i < count; ++i) {
            CaptureCycle();
            WriteCycle();
        }
    }
};

TEST_F(OpenCloseCycles, TwoHundredCyclesLeaveNoDescriptorThreadOrMemoryBehind) {
    // Each close puts back the line as found: raw, so that nothing the far end sends is echoed.
    ASSERT_TRUE(m_pty.MakeRaw());
    faults::FarEnd farEnd(m_pty.Master(), size_t{1} << 30, 64, 1);
    const int threads = testsupport::Threads();
    Cycles(10);  // first-use allocations settle
    kernel::WaitForBackgroundCloses();  // each port's close gives its descriptors back on a thread of its own
    const int descriptors = faults::OpenDescriptors();
    const long residentKiB = faults::ResidentKiB();

    Cycles(100);
    kernel::WaitForBackgroundCloses();
    EXPECT_EQ(faults::OpenDescriptors(), descriptors);
    EXPECT_TRUE(testsupport::ThreadsReturnTo(threads));
    if (kResidentMemoryMeaningful) {
        EXPECT_LT(faults::ResidentKiB() - residentKiB, 1024);
    }
    farEnd.Stop();
}

}  // namespace
