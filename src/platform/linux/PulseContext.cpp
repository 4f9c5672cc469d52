#include "platform/linux/PulseContext.h"

#include <pulse/pulseaudio.h>

// libpulse 15 and later honour it; earlier ones ignore the property.
#ifndef PA_PROP_CONTEXT_FORCE_DISABLE_SHM
#define PA_PROP_CONTEXT_FORCE_DISABLE_SHM "context.force.disable.shm"
#endif

namespace quietmon {

pa_context* newPulseContext(pa_mainloop_api* mainloop, PulseTransfer transfer) {
    pa_proplist* properties = pa_proplist_new();
    if (!properties)
        return nullptr;
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "quietmon");
    if (transfer == PulseTransfer::copied)
        pa_proplist_sets(properties, PA_PROP_CONTEXT_FORCE_DISABLE_SHM, "true");
    pa_context* context = pa_context_new_with_proplist(mainloop, nullptr, properties);
    pa_proplist_free(properties);
    return context;
}

} // namespace quietmon
