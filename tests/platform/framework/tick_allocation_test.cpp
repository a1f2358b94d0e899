// A running window timer allocates nothing per tick on the console run's
// back-end (real clock, the modal loop of the main window).
#include <gtest/gtest.h>

#include "platform/framework/headless/headless.h"
#include "tick_allocations.h"

namespace {

TEST(TickAllocations, RunningTimerAllocatesNothingPerTickHeadless) {
    if (!ZANDREL_COUNTS_ALLOCATIONS) GTEST_SKIP() << "the sanitizer's allocator cannot be counted";
    ASSERT_TRUE(tickalloc::CounterSeesAllocations());
    headless::Use(false);
    tickalloc::TickingDialog dialog;
    testres::g_app.m_pMainWnd = &dialog;
    EXPECT_EQ(IDOK, dialog.DoModal());
    testres::g_app.m_pMainWnd = nullptr;
    EXPECT_EQ(dialog.allocationsAfterWarmUp, dialog.allocationsAtEnd);
}

}  // namespace
