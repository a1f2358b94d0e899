// Counts the heap allocations a running window timer makes per tick. It
// stands in for malloc and its siblings (forwarding to the C library's own),
// so it sees Qt's and the standard library's allocations alike; include it in
// one source file of a test program. The sanitizers bring their own
// allocator, so there the count is not available.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZANDREL_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZANDREL_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef ZANDREL_COUNTS_ALLOCATIONS
#define ZANDREL_COUNTS_ALLOCATIONS 1
#endif

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include "test_resources.h"

namespace tickalloc {

inline std::atomic<long> g_allocations{0};

inline void Count() { g_allocations.fetch_add(1, std::memory_order_relaxed); }

// Whether allocations are seen at all, so that a count of none means something.
inline bool CounterSeesAllocations() {
    void* (*volatile allocate)(size_t) = std::malloc;  // volatile: the pair cannot be optimised away
    long before = g_allocations.load();
    std::free(allocate(16));
    return g_allocations.load() > before;
}

}  // namespace tickalloc

#if ZANDREL_COUNTS_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) noexcept {
    tickalloc::Count();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    tickalloc::Count();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
    tickalloc::Count();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) noexcept {
    tickalloc::Count();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }
int posix_memalign(void** block, size_t alignment, size_t size) noexcept {
    *block = memalign(alignment, size);
    return *block ? 0 : ENOMEM;
}
}
#endif

namespace tickalloc {

// Runs a timer of the shortest period and notes the allocation count after a
// warm-up (first ticks may set things up once) and again many ticks later.
class TickingDialog : public CDialog {
public:
    static constexpr int kWarmUpTicks = 10;
    static constexpr int kMeasuredTicks = 100;

    TickingDialog() : CDialog(testres::kDialog) {}

    long allocationsAfterWarmUp = -1;
    long allocationsAtEnd = -1;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(1, 1, nullptr);
        return TRUE;
    }

protected:
    afx_msg void OnTimer(UINT) {
        ++m_ticks;
        if (m_ticks == kWarmUpTicks) allocationsAfterWarmUp = g_allocations.load();
        if (m_ticks == kWarmUpTicks + kMeasuredTicks) {
            allocationsAtEnd = g_allocations.load();
            KillTimer(1);
            EndDialog(IDOK);
        }
    }
    DECLARE_MESSAGE_MAP()

private:
    int m_ticks = 0;
};

BEGIN_MESSAGE_MAP(TickingDialog, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

}  // namespace tickalloc
