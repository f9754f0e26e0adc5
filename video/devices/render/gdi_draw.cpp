#include "video/devices/render/gdi_draw.h"

#include <algorithm>
#include <cstring>

#include "common/trace_client.h"
#include "video/devices/render/draw_geometry.h"

namespace {

uint32_t PixelOfColorRef(uint32_t colorref) {
  const uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

CGDIDraw::CGDIDraw(OutputMaker make_output) : make_output_(std::move(make_output)) {}

CGDIDraw::~CGDIDraw() { UnInit(); }

int32_t CGDIDraw::Init(IVideoWindowPort* window, IDrawHost*) {
  window_ = window;
  return 1;
}

void CGDIDraw::UnInit() {
  DiscardStream();
  output_.reset();
  output_tried_ = false;
  window_ = nullptr;
}

void CGDIDraw::DiscardStream() {
  image_.clear();
  image_.shrink_to_fit();
  image_width_ = image_height_ = 0;
}

int32_t CGDIDraw::Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
                       const Rect& target) {
  if (target.IsEmpty()) return 1;
  if (pixels == nullptr || header == nullptr) {
    if (image_.empty()) return -3;
    return Compose(target, true);
  }
  if (header->compression != kFourCCRgb) return -2;
  if (header->bit_count != 24 && header->bit_count != 32) return -2;
  const uint32_t needed = BitmapImageBytes(*header);
  if (needed == 0 || size < needed) {
    VZ_LOG_ERROR("frame of %u bytes for %dx%d needs %u", size, header->width, header->height, needed);
    return -1;
  }
  const int32_t height = header->height < 0 ? -header->height : header->height;
  const Rect bitmap{0, 0, header->width, height};
  if (source.IsEmpty() || source.Intersect(bitmap) != source) {
    VZ_LOG_ERROR("source %d,%d-%d,%d outside the %dx%d frame", source.left, source.top, source.right, source.bottom,
                 header->width, height);
    return -1;
  }
  const int32_t stride = BitmapRgbStride(header->width, header->bit_count);
  const int32_t bytes_per_pixel = header->bit_count / 8;
  image_width_ = source.Width();
  image_height_ = source.Height();
  image_.resize(static_cast<size_t>(image_width_) * 3 * image_height_);
  // The first picture row: the top row of the source rectangle, which a
  // bottom-up frame stores last-first.
  const int64_t first_row = header->height < 0 ? source.top : height - 1 - source.top;
  const int32_t step = header->height < 0 ? stride : -stride;
  const uint8_t* first = pixels + first_row * stride + static_cast<int64_t>(source.left) * bytes_per_pixel;
  const int32_t row_bytes = image_width_ * 3;
  for (int32_t r = 0; r < image_height_; ++r) {
    const uint8_t* s = first + static_cast<int64_t>(r) * step;
    uint8_t* d = image_.data() + static_cast<size_t>(r) * row_bytes;
    if (bytes_per_pixel == 3) {
      std::memcpy(d, s, static_cast<size_t>(row_bytes));
    } else {
      for (int32_t x = 0; x < image_width_; ++x) {
        d[3 * x] = s[4 * x], d[3 * x + 1] = s[4 * x + 1], d[3 * x + 2] = s[4 * x + 2];
      }
    }
  }
  ClearPictureStale();
  return Compose(target, true);
}

int32_t CGDIDraw::DrawBkgnd(const Rect& target) {
  if (target.IsEmpty()) return 1;
  return Compose(target, false) == 1 ? 1 : 0;
}

int32_t CGDIDraw::Compose(const Rect& target, bool with_image) {
  if (!output_tried_) {
    output_tried_ = true;
    if (make_output_) output_ = make_output_(window_);
  }
  if (!output_) return 1;  // nothing to show it on: as a window without a device context
  const int32_t tw = target.Width(), th = target.Height();
  uint32_t* out = output_->Buffer(tw, th);
  if (out == nullptr) return -1;
  const uint32_t background = PixelOfColorRef(background_colour());
  Rect picture{0, 0, tw, th};
  if (with_image && !image_.empty()) FitRect(&picture, Rect{0, 0, image_width_, image_height_}, Rect{0, 0, tw, th},
                                             aspect_mode());
  else picture = Rect{};
  for (int32_t y = 0; y < th; ++y) {
    uint32_t* row = out + static_cast<size_t>(y) * tw;
    if (y < picture.top || y >= picture.bottom) {
      std::fill(row, row + tw, background);
      continue;
    }
    std::fill(row, row + picture.left, background);
    std::fill(row + picture.right, row + tw, background);
  }
  if (!picture.IsEmpty()) {
    const int32_t pw = picture.Width(), ph = picture.Height();
    const bool mirror = effect_flags() & kEffectMirror;
    const bool flip = effect_flags() & kEffectFlip;
    column_map_.resize(static_cast<size_t>(pw));
    for (int32_t x = 0; x < pw; ++x) {
      const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * image_width_ / pw);
      column_map_[x] = 3 * (mirror ? image_width_ - 1 - sx : sx);  // byte offsets in a row
    }
    const size_t row_bytes = static_cast<size_t>(image_width_) * 3;
    for (int32_t y = 0; y < ph; ++y) {
      int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * image_height_ / ph);
      if (flip) sy = image_height_ - 1 - sy;
      const uint8_t* src = image_.data() + static_cast<size_t>(sy) * row_bytes;
      uint32_t* dst = out + static_cast<size_t>(picture.top + y) * tw + picture.left;
      for (int32_t x = 0; x < pw; ++x) {
        const uint8_t* p = src + column_map_[x];
        dst[x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      }
    }
  }
  return output_->Put(target) ? 1 : -1;
}
