#include "video/devices/color/video_format_converter.h"

#include <new>

#include "common/trace_client.h"
#include "video/devices/color/cpu_features.h"
#include "video/engine/core/video_types.h"

using namespace nsVZVP;

namespace {

int32_t PackedStride(int32_t width, int bits) { return ((width * bits + 31) / 32) * 4; }
int32_t Round32(int32_t v) { return (v + 31) & ~31; }

bool SaneSize(int32_t w, int32_t h) {
  return w > 0 && h > 0 && w <= CVideoFormatConverter::kMaxSide && h <= CVideoFormatConverter::kMaxSide;
}

// The destination stride and sample size of a wanted format, or false when
// it has no entry. The bottom-up 32-bit RGBA is offered for decoded pictures
// only.
bool DestinationLayout(uint32_t wanted, int32_t w, int32_t h, bool decoded, int32_t* stride, int32_t* size) {
  switch (wanted) {
    case CSP_RGB24:
    case CSP_BGR24:
    case CSP_RGB24 | CSP_BOTTOM_UP:
    case CSP_BGR24 | CSP_BOTTOM_UP: *stride = PackedStride(w, 24); break;
    case CSP_RGBA32:
    case CSP_ARGB32: *stride = w * 4; break;
    case CSP_RGBA32 | CSP_BOTTOM_UP:
      if (!decoded) return false;
      *stride = w * 4;
      break;
    case CSP_YUY2: *stride = PackedStride(w, 16); break;
    case CSP_I420:
    case CSP_YV12:
      *stride = w;
      *size = w * h + (w / 2) * (h / 2) * 2;
      return true;
    default: return false;
  }
  *size = *stride * h;
  return true;
}

}  // namespace

CVideoFormatConverter::CVideoFormatConverter() : forced_features_(false), cpu_features_(0) {}
CVideoFormatConverter::CVideoFormatConverter(uint32_t cpu_features)
    : forced_features_(true), cpu_features_(cpu_features) {}
CVideoFormatConverter::~CVideoFormatConverter() { Release(); }

void CVideoFormatConverter::Release() {
  converter_.reset();
  buffer_.reset();
  buffer_size_ = 0;
}

void CVideoFormatConverter::EnsureConverter() {
  if (!converter_) converter_ = std::make_unique<CColorSpaceConvertor>(forced_features_ ? cpu_features_ : DetectCpuFeatures());
}

IVideoSample* CVideoFormatConverter::ConvertInto(uint32_t wanted, const ImageDesc& src,
                                                 IVideoSampleAllocator* allocator, bool decoded) {
  int32_t stride = 0, size = 0;
  if (!DestinationLayout(wanted, src.width, src.height, decoded, &stride, &size)) {
    VZ_LOG_ERROR("no conversion to format 0x%08X", wanted);
    return nullptr;
  }
  if (allocator == nullptr) return nullptr;
  IVideoSample* sample = nullptr;
  if (allocator->GetSample(size, &sample) != VSE_S_OK || sample == nullptr) {
    VZ_LOG_ERROR("no sample of %d bytes", size);
    return nullptr;
  }
  void* data = nullptr;
  sample->GetPointer(&data);
  auto* d = static_cast<uint8_t*>(data);
  ImageDesc dst{};
  dst.width = src.width, dst.height = src.height, dst.format = wanted;
  if ((wanted & kColorSpaceMask) == CSP_I420 || (wanted & kColorSpaceMask) == CSP_YV12) {
    dst.plane[0] = d;
    dst.plane[1] = d + src.width * src.height;
    dst.plane[2] = d + src.width * src.height * 5 / 4;
    dst.stride[0] = src.width;
    dst.stride[1] = dst.stride[2] = src.width / 2;
  } else {
    dst.plane[0] = dst.plane[1] = dst.plane[2] = d;
    dst.stride[0] = dst.stride[1] = dst.stride[2] = stride;
  }
  EnsureConverter();
  const int32_t result = converter_->Convert(1, &src, &dst);
  if (result != kConvertOk) {
    VZ_LOG_ERROR("conversion to 0x%08X failed: %d", wanted, result);
    sample->Release();
    return nullptr;
  }
  return sample;
}

IVideoSample* CVideoFormatConverter::ConvertDecodedImage(uint32_t wanted, const DecodeBufferInfo& info,
                                                         IVideoSampleAllocator* allocator, uint8_t* const planes[3]) {
  if (planes == nullptr || !SaneSize(info.width, info.height)) {
    VZ_LOG_ERROR("decoded picture %dx%d refused", info.width, info.height);
    return nullptr;
  }
  ImageDesc src{};
  src.plane[0] = planes[0], src.plane[1] = planes[1], src.plane[2] = planes[2];
  src.stride[0] = info.stride_y;
  src.stride[1] = src.stride[2] = info.stride_uv;
  src.width = info.width, src.height = info.height, src.format = CSP_I420;
  return ConvertInto(wanted, src, allocator, true);
}

IVideoSample* CVideoFormatConverter::ConvertRenderImage(uint32_t wanted, IVideoSample* source,
                                                        IVideoSampleAllocator* allocator) {
  if (source == nullptr) return nullptr;
  VideoFormat format{};
  void* data = nullptr;
  int32_t length = 0;
  if (source->GetFormat(&format) != VSE_S_OK || source->GetPointer(&data) != VSE_S_OK || data == nullptr ||
      source->GetActualDataLength(&length) != VSE_S_OK) {
    return nullptr;
  }
  if (!SaneSize(format.width, format.height)) {
    VZ_LOG_ERROR("sample %dx%d refused", format.width, format.height);
    return nullptr;
  }
  const int32_t a = Round32(format.width);
  if (static_cast<int64_t>(length) < static_cast<int64_t>(a) * format.height * 3 / 2) {
    VZ_LOG_ERROR("sample of %d bytes too short for %dx%d", length, format.width, format.height);
    return nullptr;
  }
  auto* y = static_cast<uint8_t*>(data);
  ImageDesc src{};
  src.plane[0] = y;
  src.plane[1] = y + a * format.height;
  src.plane[2] = src.plane[1] + a * format.height / 4;
  src.stride[0] = a;
  src.stride[1] = src.stride[2] = a / 2;
  src.width = format.width, src.height = format.height, src.format = CSP_I420;
  return ConvertInto(wanted, src, allocator, false);
}

const uint8_t* CVideoFormatConverter::ConvertEncoderInput(const VideoFormat& format, const uint8_t* data,
                                                          int32_t length) {
  if (format.video_type == kVideoTypeI420) return data;
  const int32_t w = format.width, h = format.height;
  if (data == nullptr || !SaneSize(w, h)) {
    VZ_LOG_ERROR("captured frame %dx%d refused", w, h);
    return nullptr;
  }
  ImageDesc src{};
  src.width = w, src.height = h;
  int64_t needed = 0;
  auto* bytes = const_cast<uint8_t*>(data);
  auto packed = [&](uint32_t code, int bits) {
    const int32_t stride = PackedStride(w, bits);
    src.format = code;
    src.plane[0] = src.plane[1] = src.plane[2] = bytes;
    src.stride[0] = src.stride[1] = src.stride[2] = stride;
    needed = static_cast<int64_t>(stride) * h;
  };
  switch (format.video_type) {
    case kVideoTypeRgb24: packed(CSP_RGB24, 24); break;
    case kVideoTypeYuy2: packed(CSP_YUY2, 16); break;
    case kVideoTypeBgr24: packed(CSP_BGR24, 24); break;
    case kVideoTypeRgb24BottomUp: packed(CSP_RGB24 | CSP_BOTTOM_UP, 24); break;
    case kVideoTypeBgr24BottomUp: packed(CSP_BGR24 | CSP_BOTTOM_UP, 24); break;
    case kVideoTypeYv12:
      src.format = CSP_YV12;
      src.plane[0] = bytes;
      src.plane[1] = bytes + w * h;
      src.plane[2] = bytes + w * h * 5 / 4;
      src.stride[0] = w;
      src.stride[1] = src.stride[2] = w / 2;
      needed = static_cast<int64_t>(w) * h * 3 / 2;
      break;
    default:
      VZ_LOG_ERROR("video type %d cannot be encoded", format.video_type);
      return nullptr;
  }
  // The camera's frame must hold what its format says, or the conversion
  // would read past it.
  if (length < needed) {
    VZ_LOG_ERROR("captured frame of %d bytes, %lld expected", length, static_cast<long long>(needed));
    return nullptr;
  }
  const int32_t a = Round32(w) * h;
  const int32_t size = a + 2 * (a / 4);
  if (buffer_size_ < size) {
    buffer_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    buffer_size_ = buffer_ ? size : 0;
    if (!buffer_) {
      VZ_LOG_ERROR("no memory for %d bytes", size);
      return nullptr;
    }
  }
  ImageDesc dst{};
  dst.width = w, dst.height = h, dst.format = CSP_I420;
  dst.plane[0] = buffer_.get();
  dst.plane[1] = buffer_.get() + a;
  dst.plane[2] = buffer_.get() + a + a / 4;
  dst.stride[0] = w;
  dst.stride[1] = dst.stride[2] = w / 2;
  EnsureConverter();
  const int32_t result = converter_->Convert(1, &src, &dst);
  if (result != kConvertOk) {
    // Handing the encoder the previous frame's bytes would be a silent fault.
    VZ_LOG_ERROR("captured frame conversion failed: %d", result);
    return nullptr;
  }
  return buffer_.get();
}
