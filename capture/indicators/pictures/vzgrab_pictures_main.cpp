// vzgrab_pictures: PNG pictures of the sharing indicators, made without a
// desktop (headless windows composed over a drawn backdrop).
//
//   vzgrab_pictures <folder>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "capture/indicators/indicator_controller.h"
#include "capture/indicators/indicator_geometry.h"
#include "capture/indicators/indicator_images.h"
#include "capture/indicators/spotlight_indicators.h"
#include "platform/run_loop.h"
#include "platform/ui/canvas.h"
#include "platform/ui/headless.h"

namespace {

void DrawProgramWindow(vz::Canvas& canvas, const vz::Rect& r, const char* title, vz::Color body, vz::Color bar) {
  canvas.FillRect(r, body);
  canvas.FillRect(vz::Rect{r.left, r.top, r.right, r.top + 24}, bar);
  vz::TextStyle style;
  style.color = 0xFF202020;
  canvas.DrawText(title, vz::Rect{r.left + 8, r.top + 4, r.right, r.top + 24}, style);
}

// Another program's window over the scene (it stands above the frame,
// which sits right below the shared window).
void DrawOccluder(vz::Image& scene, const vz::Rect& r) {
  auto canvas = vz::CreateImageCanvas(scene);
  DrawProgramWindow(*canvas, r, "Other window", 0xFFFFF5D6, 0xFFE0C890);
}

class SceneHost : public vzgrab::IndicatorHost {
 public:
  VzRect WindowRect(VzWindowHandle window) override {
    auto it = windows.find(window);
    return it != windows.end() ? it->second : VzRect{};
  }
  bool IsPointShared(VzPoint) override { return true; }
  std::map<VzWindowHandle, VzRect> windows;
};

MonitorInfo Monitor(int width, int height) {
  MonitorInfo m{};
  m.MonitorId = 1;
  m.Rect = {0, 0, width, height};
  m.LogicalRect = m.Rect;
  m.DpiScale = 1.0f;
  m.StateFlags = kMonitorStatePrimary | kMonitorStateAttached | kMonitorStateShared;
  return m;
}

// A desktop with a program window.
vz::Image Backdrop(int width, int height, const vz::Rect& shared) {
  vz::Image image(width, height);
  auto canvas = vz::CreateImageCanvas(image);
  canvas->FillRect({0, 0, width, height}, 0xFF3A6F8F);
  DrawProgramWindow(*canvas, shared, "Shared window", 0xFFF4F4F4, 0xFFD0D0D0);
  return image;
}

void Compose(vz::HeadlessWindowSystem& system, vz::Image& scene, vz::Window* window) {
  if (window == nullptr) return;
  const vz::Image visible = system.RenderVisible(window);
  auto canvas = vz::CreateImageCanvas(scene);
  canvas->DrawImage(visible, window->bounds().left, window->bounds().top);
}

bool Write(const vz::Image& image, const std::string& path) {
  if (!image.WritePngFile(path)) {
    std::fprintf(stderr, "vzgrab_pictures: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  static const char kUsage[] =
      "usage: vzgrab_pictures <folder>\n"
      "  writes PNG pictures of the sharing indicators into <folder>, which must exist\n";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // A folder named like an option is far more likely a mistyped option.
  if (argc == 2 && argv[1][0] == '-') {
    std::fprintf(stderr, "vzgrab_pictures: unknown option \"%s\"\n%s", argv[1], kUsage);
    return 2;
  }
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const int width = 480, height = 300;
  auto system = vz::HeadlessWindowSystem::Create({width, height});
  vz::WindowSystem::SetCurrent(system.get());
  SceneHost host;
  auto images = vzgrab::CreateResourceImages();
  bool ok = true;

  // A shared window with another window over part of it: the frame round
  // the shared window and the shadow over the covered part.
  const vz::Rect shared{60, 50, 330, 230};
  const vz::Rect occluder{250, 150, 440, 270};
  host.windows[0x400001] = vzgrab::ToVzRect(shared);
  {
    vzgrab::CIndicatorController frames(host, system.get());
    ApplicationInfo app{};
    app.Window = 0x400001;
    app.Shared = 1;
    frames.ShowWindowFrames({vzgrab::SharedWindowFrame{app, Monitor(width, height)}}, 0xff0084ff);
    vz::Image dim = Backdrop(width, height, shared);
    Compose(*system, dim, frames.window_frames()[0]->window());
    DrawOccluder(dim, occluder);
    ok &= Write(dim, folder + "/indicator-window-frame-dim.png");
    frames.OnRefreshDone({vzgrab::ToVzRect(shared.Intersect(occluder))});
    vz::Image scene = Backdrop(width, height, shared);
    Compose(*system, scene, frames.window_frames()[0]->window());
    DrawOccluder(scene, occluder);
    if (auto* shadow = frames.window_frames()[0]->shadow()) Compose(*system, scene, shadow->window());
    ok &= Write(scene, folder + "/indicator-window-frame.png");
  }
  // The frame along a shared monitor's edge.
  {
    vzgrab::CIndicatorController frames(host, system.get());
    frames.ShowMonitorFrames({Monitor(width, height)}, 0xff0084ff);
    frames.OnRefreshDone({});
    vz::Image scene = Backdrop(width, height, shared);
    DrawOccluder(scene, occluder);
    Compose(*system, scene, frames.monitor_frames()[0]->window());
    ok &= Write(scene, folder + "/indicator-monitor-frame.png");
  }
  // The pointer window and the arrow label (the pointer over it, so its
  // close box shows).
  {
    vzgrab::CSpotlightIndicators spots(host, *images, system.get());
    system->SetPointerPosition({200, 120});
    spots.ShowPointerWindow(1);
    const char16_t label[] = u"Ada Lovelace";
    const VzPoint at{200, 200};
    spots.ShowArrowIndicator(label, 0x00A05020, &at);
    system->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {200, 200});
    vz::Image scene = Backdrop(width, height, shared);
    DrawOccluder(scene, occluder);
    Compose(*system, scene, spots.pointer()->window());
    Compose(*system, scene, spots.arrow()->window());
    ok &= Write(scene, folder + "/indicator-pointer-arrow.png");
  }
  vz::WindowSystem::SetCurrent(nullptr);
  return ok ? 0 : 1;
}
