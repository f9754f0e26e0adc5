#pragma once
// Test doubles of the renderer's world: an in-memory window port that
// records what is posted to its thread, a scripted draw, a factory that
// makes scripted draws, and a sample over a plain buffer.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui/message_hook.h"
#include "video/devices/render/draw_factory.h"
#include "video/devices/render/video_draw_base.h"
#include "video/devices/render/video_window_port.h"
#include "video/engine/core/video_interfaces.h"
#include "video/engine/core/video_types.h"

// What was posted to the fake window's thread; owned by the test, so it
// outlives the port (which dies with its renderer).
struct FakeWindowQueue {
  std::mutex mutex;
  std::vector<vz::HookMessage> messages;
  std::vector<std::function<void()>> tasks;
  std::vector<vz::HookMessage> TakeMessages();
  std::vector<std::function<void()>> TakeTasks();
};

class FakeWindowPort : public IVideoWindowPort {
 public:
  explicit FakeWindowPort(FakeWindowQueue* queue) : thread_(std::this_thread::get_id()), queue_(queue) {}
  bool IsWindow() override { return true; }
  std::thread::id WindowThread() override { return thread_; }
  uint64_t WindowId() override { return 0x5EED; }
  vz::Rect ClientRect() override;
  void UpdateGeometry() override {}
  bool PostMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  bool PostTask(std::function<void()> task) override;
  uint64_t NativeWindow() override { return 0; }
  std::string DisplayName() override { return {}; }
  int32_t Monitor() override { return monitor_; }

  void SetClientRect(const vz::Rect& rect);
  void set_monitor(int32_t monitor) { monitor_ = monitor; }

 private:
  const std::thread::id thread_;
  FakeWindowQueue* queue_;
  std::mutex mutex_;
  vz::Rect client_{0, 0, 320, 240};
  std::atomic<int32_t> monitor_{0};
};

// What the scripted draws of one test did.
struct DrawRecord {
  std::mutex mutex;
  int created = 0;
  int destroyed = 0;
  std::vector<std::thread::id> destroyed_on;
  std::vector<BitmapHeader> drawn;  // headers of frames handed over
  std::vector<uint32_t> drawn_sizes;
  std::vector<uint32_t> flags_seen;  // effect flags at each frame
  int repaints = 0;
  int backgrounds = 0;
  int window_actions = 0;
};

class FakeDraw : public CVideoDrawBase {
 public:
  // `draw_result` answers frames and repaints (by default 1, and -2 for
  // FourCC frames when !takes_yuv).
  FakeDraw(DrawRecord* record, bool needs_window_thread, bool takes_yuv)
      : record_(record), needs_window_thread_(needs_window_thread), takes_yuv_(takes_yuv) {}
  ~FakeDraw() override;

  int32_t Init(IVideoWindowPort* window, IDrawHost* host) override {
    window_ = window;
    host_ = host;
    return 1;
  }
  void UnInit() override {}
  int32_t IsFourCCSupported(uint32_t fourcc) override { return fourcc == 0 || takes_yuv_ ? 1 : 0; }
  int32_t GetVAType() override { return va_type; }
  int32_t VADraw(int32_t, const VASurfaceDesc*, const Rect&, const Rect&) override { return 1; }
  int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
               const Rect& target) override;
  int32_t DrawBkgnd(const Rect&) override;
  void DiscardStream() override { kept_ = false; }
  int32_t UpdateDrawTargetRectangle(const Rect&) override { return accept_target; }
  void WindowThreadAction() override;
  int32_t NeedsWindowThread() override { return needs_window_thread_ ? 1 : 0; }

  IDrawHost* host() const { return host_; }

  std::atomic<int32_t> frame_result{1};     // for frames it takes
  std::atomic<int32_t> repaint_result{0};   // 0: 1 when a frame is kept, else -3
  std::atomic<int32_t> background_result{1};
  std::atomic<int32_t> accept_target{1};
  std::atomic<int32_t> va_type{0};

 private:
  DrawRecord* record_;
  IVideoWindowPort* window_ = nullptr;
  IDrawHost* host_ = nullptr;
  const bool needs_window_thread_;
  const bool takes_yuv_;
  bool kept_ = false;
};

// Makes FakeDraws: the first choice answers as scripted (null when
// `first_fails`), the software draw always comes.
struct FakeDrawFactory {
  DrawRecord record;
  std::atomic<bool> first_fails{false};
  std::atomic<bool> software_fails{false};
  std::atomic<int> first_made{0};
  std::atomic<int> software_made{0};
  bool first_needs_window_thread = false;
  bool first_takes_yuv = true;
  std::mutex mutex;
  std::vector<FakeDraw*> live;  // made and not yet destroyed

  VideoDrawFactory Factory();
  FakeDraw* Latest();
};

// A sample over its own buffer.
class TestSample final : public IVideoSample {
 public:
  TestSample(const VideoFormat& format, std::vector<uint8_t> data) : format_(format), data_(std::move(data)) {}
  int32_t AddRef() override { return ++count_; }
  int32_t Release() override;
  int32_t GetRefCount() override { return count_; }
  VseResult QueryInterface(const VseGuid*, void**) override { return VSE_E_NOINTERFACE; }
  VseResult GetSize(int32_t* size) override;
  VseResult GetBase(void** base) override;
  VseResult GetPointer(void** pointer) override;
  VseResult GetActualDataLength(int32_t* length) override;
  VseResult GetFormat(VideoFormat* format) override;
  VseResult SetPointer(void*) override { return VSE_E_FAIL; }
  VseResult SetActualDataLength(int32_t) override { return VSE_E_FAIL; }
  VseResult SetFormat(const VideoFormat* format) override;

 private:
  std::atomic<int32_t> count_{0};
  VideoFormat format_;
  std::vector<uint8_t> data_;
};

// A sample of `video_type` (I420, YUY2, YV12 or 24-bit BGR) filled with
// a pattern; one reference for the caller. `short_by` bytes fewer than the
// format needs.
TestSample* MakeTestSample(int32_t video_type, int32_t width, int32_t height, int32_t short_by = 0);
