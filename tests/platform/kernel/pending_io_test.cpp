// The end of a thread aborts the I/O it left pending before its handle is
// signalled. The device here is an in-memory stand-in that only records the
// abort; the comm tests check the same on a real pty.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/kernel/pending_io.h"

namespace {

class RecordingDevice final : public kernel::IoTarget {
public:
    void Start(kernel::PendingIo& io, std::uint64_t ticket) {
        std::lock_guard lock(m_lock);
        kernel::ThreadIo::Current().Track(io, *this, ticket);
    }
    void Finish(kernel::PendingIo& io) {
        std::lock_guard lock(m_lock);
        kernel::ThreadIo::Untrack(io);
    }
    void AbortAtThreadExit(kernel::PendingIo& io, std::uint64_t ticket) override {
        std::lock_guard lock(m_lock);
        aborted.fetch_add(1);
        lastTicket = ticket;
        kernel::ThreadIo::Untrack(io);
    }
    std::atomic<int> aborted{0};
    std::uint64_t lastTicket = 0;

private:
    std::mutex m_lock;
};

struct Job {
    RecordingDevice* device;
    kernel::PendingIo left;
    kernel::PendingIo finished;
};

DWORD LeaveOnePending(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    job->device->Start(job->left, 41);
    job->device->Start(job->finished, 42);
    job->device->Finish(job->finished);
    return 0;
}

TEST(PendingIo, ThreadEndAbortsWhatItLeftBeforeItsHandleIsSignalled) {
    auto device = kernel::Ref<RecordingDevice>::Adopt(new RecordingDevice);
    Job job{device.get(), {}, {}};
    HANDLE thread = CreateThread(nullptr, 0, LeaveOnePending, &job, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(device->aborted.load(), 1);
    EXPECT_EQ(device->lastTicket, 41u);
    CloseHandle(thread);
}

TEST(PendingIo, AnyThreadAbortsWhatItLeftWhenItEnds) {
    auto device = kernel::Ref<RecordingDevice>::Adopt(new RecordingDevice);
    Job job{device.get(), {}, {}};
    std::thread worker([&] { LeaveOnePending(&job); });
    worker.join();
    EXPECT_EQ(device->aborted.load(), 1);
}

TEST(PendingIo, OperationsFinishedOnAnotherThreadAreNotAbortedAgain) {
    auto device = kernel::Ref<RecordingDevice>::Adopt(new RecordingDevice);
    kernel::PendingIo io;
    std::thread starter([&] {
        device->Start(io, 7);
        std::thread finisher([&] { device->Finish(io); });
        finisher.join();
    });
    starter.join();
    EXPECT_EQ(device->aborted.load(), 0);
}

}  // namespace
