#include "common/trace_client.h"
#include "platform/ui/gles_video_device.h"
#include "video/devices/render/fourcc_families.h"
#include "video/devices/render/gpu_device_port.h"
#include "video/devices/render/video_window_port.h"

namespace {

class GlesDevicePort : public IGpuDevicePort {
 public:
  explicit GlesDevicePort(IVideoWindowPort* window) : window_(window) {}

  int32_t CreateDevice(int32_t, int32_t) override {
    device_.reset();
    std::string why;
    device_ = vz::GlesVideoDevice::Create(window_->DisplayName(), window_->NativeWindow(), &why);
    if (!device_) {
      VZ_LOG_ERROR("no GPU device: %s", why.c_str());
      return -1;
    }
    return 0;
  }
  // The window surface follows the window's size; the viewport is set at
  // every presentation.
  int32_t Reset(int32_t, int32_t) override { return device_ ? 0 : -1; }
  void ReleaseDevice() override { device_.reset(); }
  bool HasDevice() override { return device_ != nullptr; }
  bool TakesFourCC(uint32_t fourcc) override {
    return fourcc == kFourCC_I420 || fourcc == kFourCC_YV12 || fourcc == kFourCC_YUY2 || fourcc == kFourCC_UYVY;
  }

  bool Upload(const uint8_t* pixels, const BitmapHeader& header) override {
    if (!device_) return false;
    vz::GpuPicture picture;
    picture.pixels = pixels;
    picture.width = header.width;
    picture.height = header.height < 0 ? -header.height : header.height;
    picture.bottom_up = header.height > 0;
    switch (header.compression) {
      case kFourCC_I420: picture.layout = vz::GpuPicture::kI420; break;
      case kFourCC_YV12: picture.layout = vz::GpuPicture::kYV12; break;
      case kFourCC_YUY2: picture.layout = vz::GpuPicture::kYUY2; break;
      case kFourCC_UYVY: picture.layout = vz::GpuPicture::kUYVY; break;
      case kFourCCRgb:
        if (header.bit_count != 24 && header.bit_count != 32) return false;
        picture.layout = header.bit_count == 24 ? vz::GpuPicture::kBGR24 : vz::GpuPicture::kBGRA32;
        picture.stride = BitmapRgbStride(header.width, header.bit_count);
        break;
      default: return false;
    }
    return device_->Upload(picture);
  }
  bool HasFrame() override { return device_ && device_->HasPicture(); }
  void DiscardFrame() override {
    if (device_) device_->DropPicture();
  }

  int32_t Present(int32_t width, int32_t height, const Rect& source, const Rect& picture, uint32_t background,
                  uint32_t effects, bool with_frame) override {
    if (!device_) return 2;
    const uint32_t rgb = ((background & 0xFF) << 16) | (background & 0xFF00) | ((background >> 16) & 0xFF);
    return device_->Present({width, height}, source, picture, rgb, effects, with_frame);
  }
  int32_t CheckDevice() override { return device_ ? device_->Check() : 1; }

 private:
  IVideoWindowPort* window_;
  std::unique_ptr<vz::GlesVideoDevice> device_;
};

}  // namespace

std::unique_ptr<IGpuDevicePort> MakeGlesDevicePort(IVideoWindowPort* window) {
  std::string why;
  if (!vz::GlesVideoDevice::Available(&why)) {
    VZ_LOG_ERROR("GPU draw unavailable: %s", why.c_str());
    return nullptr;
  }
  if (window == nullptr || window->NativeWindow() == 0) {
    VZ_LOG_ERROR("GPU draw: the window has no display window");
    return nullptr;
  }
  return std::make_unique<GlesDevicePort>(window);
}
