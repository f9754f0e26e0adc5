// vz_render_demo: the synthetic test camera shown through the video
// renderer in a window of the display, for a person to look at.
//
//   vz_render_demo [--seconds N] [--png FILE] [--software] [--mirror]
//
// --seconds ends it after N seconds (otherwise closing the window does);
// --png saves what the video window shows after one second and ends;
// --software starts on the software draw instead of the GPU draw;
// --mirror shows the picture mirrored.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/run_loop.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_window_grab.h"
#include "video/devices/render/view_window_port.h"
#include "video/devices/render/win_video_renderer.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

class DemoView : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF202020);
    if (renderer) renderer->Redraw();
  }
  void OnResize(vz::Size) override {
    if (renderer) renderer->OnWindowPositionChange();
  }
  void OnCloseRequest() override { vz::RunLoop::ForCurrentThread().Quit(); }
  CWinVideoRenderer* renderer = nullptr;
};

int Usage() {
  std::fprintf(stderr, "usage: vz_render_demo [--seconds N] [--png FILE] [--software] [--mirror]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 0;
  std::string png;
  bool software = false, mirror = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      png = argv[++i];
    } else if (std::strcmp(argv[i], "--software") == 0) {
      software = true;
    } else if (std::strcmp(argv[i], "--mirror") == 0) {
      mirror = true;
    } else {
      return Usage();
    }
  }

  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system = vz::OpenDisplayWindowSystem();
  if (!system) {
    std::fprintf(stderr, "vz_render_demo: no display (is DISPLAY set?)\n");
    return 1;
  }
  DemoView view;
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(100, 100, kTestCameraWidth, kTestCameraHeight);
  params.title = "VelzarHub video renderer";
  params.class_name = "vz_render_demo";
  std::unique_ptr<vz::Window> window = system->CreateWindow(params, &view);
  if (!window) return 1;
  window->Show();
  system->Sync();

  auto* renderer = new CWinVideoRenderer();
  renderer->AddRef();
  auto port = std::make_unique<ViewWindowPort>(window.get());
  const uint64_t video_window = port->NativeWindow();
  if (!renderer->Init(std::move(port), software ? CWinVideoRenderer::kRenderTypeSoftware
                                                : CWinVideoRenderer::kRenderTypeGpu)) {
    std::fprintf(stderr, "vz_render_demo: the renderer could not start\n");
    renderer->Release();
    return 1;
  }
  view.renderer = renderer;
  renderer->SetBKColor(0x202020);
  if (mirror) renderer->SetMirror(true);

  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  IVideoCapDevice* device = NewTestCameraDevice();
  IVideoCapEngine* engine = nullptr;
  int status = 0;
  if (MakeTestCameraEngine(device, nullptr, allocator, true, &engine) != VSE_S_OK) {
    std::fprintf(stderr, "vz_render_demo: no test camera\n");
    status = 1;
  } else {
    engine->AppendVideoDeliverer(renderer);
    engine->Start(false);
    if (!png.empty()) {
      loop.StartTimer(&view, 1, 1000, [&] {
        std::optional<vz::Image> shot = vz::GrabX11Window({}, video_window);
        if (!shot || !shot->WritePngFile(png)) {
          std::fprintf(stderr, "vz_render_demo: could not save %s\n", png.c_str());
          status = 1;
        } else {
          std::printf("saved %s (%dx%d, %s draw)\n", png.c_str(), shot->width(), shot->height(),
                      renderer->current_render_type() == CWinVideoRenderer::kRenderTypeGpu ? "GPU" : "software");
        }
        loop.Quit();
      });
    }
    if (seconds > 0) loop.StartTimer(&view, 2, static_cast<uint32_t>(seconds) * 1000, [&] { loop.Quit(); });
    loop.Run();
    loop.KillTimers(&view);
    engine->Stop();
    engine->RemoveVideoDeliverer(renderer);
    engine->Release();
  }
  view.renderer = nullptr;
  renderer->Release();
  device->Release();
  allocator->Release();
  window.reset();
  return status;
}
