#include "video/engine/client/picture_counter_sink.h"

#include <png.h>

#include <cstdio>

#include "common/trace_client.h"
#include "contracts/test_pattern.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/core/video_types.h"

namespace {

constexpr int64_t kLogEvery = 30;

uint8_t LumaOf(uint8_t b, uint8_t g, uint8_t r) {
  return static_cast<uint8_t>((66 * r + 129 * g + 25 * b + 128) / 256 + 16);
}

}  // namespace

CPictureCounterSink::CPictureCounterSink(std::string label, std::string png_path)
    : label_(std::move(label)), png_path_(std::move(png_path)) {}

VseResult CPictureCounterSink::DeliverSample(IVideoSample* sample) {
  if (sample == nullptr) return VSE_E_INVALIDARG;
  VideoFormat format{};
  void* data = nullptr;
  int32_t length = 0;
  if (sample->GetFormat(&format) != VSE_S_OK || sample->GetPointer(&data) != VSE_S_OK ||
      sample->GetActualDataLength(&length) != VSE_S_OK || data == nullptr || format.width <= 0 ||
      format.height <= 0 || format.width > 8192 || format.height > 8192) {
    VZ_LOG_ERROR("unreadable picture for [%s]", label_.c_str());
    return VSE_E_INVALIDARG;
  }
  const int32_t w = format.width;
  const int32_t h = format.height;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> luma(static_cast<size_t>(w) * h);
  std::vector<uint8_t> rgb;
  if (format.video_type == kVideoTypeI420) {
    if (length < w * h) {
      VZ_LOG_ERROR("short picture for [%s]: %d bytes, type %d %dx%d", label_.c_str(), length, format.video_type, w, h);
      return VSE_E_INVALIDARG;
    }
    luma.assign(bytes, bytes + static_cast<size_t>(w) * h);
  } else if (format.video_type == kVideoTypeBgr24 || format.video_type == kVideoTypeBgr24BottomUp) {
    const int32_t stride = (w * 3 + 3) & ~3;
    if (length < stride * h) {
      VZ_LOG_ERROR("short picture for [%s]: %d bytes, type %d %dx%d", label_.c_str(), length, format.video_type, w, h);
      return VSE_E_INVALIDARG;
    }
    if (!png_path_.empty()) rgb.resize(static_cast<size_t>(w) * h * 3);
    for (int32_t y = 0; y < h; ++y) {
      const int32_t src_row = format.video_type == kVideoTypeBgr24BottomUp ? h - 1 - y : y;
      const uint8_t* row = bytes + static_cast<size_t>(src_row) * stride;
      for (int32_t x = 0; x < w; ++x) {
        luma[static_cast<size_t>(y) * w + x] = LumaOf(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        if (!rgb.empty()) {
          uint8_t* out = &rgb[(static_cast<size_t>(y) * w + x) * 3];
          out[0] = row[3 * x + 2];
          out[1] = row[3 * x + 1];
          out[2] = row[3 * x];
        }
      }
    }
  } else {
    VZ_LOG_ERROR("picture of type %d not shown", format.video_type);
    return VSE_E_INVALIDARG;
  }
  const int64_t counter = ReadTestPatternCounter(luma.data(), w, w, h);
  const double psnr = counter >= 0 ? TestPatternPsnr(luma.data(), w, w, h, static_cast<uint32_t>(counter),
                                                     kTestCameraWidth, kTestCameraHeight)
                                   : -1;
  Figures now;
  {
    std::lock_guard<std::mutex> hold(lock_);
    ++figures_.pictures;
    if (counter > figures_.last_counter) ++figures_.rising;
    if (psnr > 30.0) ++figures_.sharp;
    figures_.last_counter = counter;
    figures_.last_psnr = psnr;
    if (figures_.pictures == 1 || psnr < figures_.min_psnr) figures_.min_psnr = psnr;
    figures_.width = w;
    figures_.height = h;
    now = figures_;
  }
  if (now.pictures % kLogEvery == 1) {
    VZ_LOG("picture [%lld] from [%s] %dx%d counter [%lld] psnr [%.1f] rising [%lld] sharp [%lld]",
           static_cast<long long>(now.pictures), label_.c_str(), w, h, static_cast<long long>(counter), psnr,
           static_cast<long long>(now.rising), static_cast<long long>(now.sharp));
    if (!rgb.empty()) WritePng(rgb, w, h);
  }
  return VSE_S_OK;
}

CPictureCounterSink::Figures CPictureCounterSink::figures() {
  std::lock_guard<std::mutex> hold(lock_);
  return figures_;
}

void CPictureCounterSink::WritePng(const std::vector<uint8_t>& rgb, int32_t width, int32_t height) {
  const std::string temp = png_path_ + ".part";
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) {
    VZ_LOG_ERROR("cannot write [%s]", temp.c_str());
    return;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  volatile bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
      png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * width * 3]));
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  std::fclose(file);
  if (!ok || std::rename(temp.c_str(), png_path_.c_str()) != 0) VZ_LOG_ERROR("cannot write [%s]", png_path_.c_str());
}
