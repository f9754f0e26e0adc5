#pragma once
// The UI thread's half of a request: the message's name is logged, the
// session requests' summaries go to the web page's log (the tracer's collect
// call), the sink operation runs and the record is freed.
#include <cstdint>

#include "contracts/vz_link_instance.h"

// False, touching nothing, for a message that is not a request the sink
// handles (the listener status and the ping are the instance's own).
bool DeliverLinkRequest(IVzLinkInstanceSink& sink, uint32_t msg, uintptr_t wParam, intptr_t lParam);
