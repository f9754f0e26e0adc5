#include "video/devices/render/video_renderer_base.h"

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "video/devices/color/color_space.h"
#include "video/engine/core/video_types.h"

int32_t VideoTypeOfRenderFormat(int32_t render_format) {
  switch (render_format) {
    case nsVZVP::CSP_RGB24: return kVideoTypeRgb24;
    case nsVZVP::CSP_RGBA32: return kVideoTypeRgba32;
    case nsVZVP::CSP_BGR24: return kVideoTypeBgr24;
    case nsVZVP::CSP_ARGB32: return kVideoTypeArgb32;
    default: return kVideoTypeOther;
  }
}

CVideoRenderer::~CVideoRenderer() {
  if (held_) held_->Release();
  if (allocator_) allocator_->Release();
}

void CVideoRenderer::Hold(IVideoSample* sample) {
  if (sample) sample->AddRef();
  IVideoSample* old = held_;
  held_ = sample;
  if (old) old->Release();
}

VseResult CVideoRenderer::DeliverSample(IVideoSample* sample) {
  if (sample == nullptr) return VSE_E_INVALIDARG;
  CScopedLock guard(lock_);
  VideoFormat format{};
  if (sample->GetFormat(&format) != VSE_S_OK) return VSE_E_INVALIDARG;
  Hold(sample);
  if (IsFormatDirect(&format)) {
    DrawHeldSample();
    return VSE_S_OK;
  }
  if (ConvertAndDraw(sample, &format) != VSE_S_OK) return VSE_E_INVALIDARG;
  DrawHeldSample();
  return VSE_S_OK;
}

VseResult CVideoRenderer::ConvertAndDraw(IVideoSample* sample, VideoFormat* out) {
  CScopedLock guard(lock_);
  const int32_t render_format = GetRenderFormat();
  IVideoSample* converted = converter_.ConvertRenderImage(static_cast<uint32_t>(render_format), sample, allocator_);
  if (converted == nullptr) {
    VZ_LOG_OBJ("conversion to render format %d failed", render_format);
    return VSE_E_INVALIDARG;
  }
  VideoFormat format{};
  sample->GetFormat(&format);
  format.video_type = VideoTypeOfRenderFormat(render_format);
  converted->SetFormat(&format);
  IVideoSample* old = held_;
  held_ = converted;  // the allocator's reference becomes ours
  if (old) old->Release();
  if (out) *out = format;
  return VSE_S_OK;
}

VseResult CVideoRenderer::ClearStream() {
  CScopedLock guard(lock_);
  Hold(nullptr);
  return VSE_S_OK;
}

VseResult CVideoRenderer::SetSampleAllocator(IVideoSampleAllocator* allocator) {
  CScopedLock guard(lock_);
  if (allocator) allocator->AddRef();
  if (allocator_) allocator_->Release();
  allocator_ = allocator;
  return VSE_S_OK;
}

int32_t CVideoRenderer::GetVideoWidth() {
  CScopedLock guard(lock_);
  VideoFormat f{};
  return (held_ && held_->GetFormat(&f) == VSE_S_OK) ? f.width : 0;
}

int32_t CVideoRenderer::GetVideoHeight() {
  CScopedLock guard(lock_);
  VideoFormat f{};
  return (held_ && held_->GetFormat(&f) == VSE_S_OK) ? f.height : 0;
}
