// Event objects. The comm layer signals the events of completed operations.
#pragma once

#include "platform/kernel/waitable.h"

namespace kernel {

class Event final : public Waitable {
public:
    Event(bool manualReset, bool initialState) : m_manualReset(manualReset) { m_signalled = initialState; }
    void OnWaitSatisfiedLocked() override {
        if (!m_manualReset) m_signalled = false;
    }

private:
    const bool m_manualReset;
};

}  // namespace kernel
