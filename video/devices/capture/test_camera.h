#pragma once
// The synthetic test camera: one device (type 0, "Velzar Test Camera") with
// one I420 capability, and a capture engine that produces the test pattern
// (contracts/test_pattern.h) with a rising frame counter on a thread of its own. It
// takes the place of the device backend when selected: by the environment
// variable VZ_VIDEO_TEST_CAMERA=1, or by the DWORD "TestCamera" = 1 under
// "Software\\Velzar\\Video" in the user's settings.
//
// Threads: the engine's frames and its OnStarted come on its capture
// thread; Start, Stop and release from any other thread.
#include <cstdint>

#include "video/engine/core/video_interfaces.h"

inline constexpr int32_t kTestCameraDeviceType = 0;
inline constexpr int32_t kTestCameraWidth = 640;
inline constexpr int32_t kTestCameraHeight = 360;
inline constexpr float kTestCameraFrameRate = 15.0f;

bool TestCameraSelected();
// Installs the test camera's makers as the device factories (process-wide).
void InstallTestCamera();

struct VideoDeviceFactories;
// The test camera's makers; without `own_thread` its engines make frames
// only through TestCameraProduceFrame (and report started at Start).
const VideoDeviceFactories* TestCameraFactories(bool own_thread);

// For tests: a test camera device and an engine over it that makes frames
// only when asked (no thread).
IVideoCapDevice* NewTestCameraDevice();
class CTestCameraEngine;
// The engine's result (VSE_ codes) and *out with one reference.
VseResult MakeTestCameraEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               bool own_thread, IVideoCapEngine** out);
// Produces one frame now on the calling thread (engines made without a
// thread); false when the engine is not started or has no sample.
bool TestCameraProduceFrame(IVideoCapEngine* engine);
