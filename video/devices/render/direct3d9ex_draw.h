#pragma once
// The first-choice draw: the GPU (OpenGL ES through EGL, over a device
// port). Frames go to the GPU in their own format when it takes it (planar
// and packed YUV, 24/32-bit RGB) and are converted, scaled, mirrored and
// flipped there. The device is made, reset and remade only on the window
// thread: a frame that finds it missing or stale off that thread asks the
// renderer for a window-thread action and is skipped (success); the
// renderer's message hook then calls WindowThreadAction there.
//
// States (m_stateCode): ready, failed (final: the renderer falls back and
// makes a new draw later), uncreated, need recreate (another monitor, a
// lost device), need reset (another target size).
//
// Under the renderer's lock; must be destroyed on the window thread.
#include <functional>
#include <memory>
#include <vector>

#include "video/devices/render/gpu_device_port.h"
#include "video/devices/render/video_draw_base.h"

class CDirect3D9ExDraw final : public CVideoDrawBase {
 public:
  enum StateCode : int32_t {
    StateCode_Ready = 0,
    StateCode_Failed = 1,
    StateCode_Uncreated = 2,
    StateCode_NeedRecreate = 3,
    StateCode_NeedReset = 4,
  };
  using PortMaker = std::function<std::unique_ptr<IGpuDevicePort>(IVideoWindowPort*)>;

  explicit CDirect3D9ExDraw(PortMaker make_port = &MakeGlesDevicePort);
  ~CDirect3D9ExDraw() override;

  // 1 when a device port exists (the device itself comes at the first
  // drawing on the window thread); 0 otherwise.
  int32_t Init(IVideoWindowPort* window, IDrawHost* host) override;
  void UnInit() override;
  int32_t IsFourCCSupported(uint32_t fourcc) override;
  int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
               const Rect& target) override;
  int32_t DrawBkgnd(const Rect& target) override;
  void DiscardStream() override;
  int32_t UpdateDrawTargetRectangle(const Rect& target) override;
  void WindowThreadAction() override;
  int32_t NeedsWindowThread() override { return 1; }

  int32_t state_for_testing() const { return m_stateCode; }

 private:
  // 0 go on, 1 skip the frame with success, 2 fail.
  int32_t EntryChecks(const Rect& target);
  int32_t CheckAndRecoverD3D9ExObjects(int32_t monitor, int32_t width, int32_t height);
  void PrepareD3D9ExObjects(int32_t monitor, int32_t width, int32_t height);
  void EnumSupportedFormats();
  // Present's result into the state; true when it showed.
  bool AfterPresent(int32_t result);

  PortMaker make_port_;
  std::unique_ptr<IGpuDevicePort> port_;
  IVideoWindowPort* window_ = nullptr;
  IDrawHost* host_ = nullptr;
  int32_t m_stateCode = StateCode_Failed;
  bool check_device_next_ = false;
  Rect target_{0, 0, 1, 1};
  int32_t device_monitor_ = -1;
  int32_t device_width_ = 0;
  int32_t device_height_ = 0;
  Rect frame_source_{};
  std::vector<uint32_t> supported_;
};
