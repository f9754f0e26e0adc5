#pragma once
// Pictures of windows that libraries above the client draw (the video
// panel): each library registers its picture names and a drawing function
// when it is linked into the picture program, which then lists and draws
// them beside its own. UI thread only; registration happens at start-up.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/headless.h"
#include "platform/ui/image.h"

// Draws the picture of `name` on the headless system, in the resource
// library's current language; nothing when it cannot.
using WindowPictureFn = std::function<std::optional<vz::Image>(const std::string& name, vz::HeadlessWindowSystem&)>;

void RegisterWindowPictures(std::vector<std::string> names, WindowPictureFn draw);
// Every registered name, in registration order.
std::vector<std::string> RegisteredWindowPictureNames();
// The registered picture of a name; nothing when no library registered it.
std::optional<vz::Image> RenderRegisteredWindowPicture(const std::string& name, vz::HeadlessWindowSystem& system);

// A window's client pixels in a plain frame: a 1-pixel border and a title bar
// of kPictureTitleBar pixels with the title, so a picture shows the title too.
inline constexpr int kPictureTitleBar = 26;
vz::Image FramedWindowPicture(const vz::Image& client, const std::string& title);

// A registration made by a static object of the library.
struct WindowPictureRegistration {
  WindowPictureRegistration(std::vector<std::string> names, WindowPictureFn draw) {
    RegisterWindowPictures(std::move(names), std::move(draw));
  }
};
