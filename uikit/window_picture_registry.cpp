#include "uikit/window_picture_registry.h"

#include <algorithm>

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
