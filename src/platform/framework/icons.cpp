#include "platform/framework/icons.h"

namespace afx {

HICON IconHandle(const IconResource* icon) {
    return reinterpret_cast<HICON>(const_cast<IconResource*>(icon));
}

const IconResource* IconOf(HICON icon) {
    const ResourceTable* resources = AfxGetResources();
    if (!resources || !icon) return nullptr;
    for (const IconResource& entry : resources->icons)
        if (IconHandle(&entry) == icon) return &entry;
    return nullptr;
}

}  // namespace afx
