#include "video/devices/render/direct3d9ex_draw.h"

#include <algorithm>

#include "common/trace_client.h"
#include "video/devices/render/draw_geometry.h"
#include "video/devices/render/fourcc_families.h"
#include "video/devices/render/video_window_port.h"

CDirect3D9ExDraw::CDirect3D9ExDraw(PortMaker make_port) : make_port_(std::move(make_port)) {}

CDirect3D9ExDraw::~CDirect3D9ExDraw() { UnInit(); }

int32_t CDirect3D9ExDraw::Init(IVideoWindowPort* window, IDrawHost* host) {
  host_ = host;
  window_ = window;
  if (make_port_) port_ = make_port_(window);
  if (!port_) return 0;
  m_stateCode = StateCode_Uncreated;
  const Rect client = window ? window->ClientRect() : Rect{};
  target_ = client.IsEmpty() ? Rect{0, 0, 1, 1} : client;
  device_monitor_ = window ? window->Monitor() : -1;
  return 1;
}

void CDirect3D9ExDraw::UnInit() {
  if (port_) port_->ReleaseDevice();
  port_.reset();
  supported_.clear();
  m_stateCode = StateCode_Failed;
  device_monitor_ = -1;
  window_ = nullptr;
  target_ = Rect{0, 0, 1, 1};
}

void CDirect3D9ExDraw::EnumSupportedFormats() {
  supported_.clear();
  for (uint32_t fourcc : {kFourCC_I420, kFourCC_YV12, kFourCC_YUY2, kFourCC_UYVY}) {
    if (!port_->TakesFourCC(fourcc)) continue;
    int32_t count = 0;
    const uint32_t* family = GetCompatibleFourCC(fourcc, &count);
    for (int32_t i = 0; i < count; ++i) {
      if (port_->TakesFourCC(family[i]) &&
          std::find(supported_.begin(), supported_.end(), family[i]) == supported_.end()) {
        supported_.push_back(family[i]);
      }
    }
  }
}

int32_t CDirect3D9ExDraw::IsFourCCSupported(uint32_t fourcc) {
  if (fourcc == kFourCCRgb) return 1;
  if (GetCompatibleFourCC(fourcc, nullptr) == nullptr || !port_) return 0;
  if (supported_.empty()) EnumSupportedFormats();
  // The frame is uploaded as it comes, so the device must take its own
  // FourCC (a compatible surface format alone would need a repack).
  return std::find(supported_.begin(), supported_.end(), fourcc) != supported_.end() ? 1 : 0;
}

int32_t CDirect3D9ExDraw::CheckAndRecoverD3D9ExObjects(int32_t monitor, int32_t width, int32_t height) {
  bool needed = false;
  if (!port_->HasDevice()) {
    m_stateCode = StateCode_Uncreated;
    VZ_LOG("no GPU device yet.");
    needed = true;
  } else if (monitor >= 0 && monitor != device_monitor_) {
    VZ_LOG("monitor change! %d -> %d", device_monitor_, monitor);
    m_stateCode = StateCode_NeedRecreate;
    needed = true;
  } else if (width != device_width_ || height != device_height_) {
    VZ_LOG("window size change! (%d, %d)->(%d, %d)", device_width_, device_height_, width, height);
    m_stateCode = StateCode_NeedReset;
    needed = true;
  } else if (check_device_next_) {
    check_device_next_ = false;
    const int32_t checked = port_->CheckDevice();
    if (checked == 2) {
      VZ_LOG_WARN("GPU device removed!");
      m_stateCode = StateCode_Failed;
      return 2;
    }
    if (checked == 1) {
      VZ_LOG_WARN("GPU device lost");
      m_stateCode = StateCode_NeedRecreate;
      needed = true;
    }
  }
  if (!needed) return 0;
  if (window_ != nullptr && window_->IsWindowThread()) {
    PrepareD3D9ExObjects(monitor, width, height);
    return m_stateCode == StateCode_Ready ? 0 : 2;
  }
  if (host_ != nullptr) host_->RequestWindowThreadAction();
  return 1;
}

void CDirect3D9ExDraw::PrepareD3D9ExObjects(int32_t monitor, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) {
    VZ_LOG_ERROR("Width and Height invalid! Width = %d, Height = %d", width, height);
    return;
  }
  int32_t result = 0;
  switch (m_stateCode) {
    case StateCode_Uncreated:
      VZ_LOG("m_stateCode = StateCode_Uncreated");
      result = port_->CreateDevice(width, height);
      if (result < 0) VZ_LOG_ERROR("CreateDevice failed! errorcode = %d", result);
      break;
    case StateCode_NeedRecreate:
      VZ_LOG("m_stateCode = StateCode_NeedRecreate");
      port_->ReleaseDevice();
      result = port_->CreateDevice(width, height);
      if (result < 0) VZ_LOG_ERROR("CreateDevice failed! errorcode = %d", result);
      break;
    case StateCode_NeedReset:
      VZ_LOG("m_stateCode = StateCode_NeedReset");
      result = port_->Reset(width, height);
      if (result < 0) VZ_LOG_ERROR("Reset failed! errorcode = %d", result);
      break;
    default:
      return;  // ready or failed: nothing to do
  }
  if (result < 0) {
    m_stateCode = StateCode_Failed;
    return;
  }
  m_stateCode = StateCode_Ready;
  device_monitor_ = monitor;
  device_width_ = width;
  device_height_ = height;
  EnumSupportedFormats();
}

int32_t CDirect3D9ExDraw::EntryChecks(const Rect& target) {
  if (m_stateCode == StateCode_Failed || !port_) return 2;
  if (target.IsEmpty()) return 1;
  target_ = target;
  const int32_t monitor = window_ ? window_->Monitor() : -1;
  return CheckAndRecoverD3D9ExObjects(monitor, target.Width(), target.Height());
}

bool CDirect3D9ExDraw::AfterPresent(int32_t result) {
  if (result == 0) return true;
  if (result == 1) {
    VZ_LOG_WARN("GPU device lost while presenting");
    m_stateCode = StateCode_NeedRecreate;
    check_device_next_ = true;
    return true;  // the next frame remakes the device
  }
  VZ_LOG_ERROR("present failed; the GPU draw gives up");
  m_stateCode = StateCode_Failed;
  return false;
}

int32_t CDirect3D9ExDraw::Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
                               const Rect& target) {
  const bool with_frame = pixels != nullptr && header != nullptr;
  if (m_stateCode == StateCode_Failed || !port_) return -1;
  if (with_frame && !IsFourCCSupported(header->compression)) return -2;
  const int32_t entry = EntryChecks(target);
  if (entry == 1) return 1;
  if (entry == 2) return -1;
  if (with_frame) {
    const uint32_t needed = BitmapImageBytes(*header);
    const int32_t height = header->height < 0 ? -header->height : header->height;
    if (needed == 0 || size < needed || source.Intersect(Rect{0, 0, header->width, height}) != source ||
        source.IsEmpty()) {
      VZ_LOG_ERROR("frame of %u bytes for %dx%d (needs %u) or its source rectangle refused", size, header->width,
                   header->height, needed);
      return -1;
    }
    if (!port_->Upload(pixels, *header)) {
      VZ_LOG_ERROR("upload of the frame failed");
      return header->compression != kFourCCRgb ? -2 : -1;
    }
    frame_source_ = source;
  } else if (!port_->HasFrame()) {
    VZ_LOG("raw surface is not created!");
    return -3;
  }
  Rect picture;
  FitRect(&picture, with_frame ? source : frame_source_, Rect{0, 0, target.Width(), target.Height()}, aspect_mode());
  const int32_t result = port_->Present(target.Width(), target.Height(), with_frame ? source : frame_source_,
                                        picture, background_colour(), effect_flags(), true);
  return AfterPresent(result) ? 1 : -1;
}

int32_t CDirect3D9ExDraw::DrawBkgnd(const Rect& target) {
  const int32_t entry = EntryChecks(target);
  if (entry == 1) return 1;
  if (entry == 2) return 0;
  const int32_t result = port_->Present(target.Width(), target.Height(), Rect{}, Rect{}, background_colour(),
                                        effect_flags(), false);
  return AfterPresent(result) ? 1 : 0;
}

void CDirect3D9ExDraw::DiscardStream() {
  if (port_) port_->DiscardFrame();
  frame_source_ = {};
}

int32_t CDirect3D9ExDraw::UpdateDrawTargetRectangle(const Rect& target) {
  if (window_ != nullptr && !window_->IsWindowThread()) {
    VZ_LOG_WARN("!IsWindowThread(),UpdateDrawTargetRectangle() expect be done using the same thread as the window!");
  }
  return EntryChecks(target) == 2 ? 0 : 1;
}

void CDirect3D9ExDraw::WindowThreadAction() {
  if (!port_) return;
  const int32_t monitor = window_ ? window_->Monitor() : -1;
  PrepareD3D9ExObjects(monitor, target_.Width(), target_.Height());
}
