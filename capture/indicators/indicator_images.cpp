#include "capture/indicators/indicator_images.h"

#include <vector>

#include "common/trace_client.h"
#include "platform/module_loader.h"
#include "platform/ui/canvas.h"

namespace vzgrab {

namespace {

using EnsureLoadedFn = int (*)(const char*);
using CopyPngFn = uint32_t (*)(uint32_t, uint8_t*, uint32_t);

// A PNG larger than this is refused rather than allocated.
constexpr uint32_t kMaxPngBytes = 16u << 20;

class ResourceImages : public IndicatorImages {
 public:
  ~ResourceImages() override { vz::FreeModule(module_); }
  std::optional<vz::Image> LoadPng(uint32_t id) override {
    Bind();
    if (copy_png_ != nullptr) {
      const uint32_t size = copy_png_(id, nullptr, 0);
      if (size > 0 && size <= kMaxPngBytes) {
        std::vector<uint8_t> bytes(size);
        if (copy_png_(id, bytes.data(), size) == size) {
          if (std::optional<vz::Image> image = vz::Image::DecodePng(bytes)) return image;
        }
      }
      VZ_LOG_WARN("PNG resource [%u] not usable (%u bytes), drawn instead", id, size);
    }
    vz::Image drawn = DrawIndicatorImage(id);
    if (drawn.IsEmpty()) {
      VZ_LOG_ERROR("no image [%u]", id);
      return std::nullopt;
    }
    return drawn;
  }

 private:
  void Bind() {
    if (tried_) return;
    tried_ = true;
    vz::ModuleLoad load = vz::LoadModule("vzres");
    if (load.module == nullptr) {
      VZ_LOG_ERROR("Can't load vzres: %s", load.error.reason.c_str());
      return;
    }
    module_ = load.module;
    auto ensure = reinterpret_cast<EnsureLoadedFn>(vz::GetModuleSymbol(module_, "VzResEnsureLoaded"));
    copy_png_ = reinterpret_cast<CopyPngFn>(vz::GetModuleSymbol(module_, "VzResCopyPng"));
    if (ensure == nullptr || copy_png_ == nullptr) {
      VZ_LOG_ERROR("vzres lacks its image entry points");
      copy_png_ = nullptr;
      return;
    }
    if (ensure("vzres") == 0) VZ_LOG_ERROR("the resource bundle of vzres cannot be opened");
  }

  bool tried_ = false;
  vz::ModuleHandle module_ = nullptr;  // the library stays loaded while the images are used
  CopyPngFn copy_png_ = nullptr;
};

}  // namespace

std::unique_ptr<IndicatorImages> CreateResourceImages() { return std::make_unique<ResourceImages>(); }

vz::Image DrawIndicatorImage(uint32_t id) {
  switch (id) {
    case kArrowImageId: {
      // A white label plate with a pointing tip at its left, tinted later.
      vz::Image image(120, 24);
      auto canvas = vz::CreateImageCanvas(image);
      canvas->FillRoundRect(vz::Rect{8, 0, 120, 24}, 5.0, 0xFFFFFFFF);
      vz::Path tip;
      tip.MoveTo(0, 0);
      tip.LineTo(16, 4);
      tip.LineTo(12, 12);
      tip.Close();
      canvas->FillPath(tip, 0xFFFFFFFF);
      return image;
    }
    case kPointerImageId: {
      vz::Image image(32, 32);
      auto canvas = vz::CreateImageCanvas(image);
      canvas->FillEllipse(vz::Rect{2, 2, 30, 30}, 0xC0FF3030);
      canvas->StrokeEllipse(vz::Rect{2, 2, 30, 30}, vz::Pen{0xFFFFFFFF, 2.0});
      return image;
    }
    case kCloseImageId: {
      vz::Image image(12, 12);
      auto canvas = vz::CreateImageCanvas(image);
      const vz::Pen pen{0xFFFFFFFF, 2.0};
      canvas->DrawLine(2, 2, 10, 10, pen);
      canvas->DrawLine(10, 2, 2, 10, pen);
      return image;
    }
    default:
      return vz::Image();
  }
}

void TintIndicatorImage(vz::Image& image, uint32_t colorref) {
  const uint32_t tr = colorref & 0xFF, tg = (colorref >> 8) & 0xFF, tb = (colorref >> 16) & 0xFF;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const vz::Color c = image.GetPixel(x, y);
      const uint32_t a = vz::ColorA(c);
      if (a == 0) continue;
      const uint32_t mean = (uint32_t{vz::ColorR(c)} + vz::ColorG(c) + vz::ColorB(c)) / 3;
      image.SetPixel(x, y,
                     vz::MakeColor(static_cast<uint8_t>(tr * mean / 255), static_cast<uint8_t>(tg * mean / 255),
                                   static_cast<uint8_t>(tb * mean / 255), static_cast<uint8_t>(a)));
    }
  }
}

}  // namespace vzgrab
