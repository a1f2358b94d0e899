#include "platform/kernel/lent_line.h"

namespace kernel {
namespace {

struct ThreadLender {
    Ref<Object> owner;
    LineLender* lender = nullptr;
    ~ThreadLender() {
        if (lender) lender->Unlend();
    }
};

thread_local ThreadLender t_lender;

}  // namespace

void LendToThisThread(const Ref<Object>& owner, LineLender& lender) {
    if (t_lender.lender == &lender) return;
    if (t_lender.lender) t_lender.lender->Unlend();
    t_lender.owner = owner;
    t_lender.lender = &lender;
    // Made now rather than at the first wait: a lending thread holds one
    // descriptor for its life, whatever it has waited for so far.
    ThisThreadParker().PreparePollWake();
}

LineLender* LenderOfThisThread() { return t_lender.lender; }

}  // namespace kernel
