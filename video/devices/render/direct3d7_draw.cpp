#include "video/devices/render/direct3d7_draw.h"

#include "common/trace_client.h"
#include "video/devices/render/draw_geometry.h"
#include "video/devices/render/pixel_copy.h"
#include "video/devices/render/video_window_port.h"

CDirect3D7Draw::~CDirect3D7Draw() { UnInit(); }

int32_t CDirect3D7Draw::Init(IVideoWindowPort* window, IDrawHost*) {
  if (window == nullptr || window->NativeWindow() == 0) return 0;
  presenter_ = vz::X11RenderPresenter::Open(window->DisplayName(), window->NativeWindow());
  return presenter_ ? 1 : 0;
}

void CDirect3D7Draw::UnInit() {
  presenter_.reset();
  uploaded_ = false;
}

int32_t CDirect3D7Draw::Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
                             const Rect& target) {
  if (!presenter_) return -1;
  if (target.IsEmpty()) return 1;
  if (pixels == nullptr || header == nullptr) {
    if (!uploaded_) {
      VZ_LOG("current image data is expired.");
      return -3;
    }
    return Compose(target, true);
  }
  if (header->compression != kFourCCRgb || header->bit_count != 24) return -2;
  const uint32_t needed = BitmapImageBytes(*header);
  const int32_t height = header->height < 0 ? -header->height : header->height;
  if (needed == 0 || size < needed || source.IsEmpty() ||
      source.Intersect(Rect{0, 0, header->width, height}) != source) {
    VZ_LOG_ERROR("frame of %u bytes for %dx%d (needs %u) or its source rectangle refused", size, header->width,
                 header->height, needed);
    return -1;
  }
  uint32_t* picture = presenter_->PictureBuffer(source.Width(), source.Height());
  if (picture == nullptr) return -1;
  const int32_t stride = BitmapRgbStride(header->width, 24);
  const int64_t first_row = header->height < 0 ? source.top : height - 1 - source.top;
  const uint8_t* first = pixels + first_row * stride + static_cast<int64_t>(source.left) * 3;
  BltBGR(first, header->height < 0 ? stride : -stride, reinterpret_cast<uint8_t*>(picture), source.Width() * 4,
         kBltBgrTo32, source.Width(), source.Height());
  if (!presenter_->Upload()) {
    VZ_LOG_ERROR("upload of the picture failed");
    return -1;
  }
  uploaded_ = true;
  source_ = source;
  return Compose(target, true);
}

int32_t CDirect3D7Draw::DrawBkgnd(const Rect& target) {
  if (!presenter_) return 0;
  if (target.IsEmpty()) return 1;
  return Compose(target, false) == 1 ? 1 : 0;
}

int32_t CDirect3D7Draw::Compose(const Rect& target, bool with_picture) {
  Rect placed;
  FitRect(&placed, Rect{0, 0, source_.Width(), source_.Height()}, target, aspect_mode());
  const uint32_t colorref = background_colour();
  const uint32_t rgb = ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
  if (!presenter_->Compose(target, placed, rgb, effect_flags(), with_picture && uploaded_)) {
    VZ_LOG_ERROR("composing into the window failed");
    return -1;
  }
  return 1;
}
