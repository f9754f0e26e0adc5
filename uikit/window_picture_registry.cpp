#include "uikit/window_picture_registry.h"

#include <algorithm>

#include "platform/ui/canvas.h"

namespace {

struct Entry {
  std::vector<std::string> names;
  WindowPictureFn draw;
};

std::vector<Entry>& Entries() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

void RegisterWindowPictures(std::vector<std::string> names, WindowPictureFn draw) {
  Entries().push_back({std::move(names), std::move(draw)});
}

std::vector<std::string> RegisteredWindowPictureNames() {
  std::vector<std::string> names;
  for (const Entry& entry : Entries()) names.insert(names.end(), entry.names.begin(), entry.names.end());
  return names;
}

std::optional<vz::Image> RenderRegisteredWindowPicture(const std::string& name, vz::HeadlessWindowSystem& system) {
  for (const Entry& entry : Entries()) {
    if (std::find(entry.names.begin(), entry.names.end(), name) != entry.names.end()) return entry.draw(name, system);
  }
  return std::nullopt;
}

vz::Image FramedWindowPicture(const vz::Image& client, const std::string& title) {
  vz::Image out(client.width() + 2, client.height() + kPictureTitleBar + 1);
  auto canvas = vz::CreateImageCanvas(out);
  canvas->FillRect({0, 0, out.width(), out.height()}, 0xFF5A5A5A);
  canvas->FillRect({1, 1, out.width() - 1, kPictureTitleBar}, 0xFF2B579A);
  vz::TextStyle style;
  style.font.pixel_size = 12;
  style.font.weight = 700;
  style.color = 0xFFFFFFFF;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  canvas->DrawText(std::string_view(title), {10, 1, out.width() - 10, kPictureTitleBar}, style);
  canvas->DrawImage(client, 1, kPictureTitleBar);
  return out;
}
