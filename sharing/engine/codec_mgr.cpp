#include "sharing/engine/codec_mgr.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "sharing/engine/jpeg_frame_size.h"
#include "platform/module_loader.h"

CCodecMgrWin::CCodecMgrWin(const char* library) { InitJpegEngine(library); }

// The library stays loaded: each session's engine makes and deletes a
// manager, and unloading the library with it would drop what the library's
// own load-time code holds (its trace connection).
CCodecMgrWin::~CCodecMgrWin() { module_ = nullptr; }

void CCodecMgrWin::InitJpegEngine(const char* library) {
  compress_ = nullptr;
  decompress_ = nullptr;
  free_ = nullptr;
  decompress_into_ = nullptr;
  vz::ModuleLoad load = vz::LoadModuleOnce(library != nullptr ? library : "");
  module_ = load.module;
  if (module_ == nullptr) {
    VZ_LOG_ERROR("Load JPEG library failed.");
    return;
  }
  compress_ = reinterpret_cast<CompressFn>(vz::GetModuleSymbol(module_, "JPEGCompressImage"));
  decompress_ = reinterpret_cast<DecompressFn>(vz::GetModuleSymbol(module_, "JPEGDecompressImage"));
  free_ = reinterpret_cast<FreeFn>(vz::GetModuleSymbol(module_, "JPEGFreeMem"));
  // Optional: saves a buffer and a copy per decoded tile.
  decompress_into_ = reinterpret_cast<DecompressIntoFn>(vz::GetModuleSymbol(module_, "JPEGDecompressImageInto"));
  if (!IsLoaded()) VZ_LOG_ERROR("JPEG library [%s] lacks its codec functions.", library);
}

uint8_t* CCodecMgrWin::DoCompress(int width, int height, int bits_per_pixel, int quality, int stride,
                                  const uint8_t* pixels, int* out_size) {
  if (compress_ == nullptr) {
    VZ_LOG_ERROR("Load JPEG library failed.");
    if (out_size != nullptr) *out_size = 0;
    return nullptr;
  }
  return compress_(width, height, bits_per_pixel, quality, stride, pixels, out_size);
}

uint8_t* CCodecMgrWin::Decompress(const uint8_t* data, int size, int bits_per_pixel, int* out) {
  if (decompress_ == nullptr) return nullptr;
  return decompress_(data, size, bits_per_pixel, out);
}

void CCodecMgrWin::FreeMemForTesting(void* memory) {
  if (free_ != nullptr) free_(memory);
}

uint8_t* CCodecMgrWin::CompressRect(const uint8_t* base, const VzRect* rect, int quality, int stride,
                                    int bits_per_pixel, int* out_size) {
  if (base == nullptr || rect == nullptr) {
    if (out_size != nullptr) *out_size = 0;
    return nullptr;
  }
  const uint8_t* first = base + static_cast<ptrdiff_t>(bits_per_pixel / 8) * rect->left +
                         static_cast<ptrdiff_t>(stride) * rect->top;
  return DoCompress(rect->right - rect->left, rect->bottom - rect->top, bits_per_pixel, quality, stride, first,
                    out_size);
}

uint8_t* CCodecMgrWin::DecompressRect(const uint8_t* data, int size, int bits_per_pixel, int* out) {
  return Decompress(data, size, bits_per_pixel, out);
}

CCodecMgrWin::IntoResult CCodecMgrWin::DecompressRectInto(const uint8_t* data, int size, int bits_per_pixel,
                                                          uint8_t* target, int stride, int width, int height,
                                                          size_t* out_bytes) {
  if (out_bytes != nullptr) *out_bytes = 0;
  if (data == nullptr || size <= 0 || target == nullptr || width <= 0 || height <= 0 || bits_per_pixel != 32 ||
      stride < width * 4) {
    VZ_LOG_ERROR("image of [%d] bytes refused for a place of [%d x %d].", size, width, height);
    return kNotDecoded;
  }
  if (decompress_into_ != nullptr) {
    const int result = decompress_into_(data, size, bits_per_pixel, target, stride, width, height);
    return result > 0 ? kDecodedInto : result < 0 ? kWrongSize : kNotDecoded;
  }
  // Through the codec's packed rows. Their count comes from the image's own
  // frame header; the codec's out value is not relied on (a codec may leave
  // it 0). Only an image that is no JPEG stream (a codec of another format)
  // is measured by that value, and refused when the codec gives none.
  int image_width = 0;
  int image_height = 0;
  const bool jpeg = IsJpegStream(data, static_cast<size_t>(size));
  if (jpeg) {
    if (!ReadJpegFrameSize(data, static_cast<size_t>(size), &image_width, &image_height)) {
      VZ_LOG_ERROR("image of [%d] bytes has no readable frame header.", size);
      return kNotDecoded;
    }
    if (image_width != width || image_height != height) {
      if (out_bytes != nullptr) *out_bytes = static_cast<size_t>(image_width) * static_cast<size_t>(image_height) * 4;
      return kWrongSize;
    }
  }
  int decoded_bytes = 0;
  uint8_t* pixels = DecompressRect(data, size, bits_per_pixel, &decoded_bytes);
  if (pixels == nullptr) return kNotDecoded;
  const size_t row = static_cast<size_t>(width) * 4;
  const size_t wanted = row * static_cast<size_t>(height);
  bool fits = jpeg;
  if (!jpeg) {
    if (decoded_bytes <= 0) {
      VZ_LOG_ERROR("image of [%d] bytes: the codec gave no size for its rows.", size);
      std::free(pixels);
      return kNotDecoded;
    }
    fits = static_cast<size_t>(decoded_bytes) == wanted;
  }
  if (out_bytes != nullptr) *out_bytes = fits ? wanted : static_cast<size_t>(decoded_bytes);
  if (fits) {
    for (int y = 0; y < height; ++y) std::memcpy(target + static_cast<size_t>(stride) * y, pixels + row * y, row);
  }
  std::free(pixels);
  return fits ? kDecodedInto : kWrongSize;
}

CCodecMgrWin* CreateCodecMgr() { return new (std::nothrow) CCodecMgrWin(CCodecMgrWin::kLibraryName); }
