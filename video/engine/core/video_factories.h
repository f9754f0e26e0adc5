#pragma once
// The factories through which the engine makes the objects its devices
// provide (camera enumerator, hot-plug notifier, capture engine, renderer).
// They go through one replaceable table, so the device backend installs its
// makers and tests install fakes; until one is installed every factory
// answers VSE_E_FAIL with a log line.
//
// Results: a null out gives VSE_E_INVALIDARG; an object that cannot be made
// VSE_E_OUTOFMEMORY; one that fails to initialise VSE_E_FAIL (it has been
// released). On success *out holds one reference for the caller.
#include "video/engine/core/video_interfaces.h"
#include "video/engine/core/video_options_interfaces.h"

struct VideoDeviceFactories {
  // Each makes and initialises one object. On success *out holds one
  // reference and the answer is VSE_S_OK; otherwise *out stays null and the
  // answer says why (the initialisation's result, or VSE_E_OUTOFMEMORY).
  VseResult (*make_device_enumerator)(IVideoCapDeviceEnumerator** out);
  VseResult (*make_devices_notifier)(IVideoCapDeviceNotifySink* sink, IVideoCapDevicesNotifier** out);
  VseResult (*make_cap_engine)(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               IVideoCapEngine** out);
  VseResult (*make_renderer)(void* owner_view, IVideoRenderer** out);
  // Makes the options window (not initialised; *out owned by the caller).
  // May be null: then there is no options window.
  VseResult (*make_options_window)(IVideoOptionsHost* host, IVideoRenderService* render_service,
                                   IVideoOptionsSink* options_sink, IVideoOptionsWindow** out) = nullptr;
  // Set when make_cap_engine makes the format retries itself (with state
  // its tries share); CreateVideoCapEngine then calls it once.
  bool cap_engine_makes_retries = false;
};

// Installs a table (kept by the caller while installed) and returns the one
// it replaces; null goes back to the built-in table. Any thread.
const VideoDeviceFactories* SetVideoDeviceFactories(const VideoDeviceFactories* table);

VseResult CreateVideoCapDeviceEnumerator(IVideoCapDeviceEnumerator** out);
VseResult CreateVideoCapDevicesNotifier(IVideoCapDeviceNotifySink* sink, IVideoCapDevicesNotifier** out);
// With a format that the device refuses as invalid (VSE_E_INVALIDARG), tries
// again with the format's video type 0, then (also after any other failure)
// with no format. Without a format there is no retry.
VseResult CreateVideoCapEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               IVideoCapEngine** out);
// `owner_view` is the vz::Window of the view the renderer paints, made and
// used on that view's (the UI) thread.
VseResult CreateVideoRenderer(void* owner_view, IVideoRenderer** out);
// The renderer maker of the video library's own renderers (installed by the
// library at its first instance): what the built-in table makes renderers
// with, and what a table may name as its make_renderer. Without one,
// MakeDefaultVideoRenderer answers VSE_E_FAIL with a log line.
void SetDefaultVideoRendererMaker(VseResult (*maker)(void* owner_view, IVideoRenderer** out));
VseResult MakeDefaultVideoRenderer(void* owner_view, IVideoRenderer** out);
// All three services must be given (else VSE_E_INVALIDARG). On success
// *out is the window, to be shown with InitializeWindow and ended with
// DestroyVideoOptionsWindow; without a window backend VSE_E_FAIL.
VseResult CreateVideoOptionsWindow(IVideoOptionsHost* host, IVideoRenderService* render_service,
                                   IVideoOptionsSink* options_sink, IVideoOptionsWindow** out);
// Uninitialises and deletes the window; VSE_E_INVALIDARG for null.
VseResult DestroyVideoOptionsWindow(IVideoOptionsWindow* window);
