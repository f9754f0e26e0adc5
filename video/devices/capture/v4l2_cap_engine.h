#pragma once
// The capture engine over one V4L2 camera: the format chosen in three
// steps (capture_format_choice.h), the input chosen among the device's
// inputs, and the running side: streaming on a capture thread of its own,
// a start check every 500 ms on the run loop of the thread that called
// Start (the start's outcome and the first frame), one restart with the
// camera's default format when the start failed or no frame came within
// 5,000 ms, and every frame handed to the engine's deliverers (the cropper
// first) as an IVideoSample.
//
// Results: Init 0, VSE_E_INVALIDARG when the negotiated format is not one
// the capture accepts (the factory then retries), VSE_E_FAIL otherwise.
// Start 0 running, 1 pending (the outcome follows through OnStarted on the
// starting thread), VSE_E_FAIL. A camera pulled out while streaming is
// reported through OnStarted(device, VSE_E_FAIL) on the starting thread.
// Threads: Init, Start, Stop and the rest on one thread with a run loop;
// frames on the capture thread. No deliverer may block on the starting
// thread: Stop waits for the capture thread.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/camera/v4l2_camera.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "video/devices/capture/frame_grabber.h"
#include "video/devices/capture/v4l2_cap_device.h"
#include "video/engine/send/video_cap_engine_base.h"

namespace vzcapture {

inline constexpr uint32_t kStartCheckMs = 500;
inline constexpr uint64_t kFirstFrameDeadlineMs = 5000;
inline constexpr uint32_t kCaptureBuffers = 4;

class CV4l2CapEngine final : public TEngineObject<IVideoCapEngine, IVideoCrossbar>, public CVideoCapEngine {
 public:
  CV4l2CapEngine() = default;

  // `strict` is shared by the factory's tries (see cap_engine_retries.h).
  VseResult Init(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                 int32_t* strict);

  VseResult AppendVideoDeliverer(IVideoDeliverer* d) override { return CVideoCapEngine::AppendVideoDeliverer(d); }
  VseResult RemoveVideoDeliverer(IVideoDeliverer* d) override { return CVideoCapEngine::RemoveVideoDeliverer(d); }
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback cb, void* data) override {
    return CVideoCapEngine::EnumVideoDeliverers(cb, data);
  }
  VseResult SetSink(IVideoCapEngineSink* sink) override;
  VseResult Start(bool synchronous) override;
  VseResult Stop() override;
  VseResult GetOutputVideoFormat(VideoFormat* format) override;
  bool IsDifferentDevice(IVideoCapDevice* device) override;
  // True when the camera has controls of its own (the options window shows
  // them, camera_controls.h); there is no window of the engine's own.
  bool HasAdvancedSetting() override { return has_controls_; }
  VseResult ShowAdvancedSetting(void* parent_window) override;

  // IVideoCrossbar only for a camera with inputs to choose from.
  VseResult QueryInterface(const VseGuid* iid, void** out) override;

  // IVideoCrossbar over the device's video inputs.
  VseResult GetCrossBarInput(int32_t index, char* buffer, int32_t* size) override;
  VseResult GetCrossBarOutput(int32_t index, char* buffer, int32_t* size) override;
  VseResult ConnectCrossBar(int32_t index, int32_t flag) override;
  VseResult GetCrossBarConnectedTo(int32_t* index, int32_t* flag) override;

  // One filled buffer as the capture thread hands it over: through the
  // grabber into the engine's deliverers; `lent` as the grabber's buffer
  // lender gave it, or null. Benchmarks feed frames through it without a
  // camera; the capture thread calls the grabber itself.
  void OnCameraBufferForTesting(const uint8_t* data, uint32_t length, void* lent = nullptr) {
    grabber_.OnBuffer(data, length, lent);
  }

  // Waits (real time) until the capture thread has the stream's
  // outcome; false on time-out.
  bool WaitForStreamResultForTesting(int timeout_ms);
  bool restart_done_for_testing() const { return restart_done_; }
  // True once the stream is on with the grabber's samples as the driver's
  // buffers (raw frames then go on without a copy).
  bool StreamsIntoSamplesForTesting() const { return streams_into_samples_.load(); }
  uint64_t DroppedFramesForTesting() const { return grabber_.DroppedFrames() + dropped_.load(); }
  uint64_t DeliveredFramesForTesting() const { return delivered_.load(); }
  // The capture thread has seen the stream end (the camera pulled out).
  bool StreamLostForTesting() const { return lost_.load(); }
  // Of those, the frames whose bytes were copied into a sample.
  uint64_t CopiedFramesForTesting() const { return copied_.load(); }

 private:
  ~CV4l2CapEngine() override;
  VseResult Setup(const VideoFormat* format, int32_t* strict);
  void CaptureThread();
  static void OnGrabberFrame(const GrabberFrame& frame);  // the grabber's callback
  void DeliverFrame(const GrabberFrame& frame);
  void OnStartCheck();
  // 1 when a new start is pending, 0 when started, VSE_E_FAIL.
  VseResult RestartWithDefaultFormat();
  void Report(VseResult result);
  void ReportLost();
  void StopCheckTimer();
  void JoinThread();

  IVideoCapDevice* device_ = nullptr;
  CV4l2CapDevice* v4l2_device_ = nullptr;
  IVideoSampleAllocator* allocator_ = nullptr;
  std::unique_ptr<vz::V4l2Camera> camera_;
  CFrameGrabber grabber_;
  std::vector<vz::CameraInput> inputs_;
  bool has_controls_ = false;
  float rate_ = 0.0f;

  std::mutex lock_;  // the sink, the stream's outcome
  std::condition_variable stream_result_cv_;
  IVideoCapEngineSink* sink_ = nullptr;

  // Written by the capture thread, read by the start check.
  std::atomic<bool> start_result_ready_{false};
  std::atomic<VseResult> start_result_{VSE_E_FAIL};
  std::atomic<bool> frame_seen_{false};
  std::atomic<bool> lost_{false};
  std::atomic<bool> thread_exit_{false};
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> delivered_{0};
  std::atomic<uint64_t> copied_{0};
  std::atomic<bool> logged_short_{false};
  std::atomic<bool> streams_into_samples_{false};

  // The starting thread's.
  uint64_t start_tick_ = 0;
  bool start_tick_set_ = false;
  bool restart_done_ = false;
  bool checking_ = false;
  bool loss_reported_ = false;
  vz::RunLoop* check_loop_ = nullptr;
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> stopped_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace vzcapture
