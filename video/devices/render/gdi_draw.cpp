#include "video/devices/render/gdi_draw.h"

#include <algorithm>
#include <cstring>

#include "common/trace_client.h"
#include "video/devices/render/draw_geometry.h"
#include "video/devices/render/fourcc_families.h"
#include "video/devices/render/nearest_rows.h"
#include "video/devices/render/pixel_copy.h"

namespace {

constexpr int32_t kMaxPlanarSide = 16384;

uint32_t PixelOfColorRef(uint32_t colorref) {
  const uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

CGDIDraw::CGDIDraw(OutputMaker make_output, uint32_t cpu_features)
    : make_output_(std::move(make_output)), converter_(cpu_features) {}

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
  kept_sample_.Reset(nullptr);
  planar_ = {};
  image_.clear();
  image_.shrink_to_fit();
  planes_.clear();
  planes_.shrink_to_fit();
  rows_.clear();
  rows_.shrink_to_fit();
  kept_ = Kept::kNone;
  image_width_ = image_height_ = 0;
}

int32_t CGDIDraw::Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
                       const Rect& target) {
  if (target.IsEmpty()) return 1;
  if (pixels == nullptr || header == nullptr) {
    if (kept_ == Kept::kNone) return -3;
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
  kept_sample_.Reset(nullptr);
  planar_ = {};
  planes_.clear();
  kept_ = Kept::kRgb;
  image_width_ = source.Width();
  image_height_ = source.Height();
  image_.resize(static_cast<size_t>(image_width_) * 3 * image_height_ + 1);
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

int32_t CGDIDraw::DrawPlanar(const PlanarFrame& frame, const Rect& target) {
  if (target.IsEmpty()) return 1;
  const int32_t w = frame.width, h = frame.height;
  if (frame.y == nullptr || frame.u == nullptr || frame.v == nullptr || w <= 0 || h <= 0 || (w & 1) || (h & 1) ||
      w > kMaxPlanarSide || h > kMaxPlanarSide || frame.stride_y < w || frame.stride_uv < w / 2) {
    VZ_LOG_ERROR("planar frame %dx%d (strides %d, %d) not taken", w, h, frame.stride_y, frame.stride_uv);
    return -2;
  }
  if (frame.owner != nullptr) {
    kept_sample_.Reset(frame.owner);  // takes the new one before the old goes: it may be the same sample
    planes_.clear();
    planar_ = frame;
  } else {
    kept_sample_.Reset(nullptr);
    const size_t luma = static_cast<size_t>(w) * h;
    const size_t chroma = static_cast<size_t>(w / 2) * (h / 2);
    planes_.resize(luma + 2 * chroma);
    uint8_t* y = planes_.data();
    BltYUV_Planar(frame.y, frame.u, frame.v, frame.stride_y, frame.stride_uv, y, w, kFourCC_I420, w, h);
    planar_ = PlanarFrame{nullptr, y, y + luma, y + luma + chroma, w, w / 2, w, h};
  }
  image_.clear();
  kept_ = Kept::kPlanar;
  image_width_ = w;
  image_height_ = h;
  ClearPictureStale();
  return Compose(target, true);
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
  if (with_image && kept_ != Kept::kNone) {
    FitRect(&picture, Rect{0, 0, image_width_, image_height_}, Rect{0, 0, tw, th}, aspect_mode());
  } else {
    picture = Rect{};
  }
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
    if (kept_ == Kept::kPlanar) {
      if (!ComposePlanar(out, tw, picture)) return -1;
    } else {
      ComposeRgb(out, tw, picture);
    }
  }
  return output_->Put(target) ? 1 : -1;
}

void CGDIDraw::ComposeRgb(uint32_t* out, int32_t stride, const Rect& picture) {
  const int32_t pw = picture.Width(), ph = picture.Height();
  const bool flip = effect_flags() & kEffectFlip;
  MakeNearestColumnMap(image_width_, pw, effect_flags() & kEffectMirror, 3, &column_map_);
  const size_t row_bytes = static_cast<size_t>(image_width_) * 3;
  const uint32_t* previous = nullptr;
  int32_t previous_sy = -1;
  for (int32_t y = 0; y < ph; ++y) {
    const int32_t sy = NearestSourceRow(y, image_height_, ph, flip);
    uint32_t* dst = out + static_cast<size_t>(picture.top + y) * stride + picture.left;
    if (sy == previous_sy) {  // a picture shown larger than it came repeats rows
      std::memcpy(dst, previous, static_cast<size_t>(pw) * 4);
      continue;
    }
    GatherRow24To32(image_.data() + static_cast<size_t>(sy) * row_bytes, column_map_.data(), dst, pw);
    previous = dst;
    previous_sy = sy;
  }
}

bool CGDIDraw::ComposePlanar(uint32_t* out, int32_t stride, const Rect& picture) {
  const int32_t pw = picture.Width(), ph = picture.Height();
  const bool flip = effect_flags() & kEffectFlip;
  const bool mirror = effect_flags() & kEffectMirror;
  const bool same_width = pw == image_width_ && !mirror;
  MakeNearestColumnMap(image_width_, pw, mirror, 1, &column_map_);
  rows_.resize(static_cast<size_t>(image_width_) * 2);
  const uint32_t* previous = nullptr;
  int32_t previous_sy = -1;
  int32_t converted_pair = -1;
  for (int32_t y = 0; y < ph; ++y) {
    const int32_t sy = NearestSourceRow(y, image_height_, ph, flip);
    uint32_t* dst = out + static_cast<size_t>(picture.top + y) * stride + picture.left;
    if (sy == previous_sy) {
      std::memcpy(dst, previous, static_cast<size_t>(pw) * 4);
      continue;
    }
    // The target's rows walk the source's in one direction, so each pair
    // is converted once at most.
    if (sy / 2 != converted_pair) {
      if (!ConvertRowPair(sy / 2)) return false;
      converted_pair = sy / 2;
    }
    const uint32_t* src = rows_.data() + static_cast<size_t>(sy & 1) * image_width_;
    if (same_width) {
      std::memcpy(dst, src, static_cast<size_t>(pw) * 4);
    } else {
      GatherRow32(src, column_map_.data(), dst, pw);
    }
    previous = dst;
    previous_sy = sy;
  }
  return true;
}

bool CGDIDraw::ConvertRowPair(int32_t pair) {
  const int32_t w = image_width_;
  nsVZVP::ImageDesc in{};
  // The descriptor's planes are writable pointers; a source is only read.
  in.plane[0] = const_cast<uint8_t*>(planar_.y + static_cast<int64_t>(2 * pair) * planar_.stride_y);
  in.plane[1] = const_cast<uint8_t*>(planar_.u + static_cast<int64_t>(pair) * planar_.stride_uv);
  in.plane[2] = const_cast<uint8_t*>(planar_.v + static_cast<int64_t>(pair) * planar_.stride_uv);
  in.stride[0] = planar_.stride_y;
  in.stride[1] = in.stride[2] = planar_.stride_uv;
  in.width = w;
  in.height = 2;
  in.format = nsVZVP::CSP_I420;
  nsVZVP::ImageDesc out{};
  out.plane[0] = out.plane[1] = out.plane[2] = reinterpret_cast<uint8_t*>(rows_.data());
  out.stride[0] = out.stride[1] = out.stride[2] = w * 4;
  out.width = w;
  out.height = 2;
  out.format = nsVZVP::CSP_BGRA32;
  const int32_t result = converter_.Convert(1, &in, &out);
  if (result != nsVZVP::kConvertOk) {
    VZ_LOG_ERROR("rows %d-%d of the %dx%d planar frame not converted (%d)", 2 * pair, 2 * pair + 1, w,
                 image_height_, result);
    return false;
  }
  return true;
}
