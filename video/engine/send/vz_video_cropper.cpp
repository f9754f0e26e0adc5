#include "video/engine/send/vz_video_cropper.h"

#include <cstring>

#include "common/trace_client.h"
#include "video/engine/core/va_image_content.h"
#include "video/engine/core/video_types.h"

namespace {

// How a video type is laid out: bytes per pixel of a packed picture, or
// planar 4:2:0 (1.5 bytes a pixel).
struct Layout {
  bool known = false;
  bool planar = false;
  int bytes_per_pixel = 0;
};

Layout LayoutOf(int32_t type) {
  switch (type) {
    case kVideoTypeRgb24:
    case kVideoTypeBgr24:
    case kVideoTypeRgb24BottomUp:
    case kVideoTypeBgr24BottomUp: return {true, false, 3};
    case kVideoTypeYuy2: return {true, false, 2};
    case kVideoTypeI420:
    case kVideoTypeYv12: return {true, true, 1};
    default: return {};
  }
}

int64_t PictureBytes(const Layout& l, int32_t w, int32_t h) {
  const int64_t pixels = static_cast<int64_t>(w) * h;
  return l.planar ? pixels * 3 / 2 : pixels * l.bytes_per_pixel;
}

void CopyRows(uint8_t* dst, int dst_stride, const uint8_t* src, int src_stride, int row_bytes, int rows) {
  for (int r = 0; r < rows; ++r) {
    std::memcpy(dst + static_cast<size_t>(r) * dst_stride, src + static_cast<size_t>(r) * src_stride,
                static_cast<size_t>(row_bytes));
  }
}

}  // namespace

CVzVideoCropper::CVzVideoCropper() { VZ_LOG_OBJ(""); }

CVzVideoCropper::~CVzVideoCropper() {
  VZ_LOG_OBJ("");
  Uninit();
  deliverers_.Clear();
}

int32_t CVzVideoCropper::Init(int32_t base_width, int32_t base_height, IVideoSampleAllocator* allocator) {
  VZ_LOG_OBJ("");
  if (allocator == nullptr || base_width <= 0 || base_height <= 0) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  base_width_ = base_width;
  base_height_ = base_height;
  return 1;
}

void CVzVideoCropper::Uninit() {
  VZ_LOG_OBJ("");
  IVideoSampleAllocator* allocator = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    allocator = allocator_;
    allocator_ = nullptr;
  }
  if (allocator != nullptr) allocator->Release();
}

VseResult CVzVideoCropper::SetCropBase(int32_t width, int32_t height) {
  VZ_LOG_OBJ("dwWidth=%d dwHeight=%d", width, height);
  // A zero side would never be reached by doubling.
  if (width <= 0 || height <= 0) return VSE_E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  base_width_ = width;
  base_height_ = height;
  return VSE_S_OK;
}

void CVzVideoCropper::ScaledBaseSize(int32_t width, int32_t height, int32_t w0, int32_t h0, int32_t* out_w,
                                     int32_t* out_h) {
  int64_t w = w0, h = h0;
  while (w < width) {
    w *= 2;
    h *= 2;
  }
  if (w > width) {
    w /= 2;
    h /= 2;
  }
  while (h > height && h > 0) {
    w /= 2;
    h /= 2;
  }
  *out_w = static_cast<int32_t>(w);
  *out_h = static_cast<int32_t>(h);
}

void CVzVideoCropper::CropSize(int32_t width, int32_t height, int32_t w0, int32_t h0, int32_t* out_w,
                               int32_t* out_h) {
  if (width < w0 || height < h0) {
    int64_t w = width, h = height;
    if (static_cast<int64_t>(height) * w0 <= static_cast<int64_t>(width) * h0) {
      w = static_cast<int64_t>(w0) * height / h0;
    } else {
      h = static_cast<int64_t>(h0) * width / w0;
    }
    *out_w = static_cast<int32_t>(w & ~int64_t{1});
    *out_h = static_cast<int32_t>(h & ~int64_t{1});
    return;
  }
  ScaledBaseSize(width, height, w0, h0, out_w, out_h);
}

VseResult CVzVideoCropper::GetCropSize(int32_t width, int32_t height, int32_t* out_width, int32_t* out_height) {
  if (out_width == nullptr || out_height == nullptr) return VSE_E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  CropSize(width, height, base_width_, base_height_, out_width, out_height);
  return VSE_S_OK;
}

VseResult CVzVideoCropper::NewSample(int32_t size, IVideoSample** out) {
  std::lock_guard<std::mutex> hold(lock_);
  if (allocator_ == nullptr || allocator_->GetSample(size, out) != VSE_S_OK || *out == nullptr) {
    VZ_LOG_ERROR("no sample of %d bytes", size);
    return VSE_E_OUTOFMEMORY;
  }
  return VSE_S_OK;
}

VseResult CVzVideoCropper::Crop(IVideoSample* sample, bool in_place, IVideoSample** out) {
  if (sample == nullptr || out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  void* pointer = nullptr;
  int32_t length = 0;
  VideoFormat format{};
  if (sample->GetPointer(&pointer) != VSE_S_OK || sample->GetActualDataLength(&length) != VSE_S_OK ||
      sample->GetFormat(&format) != VSE_S_OK || pointer == nullptr) {
    return VSE_E_INVALIDARG;
  }
  const int32_t W = format.width, H = format.height;
  const Layout layout = LayoutOf(format.video_type);
  if (!layout.known) return VSE_E_UNSUPPORTED_FORMAT;
  // The camera's buffer must hold what its format says, or the copy would
  // read past it.
  if (W <= 0 || H <= 0 || length < PictureBytes(layout, W, H)) {
    VZ_LOG_ERROR("picture of %d bytes refused for %dx%d type %d", length, W, H, format.video_type);
    return VSE_E_INVALIDARG;
  }
  int32_t w = 0, h = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    CropSize(W, H, base_width_, base_height_, &w, &h);
  }
  int32_t x = (W - w) / 2, y = (H - h) / 2;
  // Chroma is shared by pixel pairs (and row pairs in 4:2:0): an odd offset
  // would swap U and V.
  if (format.video_type == kVideoTypeYuy2 || layout.planar) x &= ~1;
  if (layout.planar) y &= ~1;
  auto* src = static_cast<uint8_t*>(pointer);

  if (w == W && h == H) {
    if (in_place) {
      sample->AddRef();
      *out = sample;
      return VSE_S_OK;
    }
    IVideoSample* copy = nullptr;
    const VseResult r = NewSample(length, &copy);
    if (r != VSE_S_OK) return r;
    void* dst = nullptr;
    copy->GetPointer(&dst);
    std::memcpy(dst, src, static_cast<size_t>(length));
    copy->SetActualDataLength(length);
    copy->SetFormat(&format);
    *out = copy;
    return VSE_S_OK;
  }

  const int32_t out_length = static_cast<int32_t>(PictureBytes(layout, w, h));
  VideoFormat out_format = format;
  out_format.width = w;
  out_format.height = h;
  if (layout.bytes_per_pixel == 3 && in_place && w == W) {
    // Whole rows are cut: the picture starts y rows later, no copy.
    const int32_t stride = W * layout.bytes_per_pixel;
    if (sample->SetPointer(src + static_cast<size_t>(y) * stride) != VSE_S_OK) return VSE_E_FAIL;
    sample->SetActualDataLength(out_length);
    sample->SetFormat(&out_format);
    sample->AddRef();
    *out = sample;
    return VSE_S_OK;
  }
  IVideoSample* copy = nullptr;
  const VseResult r = NewSample(out_length, &copy);
  if (r != VSE_S_OK) return r;
  void* dst_pointer = nullptr;
  copy->GetPointer(&dst_pointer);
  auto* dst = static_cast<uint8_t*>(dst_pointer);
  if (layout.planar) {
    CopyRows(dst, w, src + static_cast<size_t>(y) * W + x, W, w, h);
    const size_t src_chroma = static_cast<size_t>(W / 2) * (H / 2);
    const size_t dst_chroma = static_cast<size_t>(w / 2) * (h / 2);
    const uint8_t* su = src + static_cast<size_t>(W) * H;
    uint8_t* du = dst + static_cast<size_t>(w) * h;
    const size_t offset = static_cast<size_t>(y / 2) * (W / 2) + x / 2;
    CopyRows(du, w / 2, su + offset, W / 2, w / 2, h / 2);
    CopyRows(du + dst_chroma, w / 2, su + src_chroma + offset, W / 2, w / 2, h / 2);
  } else {
    const int bpp = layout.bytes_per_pixel;
    CopyRows(dst, w * bpp, src + (static_cast<size_t>(y) * W + x) * bpp, W * bpp, w * bpp, h);
  }
  copy->SetActualDataLength(out_length);
  copy->SetFormat(&out_format);
  *out = copy;
  return VSE_S_OK;
}

VseResult CVzVideoCropper::AppendVideoDeliverer(IVideoDeliverer* deliverer) {
  if (deliverer == nullptr) return VSE_E_INVALIDARG;
  return deliverers_.Append(deliverer);
}

VseResult CVzVideoCropper::RemoveVideoDeliverer(IVideoDeliverer* deliverer) {
  if (deliverer == nullptr) return VSE_E_INVALIDARG;
  return deliverers_.Remove(deliverer);
}

VseResult CVzVideoCropper::EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) {
  if (callback == nullptr) return VSE_E_INVALIDARG;
  return static_cast<VseResult>(deliverers_.Enum(callback, user_data));
}

VseResult CVzVideoCropper::DeliverSample(IVideoSample* sample) {
  if (sample == nullptr) return VSE_E_INVALIDARG;
  if (!deliverers_.HasDeliverers()) return VSE_S_OK;
  IVideoSample* cut = nullptr;
  const VseResult r = Crop(sample, true, &cut);
  if (r != VSE_S_OK) return r;
  deliverers_.DeliverSample(cut);
  cut->Release();
  return VSE_S_OK;
}

namespace {

struct StatusWalk {
  bool all_ready = true;
  bool missing = false;
};

int32_t StatusOf(IVideoDeliverer* deliverer, void* user_data) {
  auto* walk = static_cast<StatusWalk*>(user_data);
  IVideoImageSink* sink = nullptr;
  if (deliverer->QueryInterface(&IID_IVideoImageSink, reinterpret_cast<void**>(&sink)) != VSE_S_OK || !sink) {
    walk->missing = true;
    return 1;
  }
  int32_t flags = 0;
  if (sink->GetStatus(&flags) != VSE_S_OK || (flags & 1) == 0) walk->all_ready = false;
  sink->Release();
  return 0;
}

struct ImageWalk {
  const VAImageContent* image;
  VseResult result = VSE_S_OK;
};

int32_t DeliverImageTo(IVideoDeliverer* deliverer, void* user_data) {
  auto* walk = static_cast<ImageWalk*>(user_data);
  IVideoImageSink* sink = nullptr;
  if (deliverer->QueryInterface(&IID_IVideoImageSink, reinterpret_cast<void**>(&sink)) != VSE_S_OK || !sink) {
    return 0;
  }
  const VseResult r = sink->VADeliverImage(walk->image);
  if (r != VSE_S_OK) walk->result = r;
  sink->Release();
  return 0;
}

}  // namespace

VseResult CVzVideoCropper::GetStatus(int32_t* flags) {
  if (flags == nullptr) return VSE_E_INVALIDARG;
  StatusWalk walk;
  deliverers_.Enum(&StatusOf, &walk);
  if (walk.missing) return VSE_E_FAIL;
  *flags = walk.all_ready ? 1 : 0;
  return VSE_S_OK;
}

VseResult CVzVideoCropper::VADeliverImage(const VAImageContent* image) {
  if (image == nullptr || image->vatype != 1 || image->info == nullptr) return VSE_E_INVALIDARG;
  const VAImageInfo& in = *image->info;
  int32_t w0 = 0, h0 = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    w0 = base_width_;
    h0 = base_height_;
  }
  const int64_t visible_w = int64_t{in.right} - in.left, visible_h = int64_t{in.bottom} - in.top;
  if (in.left < 0 || in.top < 0 || in.right > static_cast<int64_t>(in.width) ||
      in.bottom > static_cast<int64_t>(in.height) || visible_w < w0 || visible_h < h0) {
    return VSE_E_INVALIDARG;
  }
  int32_t w = 0, h = 0;
  ScaledBaseSize(static_cast<int32_t>(visible_w), static_cast<int32_t>(visible_h), w0, h0, &w, &h);
  const int32_t x = static_cast<int32_t>((visible_w - w) / 2), y = static_cast<int32_t>((visible_h - h) / 2);
  VAImageInfo centred = in;
  centred.left = in.left + x;
  centred.top = in.top + y;
  centred.right = centred.left + w;
  centred.bottom = centred.top + h;
  VAImageContent record{1, &centred};
  ImageWalk walk{&record};
  deliverers_.Enum(&DeliverImageTo, &walk);
  return walk.result;
}
