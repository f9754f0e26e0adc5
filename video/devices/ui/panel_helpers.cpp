#include "video/devices/ui/panel_helpers.h"

#include "outside/vzres/vzres_ids.h"
#include "platform/text.h"

namespace vzpanel {

vz::Rect fitRectangle(const vz::Rect& rect, vz::Size image) {
  const int width = rect.Width();
  const int height = rect.Height();
  if (width <= 11 || height <= 11 || image.width <= 0 || image.height <= 0) return rect;
  const float sx = static_cast<float>(image.width) / static_cast<float>(width);
  const float sy = static_cast<float>(image.height) / static_cast<float>(height);
  const float s = sx > sy ? sx : sy;
  const int w = static_cast<int>(static_cast<float>(image.width) / s + 0.5f);
  const int h = static_cast<int>(static_cast<float>(image.height) / s + 0.5f);
  vz::Rect out;
  out.left = rect.left + (width - w) / 2;
  out.right = out.left + w;
  out.top = rect.top + (height - h) / 2;
  out.bottom = out.top + h;
  return out;
}

std::string ConvertWideToNarrow(std::u16string_view wide) { return vz::Utf16ToUtf8(wide); }

std::string ConvertWideToNarrow(const char16_t* wide) {
  if (wide == nullptr) return {};
  return vz::Utf16ToUtf8(std::u16string_view(wide));
}

std::u16string ComposeTileName(std::u16string_view name, bool host, bool presenter, std::u16string_view host_word,
                               std::u16string_view presenter_word) {
  std::u16string text(name);
  if (host) {
    text.append(u" ").append(host_word);
  } else if (presenter) {
    text.append(u" ").append(presenter_word);
  }
  return text;
}

HintPlacement PlaceHintLabel(vz::Size client, std::string_view text_utf8, vz::TextMeasurer& measurer) {
  HintPlacement placement;
  vz::Size text = measurer.MeasureText(text_utf8, PanelFont(17));
  if (client.width - 100 < text.width) {
    placement.font_height = 13;
    text = measurer.MeasureText(text_utf8, PanelFont(13));
  }
  const int width = text.width + 10;
  placement.rect = vz::Rect::FromXYWH((client.width - width) / 2, (client.height - text.height) / 2, width,
                                      text.height);
  return placement;
}

uint32_t WaitingFrameImage(int index) {
  // Frames 2 and 3 are the bundle's last two images.
  static constexpr uint32_t kOrder[kWaitingFrameCount] = {270, 271, 280, 281, 272, 273,
                                                          274, 275, 276, 277, 278, 279};
  static_assert(kOrder[0] == vzres::IDB_VIDEO_WAIT_FIRST && kOrder[3] == vzres::IDB_VIDEO_WAIT_LAST);
  const int i = ((index % kWaitingFrameCount) + kWaitingFrameCount) % kWaitingFrameCount;
  return kOrder[i];
}

vz::Font PanelFont(int pixel_height, int weight) {
  vz::Font font;
  font.family = "Tahoma";
  font.pixel_size = pixel_height;
  font.weight = weight;
  return font;
}

}  // namespace vzpanel
