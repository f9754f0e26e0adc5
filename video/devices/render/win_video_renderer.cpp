#include "video/devices/render/win_video_renderer.h"

#include <cinttypes>
#include <new>

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "video/devices/color/cpu_features.h"
#include "video/devices/render/planar_frame_draw.h"
#include "video/devices/render/view_window_port.h"
#include "video/engine/core/video_types.h"

namespace {

// Bytes of a YUV frame of the engine's video types, packed without padding.
int64_t PackedYuvBytes(int32_t video_type, int64_t w, int64_t h) {
  switch (video_type) {
    case kVideoTypeI420:
    case kVideoTypeYv12: return w * h + 2 * (w / 2) * (h / 2);
    case kVideoTypeYuy2: return 2 * w * h;
    default: return 0;
  }
}

}  // namespace

CWinVideoRenderer::CWinVideoRenderer(VideoDrawFactory factory, vz::Clock& clock)
    : factory_(std::move(factory)),
      clock_(clock),
      custom_message_(vz::RegisterWindowMessageName(kCustomMessageName)),
      converter_(nsVZVP::DetectCpuFeatures()) {}

CWinVideoRenderer::~CWinVideoRenderer() {
  Uninit();
  FreeConversionBuffer();
}

VseResult CWinVideoRenderer::QueryInterface(const VseGuid* iid, void** out) {
  if (out == nullptr) return VSE_E_POINTER;
  *out = nullptr;
  if (iid == nullptr) return VSE_E_NOINTERFACE;
  void* found = nullptr;
  if (*iid == IID_IVideoRenderer) {
    found = static_cast<IVideoRenderer*>(this);
  } else if (*iid == IID_IVideoDeliverer) {
    found = static_cast<IVideoDeliverer*>(this);
  } else if (*iid == IID_IVideoWindowEvents) {
    found = static_cast<IVideoWindowEvents*>(this);
  } else if (*iid == IID_IVideoImageSink) {
    found = static_cast<IVideoImageSink*>(this);
  } else {
    return CVideoRenderer::QueryInterface(iid, out);
  }
  AddRef();
  *out = found;
  return VSE_S_OK;
}

bool CWinVideoRenderer::Init(std::unique_ptr<IVideoWindowPort> window, int32_t render_type) {
  VZ_LOG("hOwnerView = %p, uRenderType [%d]", static_cast<void*>(window.get()), render_type);
  if (!window || !window->IsWindow()) return false;
  // The hook is set outside the renderer's lock: the window thread's
  // dispatch holds the hook's lock while it calls into this renderer.
  const std::thread::id thread = window->WindowThread();
  if (thread != std::this_thread::get_id()) {
    VZ_LOG_WARN("!IsWindowThread(), Init() expect be done using the same thread as the window!");
  }
  if (!vz::SetCentralizedHook(thread, vz::kHookGetMessage, this)) {
    VZ_LOG_ERROR("SetCentralizedHook failed!");
    return false;
  }
  CScopedLock guard(lock());
  hooked_ = true;
  window_ = std::move(window);
  wanted_type_ = current_type_ = render_type;
  InitDrawContext();
  client_rect_ = window_->ClientRect();
  window_->SetRedrawMessage(custom_message_, kRedrawMessage);
  return draw_ != nullptr;
}

void CWinVideoRenderer::Uninit() {
  IVideoWindowPort* window = nullptr;
  bool hooked = false;
  {
    CScopedLock guard(lock());
    window = window_.get();
    hooked = hooked_;
    hooked_ = false;
  }
  if (window == nullptr) return;
  VZ_LOG("m_hWnd = 0x%" PRIx64, window->WindowId());
  const bool on_window_thread = window->IsWindowThread();
  if (!on_window_thread) {
    VZ_LOG_ERROR("!IsWindowThread(), Uninit() must be done using the same thread as the window!");
  }
  // Out of the window thread's hook before anything is freed, from
  // whichever thread this runs on: the removal waits for a dispatch that
  // may be calling this renderer right now.
  if (hooked) vz::RemoveCentralizedHook(window->WindowThread(), vz::kHookGetMessage, this);

  CScopedLock guard(lock());
  std::vector<IVideoDraw*> window_thread_draws;
  window_thread_draws.swap(deferred_draws_);
  if (draw_ != nullptr) {
    if (draw_->NeedsWindowThread() && !on_window_thread) {
      window_thread_draws.push_back(draw_);
    } else {
      factory_.destroy(draw_);
    }
    draw_ = nullptr;
  }
  action_pending_ = 0;
  if (!window_thread_draws.empty()) {
    if (on_window_thread) {
      for (IVideoDraw* draw : window_thread_draws) factory_.destroy(draw);
    } else {
      // The hook no longer reaches this renderer, so the draws travel to
      // the window thread on their own task, with the window port they
      // draw into (it must outlive them).
      auto destroy = factory_.destroy;
      auto draws = window_thread_draws;
      std::shared_ptr<IVideoWindowPort> port(std::move(window_));
      if (!port->PostTask([destroy, draws, port] {
            for (IVideoDraw* draw : draws) destroy(draw);
          })) {
        VZ_LOG_ERROR("window thread gone; %zu draws destroyed here", window_thread_draws.size());
        for (IVideoDraw* draw : window_thread_draws) factory_.destroy(draw);
      }
    }
  }
  background_ = 0;
  content_state_ = 0;
  CVideoRenderer::ClearStream();
  last_drawn_type_ = 0;
  client_rect_ = {};
  // Otherwise the port stays until the destructor: nothing makes a draw
  // after this, and every use of it checks for it.
}

void CWinVideoRenderer::InitDrawContext() {
  VZ_LOG("current type %d", current_type_);
  if (draw_ != nullptr) return;
  draw_created_ms_ = NowMs();
  if (current_type_ == kRenderTypeGpu) {
    draw_ = CreateDraw(kRenderTypeGpu);
    if (draw_ == nullptr) current_type_ = kRenderTypeSoftware;
  }
  if (current_type_ == kRenderTypeSoftware) draw_ = CreateDraw(kRenderTypeSoftware);
  if (draw_ != nullptr) UpdateMiscInfo();
}

IVideoDraw* CWinVideoRenderer::CreateDraw(int32_t render_type) {
  // Nothing is made before Init or after Uninit.
  if (!hooked_ || window_ == nullptr) return nullptr;
  if (render_type == kRenderTypeSoftware) return factory_.create_software(window_.get(), this);
  if (render_type == kRenderTypeGpu) return factory_.create_first_choice(window_.get(), this);
  return nullptr;
}

bool CWinVideoRenderer::UpdateDrawContext(int32_t render_type) {
  VZ_LOG("uRenderType [%d]", render_type);
  // The same type with a draw in place needs nothing; with none (it could
  // not be made before) it is made again rather than reported as there.
  if (render_type == current_type_ && draw_ != nullptr) return true;
  if (window_ == nullptr) return false;
  ReleaseDraw();
  draw_created_ms_ = NowMs();
  draw_ = CreateDraw(render_type);
  current_type_ = render_type;
  if (draw_ != nullptr) UpdateMiscInfo();
  return draw_ != nullptr;
}

void CWinVideoRenderer::UpdateMiscInfo() {
  draw_->SetEffectFlags(effect_flags_);
  draw_->SetBackground(0, background_, nullptr);
}

void CWinVideoRenderer::CheckRenderTypeSwitch() {
  if (current_type_ == wanted_type_ || window_ == nullptr) return;
  if (NowMs() - draw_created_ms_ <= kRetryFirstChoiceMs - 1) return;
  draw_created_ms_ = NowMs();
  IVideoDraw* draw = CreateDraw(wanted_type_);
  VZ_LOG("retrying render type %d: %s", wanted_type_, draw ? "made" : "failed");
  if (draw == nullptr) return;
  ReleaseDraw();
  draw_ = draw;
  current_type_ = wanted_type_;
  UpdateMiscInfo();
}

void CWinVideoRenderer::ReleaseDraw() {
  if (draw_ != nullptr) {
    if (draw_->NeedsWindowThread() && !IsWindowThread() && window_ != nullptr) {
      deferred_draws_.push_back(draw_);
      window_->PostMessage(custom_message_, 1, 0);
    } else {
      factory_.destroy(draw_);
    }
  }
  draw_ = nullptr;
  action_pending_ = 0;
}

void CWinVideoRenderer::DestroyDeferredDraws() {
  for (IVideoDraw* draw : deferred_draws_) factory_.destroy(draw);
  deferred_draws_.clear();
}

VseResult CWinVideoRenderer::DrawBackgroundOnly(const Rect& target) {
  if (draw_ != nullptr && draw_->DrawBkgnd(target)) return VSE_S_OK;
  // One fallback per call: a software draw that fails too must not spin
  // here under the lock.
  if (UpdateDrawContext(kRenderTypeSoftware) && draw_ != nullptr) draw_->DrawBkgnd(target);
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::RenderFrame(bool repaint) {
  CScopedLock guard(lock());
  CheckRenderTypeSwitch();
  if (draw_ == nullptr) return VSE_E_FAIL;
  const Rect target = client_rect_;
  if (content_state_ == 0) return DrawBackgroundOnly(target);
  const Rect source{0, 0, format_.width, format_.height};
  bool fell_back = false;
  for (;;) {
    if (repaint) {
      const int32_t result = draw_->Draw(nullptr, 0, nullptr, source, target);
      if (result == 1) return VSE_S_OK;
      if (content_state_ == 1) return DrawBackgroundOnly(target);
      repaint = false;
      if (result != -3) goto fall_back;
    }
    {
      const int32_t planar = DrawPlanarFrame(target);
      if (planar == 1) {
        last_drawn_type_ = format_.video_type;
        return VSE_S_OK;
      }
      if (planar == -1) goto fall_back;
      bool converted = false;
      for (;;) {
        BitmapHeader header;
        header.width = format_.width;
        header.height = format_.height;
        switch (format_.video_type) {
          case kVideoTypeI420: header.compression = MakeFourCC('I', '4', '2', '0'), header.bit_count = 12; break;
          case kVideoTypeYuy2: header.compression = MakeFourCC('Y', 'U', 'Y', '2'), header.bit_count = 16; break;
          case kVideoTypeYv12: header.compression = MakeFourCC('Y', 'V', '1', '2'), header.bit_count = 12; break;
          case kVideoTypeBgr24: header.bit_count = 24, header.height = -format_.height; break;
          case kVideoTypeBgr24BottomUp: header.bit_count = 24; break;
          default:
            VZ_LOG_ERROR("video type %d cannot be drawn", format_.video_type);
            return VSE_E_FAIL;
        }
        const uint8_t* pixels = nullptr;
        int32_t length = 0;
        if (IVideoSample* sample = held_sample()) {
          void* p = nullptr;
          sample->GetPointer(&p);
          sample->GetActualDataLength(&length);
          pixels = static_cast<const uint8_t*>(p);
        } else if (conversion_) {
          pixels = conversion_.get();
          length = static_cast<int32_t>(conversion_size_);
        }
        const uint32_t needed = BitmapImageBytes(header);
        if (pixels == nullptr || needed == 0 || length < 0 || static_cast<uint32_t>(length) < needed) {
          // A frame shorter than its header says is never handed to a draw.
          VZ_LOG_ERROR("frame refused: %d bytes for %dx%d type %d (needs %u)", length, format_.width,
                       format_.height, format_.video_type, needed);
          return VSE_E_FAIL;
        }
        header.size_image = needed;
        const int32_t result = draw_->Draw(pixels, static_cast<uint32_t>(length), &header, source, target);
        if (result == 1) {
          last_drawn_type_ = format_.video_type;
          return VSE_S_OK;
        }
        if (result == -2 && !converted) {
          const VseResult converted_result = ConvertToRGB24();
          if (converted_result != VSE_S_OK) return converted_result;
          converted = true;
          continue;
        }
        break;
      }
    }
  fall_back:
    if (fell_back) return VSE_E_FAIL;
    fell_back = true;
    if (!UpdateDrawContext(kRenderTypeSoftware) || draw_ == nullptr) return VSE_E_FAIL;
  }
}

int32_t CWinVideoRenderer::DrawPlanarFrame(const Rect& target) {
  if (format_.video_type != kVideoTypeI420 && format_.video_type != kVideoTypeYv12) return 0;
  auto* draw = dynamic_cast<IPlanarFrameDraw*>(draw_);
  IVideoSample* sample = held_sample();
  if (draw == nullptr || sample == nullptr) return 0;
  void* p = nullptr;
  int32_t length = 0;
  sample->GetPointer(&p);
  sample->GetActualDataLength(&length);
  const int32_t w = format_.width, h = format_.height;
  // Anything short or odd goes the converting way, which refuses it with
  // its own log line.
  if (p == nullptr || w <= 0 || h <= 0 || length < PackedYuvBytes(format_.video_type, w, h)) return 0;
  PlanarFrame frame;
  frame.owner = sample;
  frame.y = static_cast<const uint8_t*>(p);
  const uint8_t* first = frame.y + static_cast<int64_t>(w) * h;
  const uint8_t* second = first + static_cast<int64_t>(w / 2) * (h / 2);
  frame.u = format_.video_type == kVideoTypeYv12 ? second : first;  // YV12 stores V first
  frame.v = format_.video_type == kVideoTypeYv12 ? first : second;
  frame.stride_y = w;
  frame.stride_uv = w / 2;
  frame.width = w;
  frame.height = h;
  const int32_t result = draw->DrawPlanar(frame, target);
  return result == -2 ? 0 : result;
}

VseResult CWinVideoRenderer::ConvertToRGB24() {
  IVideoSample* sample = held_sample();
  if (sample == nullptr) return VSE_E_FAIL;
  const int32_t w = format_.width, h = format_.height;
  void* p = nullptr;
  int32_t length = 0;
  sample->GetPointer(&p);
  sample->GetActualDataLength(&length);
  const int64_t needed = PackedYuvBytes(format_.video_type, w, h);
  // The picture's size sets the buffer's: bounded like every frame of the
  // engine, and backed by the sample's own length.
  if (w <= 0 || h <= 0 || w > CVideoFormatConverter::kMaxSide || h > CVideoFormatConverter::kMaxSide ||
      needed == 0 || p == nullptr || length < needed) {
    VZ_LOG_ERROR("cannot convert type %d %dx%d from %d bytes", format_.video_type, w, h, length);
    return VSE_E_FAIL;
  }
  const int32_t stride = BitmapRgbStride(w, 24);
  const uint32_t size = static_cast<uint32_t>(static_cast<int64_t>(stride) * h);
  if (conversion_size_ != size) {
    FreeConversionBuffer();
    conversion_.reset(new (std::nothrow) uint8_t[size]);
    if (!conversion_) return VSE_E_OUTOFMEMORY;
    conversion_size_ = size;
  }
  uint8_t* src = static_cast<uint8_t*>(p);
  nsVZVP::ImageDesc in{};
  in.width = w;
  in.height = h;
  std::unique_ptr<uint8_t[]> planar;
  if (format_.video_type == kVideoTypeYuy2) {
    // No kernel goes from packed 4:2:2 to RGB: through planar 4:2:0.
    nsVZVP::ImageDesc yuy2{};
    yuy2.plane[0] = yuy2.plane[1] = yuy2.plane[2] = src;
    yuy2.stride[0] = yuy2.stride[1] = yuy2.stride[2] = 2 * w;
    yuy2.width = w;
    yuy2.height = h;
    yuy2.format = nsVZVP::CSP_YUY2;
    planar.reset(new (std::nothrow) uint8_t[static_cast<size_t>(PackedYuvBytes(kVideoTypeI420, w, h))]);
    if (!planar) return VSE_E_OUTOFMEMORY;
    in.plane[0] = planar.get();
    in.plane[1] = in.plane[0] + static_cast<int64_t>(w) * h;
    in.plane[2] = in.plane[1] + static_cast<int64_t>(w / 2) * (h / 2);
    in.stride[0] = w;
    in.stride[1] = in.stride[2] = w / 2;
    in.format = nsVZVP::CSP_I420;
    if (converter_.Convert(1, &yuy2, &in) != nsVZVP::kConvertOk) {
      VZ_LOG_ERROR("YUY2 %dx%d to planar failed", w, h);
      return VSE_E_FAIL;
    }
  } else {
    in.plane[0] = src;
    in.plane[1] = src + static_cast<int64_t>(w) * h;
    in.plane[2] = in.plane[1] + static_cast<int64_t>(w / 2) * (h / 2);
    in.stride[0] = w;
    in.stride[1] = in.stride[2] = w / 2;
    in.format = format_.video_type == kVideoTypeYv12 ? nsVZVP::CSP_YV12 : nsVZVP::CSP_I420;
  }
  nsVZVP::ImageDesc out{};
  out.plane[0] = out.plane[1] = out.plane[2] = conversion_.get();
  out.stride[0] = out.stride[1] = out.stride[2] = stride;
  out.width = w;
  out.height = h;
  out.format = nsVZVP::CSP_BGR24 | nsVZVP::CSP_BOTTOM_UP;
  if (converter_.Convert(1, &in, &out) != nsVZVP::kConvertOk) {
    VZ_LOG_ERROR("type %d %dx%d to 24-bit BGR failed", format_.video_type, w, h);
    return VSE_E_FAIL;
  }
  format_.video_type = kVideoTypeBgr24BottomUp;
  CVideoRenderer::ClearStream();  // the held sample goes; the buffer is the picture now
  return VSE_S_OK;
}

void CWinVideoRenderer::FreeConversionBuffer() {
  conversion_.reset();
  conversion_size_ = 0;
}

VseResult CWinVideoRenderer::SetBKColor(uint32_t colour) {
  CScopedLock guard(lock());
  background_ = colour;
  if (draw_ != nullptr) draw_->SetBackground(0, colour, nullptr);
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::ClearStream() {
  CScopedLock guard(lock());
  CVideoRenderer::ClearStream();
  content_state_ = 0;
  FreeConversionBuffer();
  format_ = {};
  last_drawn_type_ = 0;
  if (draw_ != nullptr) draw_->DiscardStream();
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::SetMirror(bool mirror) {
  {
    // Kept in the stored flags under the lock, so a draw made later (the
    // fallback, the retry, a display change) mirrors as well.
    CScopedLock guard(lock());
    if (mirror) {
      effect_flags_ |= kEffectMirror;
    } else {
      effect_flags_ &= ~kEffectMirror;
    }
    if (draw_ != nullptr) draw_->SetEffectFlags(effect_flags_);
  }
  return Redraw();
}

VseResult CWinVideoRenderer::Redraw() { return RenderFrame(true); }

VseResult CWinVideoRenderer::DrawHeldSample() {
  CScopedLock guard(lock());
  IVideoSample* sample = held_sample();
  if (sample == nullptr) return 1;
  content_state_ = 2;
  VideoFormat format{};
  if (sample->GetFormat(&format) != VSE_S_OK) return 1;
  format_ = format;
  return RenderFrame(false);
}

int32_t CWinVideoRenderer::OnDisplayChange() {
  CScopedLock guard(lock());
  if (!IsWindowThread()) VZ_LOG_ERROR("Expect be done using the same thread as the window!");
  if (window_ == nullptr) return VSE_E_FAIL;
  ReleaseDraw();
  InitDrawContext();
  return 0;
}

int32_t CWinVideoRenderer::OnWindowPositionChange() {
  {
    CScopedLock guard(lock());
    if (!IsWindowThread()) VZ_LOG_ERROR("Expect be done using the same thread as the window!");
    if (window_ == nullptr) return VSE_E_FAIL;
    window_->UpdateGeometry();
    client_rect_ = window_->ClientRect();
    if (draw_ != nullptr && !draw_->UpdateDrawTargetRectangle(client_rect_)) {
      if (UpdateDrawContext(kRenderTypeSoftware) && draw_ != nullptr) draw_->UpdateDrawTargetRectangle(client_rect_);
    }
  }
  Redraw();
  return 0;
}

VseResult CWinVideoRenderer::GetStatus(int32_t* flags) {
  if (flags == nullptr) return VSE_E_INVALIDARG;
  CScopedLock guard(lock());
  if (draw_ == nullptr) return VSE_E_FAIL;
  *flags = draw_->GetVAType() == 1 ? 1 : 0;
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::VADeliverImage(const VAImageContent* image) {
  VZ_LOG("image %p", static_cast<const void*>(image));
  if (image == nullptr) return VSE_E_INVALIDARG;
  CScopedLock guard(lock());
  if (draw_ == nullptr) return VSE_E_FAIL;
  if (image->vatype == 0) {
    VZ_LOG_ERROR("VA_Unsupported");
    return VSE_E_FAIL;
  }
  if (image->vatype != 1) {
    VZ_LOG_ERROR("Invalid argument. type unknown! pContent->vatype = %d", image->vatype);
    return VSE_E_INVALIDARG;
  }
  const int32_t va_type = draw_->GetVAType();
  if (va_type != 1) {
    VZ_LOG_ERROR("Type unmatch! pContent->vatype = %d, vatype = %d", image->vatype, va_type);
    return VSE_E_FAIL;
  }
  const VAImageInfo* info = image->info;
  if (info == nullptr) return VSE_E_INVALIDARG;
  const Rect surface{0, 0, static_cast<int32_t>(info->width), static_cast<int32_t>(info->height)};
  const Rect picture = Rect{info->left, info->top, info->right, info->bottom}.Intersect(surface);
  if (picture.IsEmpty()) {
    VZ_LOG_ERROR(
        "Invalid argument! pinfo : uiWidthSH = %u, uiHeightSH = %u, lImageLeft = %d, lImageTop = %d, "
        "lImageRight = %d, lImageBottom = %d",
        info->width, info->height, info->left, info->top, info->right, info->bottom);
    return VSE_E_INVALIDARG;
  }
  if (info->format == 0) {
    VZ_LOG_ERROR("Invalid argument! pinfo->formatSH = D3DFMT_UNKNOWN");
    return VSE_E_INVALIDARG;
  }
  content_state_ = 1;
  format_ = {};
  format_.width = picture.Width();
  format_.height = picture.Height();
  last_drawn_type_ = 0;
  CVideoRenderer::ClearStream();
  FreeConversionBuffer();
  const VASurfaceDesc desc{info->shared_handle, info->width, info->height, info->format, info->pool};
  if (!draw_->VADraw(1, &desc, picture, client_rect_)) {
    VZ_LOG_ERROR("m_pDraw->VADraw failed!");
    return VSE_E_FAIL;
  }
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::SetEffect(int32_t type, int32_t value) {
  CScopedLock guard(lock());
  if (type == 1) {
    effect_flags_ = value ? (effect_flags_ | kEffectFlip) : (effect_flags_ & ~kEffectFlip);
  } else if (type == 2) {
    effect_flags_ = value ? (effect_flags_ | kEffectMirror) : (effect_flags_ & ~kEffectMirror);
  } else {
    VZ_LOG_ERROR("Invalid argument. type = %d", type);
    return VSE_E_INVALIDARG;
  }
  if (draw_ != nullptr) draw_->SetEffectFlags(effect_flags_);
  return VSE_S_OK;
}

VseResult CWinVideoRenderer::ClearEffect() {
  CScopedLock guard(lock());
  effect_flags_ = 0;
  if (draw_ != nullptr) draw_->SetEffectFlags(0);
  return VSE_S_OK;
}

intptr_t CWinVideoRenderer::OnHookMessage(int32_t code, uintptr_t removal, const vz::HookMessage* message,
                                          int32_t* handled) {
  if (code != 0 || message == nullptr || message->message != custom_message_) return 0;
  CScopedLock guard(lock());
  if (window_ == nullptr || message->window != window_->WindowId()) return 0;
  if (removal == 1) {
    if (message->wparam == 1) {
      DestroyDeferredDraws();
    } else if (message->wparam == 0 && action_pending_ == 1) {
      action_pending_ = 0;
      if (draw_ != nullptr) draw_->WindowThreadAction();
    } else if (message->wparam == kRedrawMessage) {
      RenderFrame(true);
    }
  }
  if (handled) *handled = 1;
  return 0;
}

void CWinVideoRenderer::RequestWindowThreadAction() {
  CScopedLock guard(lock());
  action_pending_ = 1;
  if (window_ != nullptr) window_->PostMessage(custom_message_, 0, 0);
}

int32_t CWinVideoRenderer::current_render_type() {
  CScopedLock guard(lock());
  return current_type_;
}
int32_t CWinVideoRenderer::content_state_for_testing() {
  CScopedLock guard(lock());
  return content_state_;
}
uint32_t CWinVideoRenderer::effect_flags_for_testing() {
  CScopedLock guard(lock());
  return effect_flags_;
}
int32_t CWinVideoRenderer::video_type() {
  CScopedLock guard(lock());
  return format_.video_type;
}
size_t CWinVideoRenderer::deferred_draw_count_for_testing() {
  CScopedLock guard(lock());
  return deferred_draws_.size();
}

VseResult MakeWinVideoRenderer(void* owner_view, IVideoRenderer** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  if (owner_view == nullptr) {
    VZ_LOG_ERROR("no owner view");
    return VSE_E_FAIL;
  }
  auto* renderer = new (std::nothrow) CWinVideoRenderer();
  if (renderer == nullptr) return VSE_E_OUTOFMEMORY;
  renderer->AddRef();
  if (!renderer->Init(std::make_unique<ViewWindowPort>(static_cast<vz::Window*>(owner_view)),
                      CWinVideoRenderer::kRenderTypeGpu)) {
    VZ_LOG_ERROR("renderer Init failed");
    renderer->Release();
    return VSE_E_FAIL;
  }
  *out = renderer;
  return VSE_S_OK;
}
