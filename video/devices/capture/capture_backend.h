#pragma once
// The camera backend over a V4L2 port: the device factories the engine
// uses (enumerator, hot-plug notifier, capture engine with its retries).
// Without a renderer of its own: the table's renderer maker is the one
// installed before it, else the default renderer maker.
//
// Threads: install once, before the engine makes devices; the port must
// outlive every object made through the table.
#include "platform/camera/v4l2_port.h"
#include "video/engine/core/video_factories.h"

namespace vzcapture {

// Installs the backend over `port` (the system's, or an emulation) and
// returns the table it replaced.
const VideoDeviceFactories* InstallCaptureBackend(vz::V4l2Port& port);

// The makers alone, for tests that install their own table.
VseResult MakeV4l2DeviceEnumerator(vz::V4l2Port& port, IVideoCapDeviceEnumerator** out);
VseResult MakeV4l2DevicesNotifier(vz::V4l2Port& port, IVideoCapDeviceNotifySink* sink,
                                  IVideoCapDevicesNotifier** out);
VseResult MakeV4l2CapEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                            IVideoCapEngine** out);

}  // namespace vzcapture
