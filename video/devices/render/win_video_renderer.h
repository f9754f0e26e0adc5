#pragma once
// The end of every video road: takes decoded samples (and camera preview
// frames) on an engine thread, keeps the last one, and draws it into one
// view window through one draw object. It picks the draw (the first choice,
// the software draw when that fails, the first choice again 30 s later),
// hands planar 4:2:0 frames as they are to a draw that takes them
// (IPlanarFrameDraw), converts a YUV frame that a draw refuses into 24-bit
// BGR, and makes sure
// that draw work bound to the window's thread runs there: it posts itself a
// registered message and catches it in that thread's message hook.
//
// Threads: frames and shared-surface images on any data thread; Init,
// Uninit, the window events, effects and Redraw on the window thread (other
// threads are logged and served). One lock (the base's) guards every field
// and every call into the draw. Release may come on any thread: a draw that
// must die on the window thread is sent there.
//
// Results are engine results: 0, VSE_E_FAIL, VSE_E_OUTOFMEMORY,
// VSE_E_INVALIDARG.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/ui/message_hook.h"
#include "video/devices/color/color_space_convertor.h"
#include "video/devices/render/draw_factory.h"
#include "video/devices/render/video_draw.h"
#include "video/devices/render/video_window_port.h"
#include "video/engine/core/va_image_content.h"
#include "video/devices/render/video_renderer_base.h"

// Effects of a renderer's picture (nobody outside asks for it by id).
class IVideoEffect {
 public:
  // type 1: flip upside down (value non-zero sets it); type 2: mirror
  // left-right (value 0 clears it); others VSE_E_INVALIDARG.
  virtual VseResult SetEffect(int32_t type, int32_t value) = 0;
  virtual VseResult ClearEffect() = 0;

 protected:
  ~IVideoEffect() = default;
};

class CWinVideoRenderer final : public CVideoRenderer,
                                public IVideoDeliverer,
                                public IVideoWindowEvents,
                                public IVideoImageSink,
                                public IVideoEffect,
                                public vz::IHookMessageSink,
                                public IDrawHost {
 public:
  static constexpr int32_t kRenderTypeSoftware = 0;
  static constexpr int32_t kRenderTypeGpu = 1;
  static constexpr uint32_t kRetryFirstChoiceMs = 30000;
  static constexpr const char* kCustomMessageName = "CVseVideoRenderer_CustomMessage";
  // The custom message's wparam that asks for the held picture again (more
  // of the window shows: controls over it went). 0 and 1 are the draw's.
  static constexpr uintptr_t kRedrawMessage = 2;

  explicit CWinVideoRenderer(VideoDrawFactory factory = {}, vz::Clock& clock = vz::SystemClock());

  // On the window thread: keeps the window, hooks its thread and makes the
  // draw. False for a missing window, off the window thread (the hook
  // cannot be set there), or when no draw at all can be made.
  bool Init(std::unique_ptr<IVideoWindowPort> window, int32_t render_type);
  // Unhooks, releases the draws and the held picture. Any thread.
  void Uninit();

  // IEngineUnknown (one count for every face).
  int32_t AddRef() override { return AddRefObject(); }
  int32_t Release() override { return ReleaseObject(); }
  int32_t GetRefCount() override { return RefCountObject(); }
  VseResult QueryInterface(const VseGuid* iid, void** out) override;

  // IVideoRenderer and IVideoDeliverer (the capture engine's and the
  // listen channel's picture input).
  VseResult DeliverSample(IVideoSample* sample) override { return CVideoRenderer::DeliverSample(sample); }
  VseResult SetBKColor(uint32_t colour) override;
  VseResult ClearStream() override;
  VseResult SetMirror(bool mirror) override;
  VseResult Redraw() override;
  VseResult DrawHeldSample() override;
  int32_t GetRenderFormat() override { return 5; }
  int32_t IsFormatDirect(const VideoFormat*) override { return 1; }

  // IVideoWindowEvents.
  int32_t OnDisplayChange() override;
  int32_t OnWindowPositionChange() override;

  // IVideoImageSink: *flags = 1 when the draw takes shared surfaces.
  VseResult GetStatus(int32_t* flags) override;
  VseResult VADeliverImage(const VAImageContent* image) override;

  // IVideoEffect.
  VseResult SetEffect(int32_t type, int32_t value) override;
  VseResult ClearEffect() override;

  // vz::IHookMessageSink.
  intptr_t OnHookMessage(int32_t code, uintptr_t removal, const vz::HookMessage* message,
                         int32_t* handled) override;
  // IDrawHost.
  void RequestWindowThreadAction() override;

  // For tests and the log.
  int32_t current_render_type();
  int32_t content_state_for_testing();
  uint32_t effect_flags_for_testing();
  int32_t video_type();
  size_t deferred_draw_count_for_testing();
  uint32_t custom_message_for_testing() const { return custom_message_; }

 private:
  ~CWinVideoRenderer() override;

  bool IsWindowThread() { return window_ && window_->IsWindowThread(); }
  void InitDrawContext();
  bool UpdateDrawContext(int32_t render_type);
  IVideoDraw* CreateDraw(int32_t render_type);
  void UpdateMiscInfo();
  void CheckRenderTypeSwitch();
  void ReleaseDraw();
  void DestroyDeferredDraws();
  VseResult RenderFrame(bool repaint);
  VseResult DrawBackgroundOnly(const Rect& target);
  // The held I420 or YV12 sample through the draw's planar face: its
  // result (1 or -1), or 0 when the draw has none or refused the frame.
  int32_t DrawPlanarFrame(const Rect& target);
  VseResult ConvertToRGB24();
  void FreeConversionBuffer();
  uint32_t NowMs() const { return static_cast<uint32_t>(clock_.NowMs()); }

  VideoDrawFactory factory_;
  vz::Clock& clock_;
  const uint32_t custom_message_;
  nsVZVP::CColorSpaceConvertor converter_;

  // Under the lock.
  std::vector<IVideoDraw*> deferred_draws_;
  std::unique_ptr<IVideoWindowPort> window_;
  bool hooked_ = false;
  int32_t content_state_ = 0;  // 0 nothing, 1 a shared-surface image, 2 a held sample
  VideoFormat format_{};
  std::unique_ptr<uint8_t[]> conversion_;
  uint32_t conversion_size_ = 0;
  IVideoDraw* draw_ = nullptr;
  uint32_t draw_created_ms_ = 0;
  uint32_t effect_flags_ = 0;
  uint32_t background_ = 0;  // COLORREF
  int32_t current_type_ = kRenderTypeGpu;
  int32_t wanted_type_ = kRenderTypeGpu;
  int32_t last_drawn_type_ = 0;
  int32_t action_pending_ = 0;
  Rect client_rect_{};
};

// The video library's renderer maker: `owner_view` is the vz::Window of
// the view. VSE_E_FAIL when the view is missing or Init fails.
VseResult MakeWinVideoRenderer(void* owner_view, IVideoRenderer** out);
