#include "client/sharingui/sharing_thumbnail.h"

#include <algorithm>

namespace sharing_thumbnail {

vz::Image Base(bool shared, uint32_t header_background) {
  vz::Image image(kSize, kSize);
  auto canvas = vz::CreateImageCanvas(image);
  const vz::Color rings[] = {0xFFF4F4F4, 0xFFDEDEDE, 0xFFC7C7C7,
                             shared ? vz::ColorFromColorRef(header_background & 0xFFFFFF) : 0xFFFFFFFF};
  vz::Rect rect{0, 0, kSize, kSize};
  for (vz::Color colour : rings) {
    canvas->FillRect(rect, colour);
    rect = rect.Inset(1);
  }
  return image;
}

std::optional<vz::Rect> Fit(int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  const float f = std::min(static_cast<float>(kFit) / static_cast<float>(width),
                           static_cast<float>(kFit) / static_cast<float>(height));
  const int w = static_cast<int>(static_cast<float>(width) * f);
  const int h = static_cast<int>(static_cast<float>(height) * f);
  return vz::Rect::FromXYWH((kSize - w) / 2, (kSize - h) / 2, w, h);
}

vz::Image Compose(const vz::Image& pixels, int width, int height, bool shared, uint32_t header_background) {
  vz::Image image = Base(shared, header_background);
  const std::optional<vz::Rect> fit = Fit(width, height);
  if (!fit) return image;
  auto canvas = vz::CreateImageCanvas(image);
  canvas->FillRect(fit->Inset(-1), kFrame);
  if (!pixels.IsEmpty() && !fit->IsEmpty()) canvas->DrawImageScaled(pixels, *fit);
  return image;
}

}  // namespace sharing_thumbnail
