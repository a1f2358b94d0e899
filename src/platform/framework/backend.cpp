#include "platform/framework/backend.h"

#include "platform/kernel/run_aside.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace afx {
namespace {

std::atomic<Backend*> g_backend{nullptr};

// Work run aside from the user-interface thread leaves it painting.
const kernel::Meanwhile kPainting{
    [](const std::function<bool()>& finished, const std::function<void()>& stop) {
        Backend* backend = g_backend.load(std::memory_order_acquire);
        return backend && backend->KeepPainting(finished, stop);
    },
    [] {
        if (Backend* backend = g_backend.load(std::memory_order_acquire)) backend->Wake();
    }};

}  // namespace

Backend& CurrentBackend() {
    Backend* backend = g_backend.load(std::memory_order_acquire);
    if (!backend) {
        // A window operation before any back-end was chosen is a programming error.
        std::fputs("zandrel: no user-interface back-end selected\n", stderr);
        std::abort();
    }
    return *backend;
}

void SetBackend(Backend* backend) {
    g_backend.store(backend, std::memory_order_release);
    kernel::SetMeanwhile(backend ? &kPainting : nullptr);
}

Backend* BackendIfAny() { return g_backend.load(std::memory_order_acquire); }

}  // namespace afx

void AfxReportJobFault(const char* pszText) { afx::CurrentBackend().ReportJob(pszText, true); }

void AfxReportJobNotice(const char* pszText) { afx::CurrentBackend().ReportJob(pszText, false); }

void AfxBeginJobProgress(AFX_JOB_KIND eKind, const char* pszFileName, ULONGLONG nFileSize, UINT nDelay, BOOL bLoop,
                         const char* pszTo) {
    afx::CurrentBackend().BeginJobProgress({eKind, pszFileName, nFileSize, nDelay, bLoop != FALSE, pszTo ? pszTo : ""});
}

void AfxNextJobPass(ULONGLONG nFileSize) { afx::CurrentBackend().NextJobPass(nFileSize); }

void AfxReportJobProgress(DWORD nCount) { afx::CurrentBackend().ReportJobProgress(nCount); }

void AfxHoldJobProgress(BOOL bHeld, const char* pszWhy) {
    afx::CurrentBackend().HoldJobProgress(bHeld != FALSE, pszWhy ? pszWhy : "");
}

void AfxReportJobHold(const char* pszText, BOOL bBegins) { afx::CurrentBackend().ReportJobHold(pszText, bBegins != FALSE); }

void AfxEndJobProgress() { afx::CurrentBackend().EndJobProgress(); }
