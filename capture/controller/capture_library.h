#pragma once
// The capture library's process-wide state: at most one live capture
// controller, with its helper window (on the creating thread) and its
// desktop-switch thread. The exports DSCreateCapture and DSReleaseCapture
// are these two calls over the system's environment.
//
// Threading: both calls on the thread that is to receive the sink calls.
#include <cstdint>

#include "capture/controller/capture_environment.h"
#include "contracts/vz_grab_provider.h"

// The new controller's interface, or null (with a log line) while another
// instance lives, for a null sink, or when it cannot be built.
IVzGrabProvider* CaptureLibraryCreate(IVzGrabProviderSink* sink, const CaptureEnvironment& environment);
// 1 when released; 0 (nothing touched) for a pointer that is not the live
// instance.
int32_t CaptureLibraryRelease(IVzGrabProvider* provider);
