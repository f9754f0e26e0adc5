// libvzgrab.so's two exports (ordinals 1 and 2 of the loader's table).
#include <type_traits>

#include "capture/controller/capture_library.h"

#define VZ_GRAB_EXPORT extern "C" __attribute__((visibility("default")))

VZ_GRAB_EXPORT IVzGrabProvider* DSCreateCapture(IVzGrabProviderSink* sink) {
  return CaptureLibraryCreate(sink, SystemCaptureEnvironment());
}

VZ_GRAB_EXPORT int32_t DSReleaseCapture(IVzGrabProvider* provider) { return CaptureLibraryRelease(provider); }

static_assert(std::is_same_v<decltype(&DSCreateCapture), DSCreateCaptureFn>);
static_assert(std::is_same_v<decltype(&DSReleaseCapture), DSReleaseCaptureFn>);
