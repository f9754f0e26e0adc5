// Pictures of the video panel for the picture program: the panel with its
// strip and toolbar, the strip on its second page, collapsed, the grid, the
// toolbar's states, the thumbnail menus, full screen. Drawn headless, with
// the test camera's picture in each view where its renderer would draw it
// and the controls above it, as on the display.
#include <memory>
#include <string>
#include <vector>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "uikit/window_picture_registry.h"
#include "video/devices/ui/main_screen_view.h"
#include "video/devices/ui/pattern_picture_renderers.h"
#include "video/devices/ui/thumb_menu.h"
#include "video/devices/ui/video_main_panel_window.h"
#include "video/devices/ui/video_options_window.h"
#include "video/devices/ui/win_video_controller.h"
#include "video/engine/core/video_factories.h"

namespace vzpanel {
namespace {


VideoRosterInfo Person(const std::string& id, const char16_t* name, bool host = false, bool presenter = false) {
  VideoRosterInfo record;
  vz::CopyUtf16(record.head.RosterId, 128, vz::Utf8ToUtf16(id));
  vz::CopyUtf16(record.head.Name, 128, name);
  record.head.IsHost = host;
  record.head.IsPresenter = presenter;
  record.rosterId = id;
  record.videoStatus = 1;
  return record;
}

std::vector<VideoRosterInfo> Meeting(bool i_present) {
  return {Person("me", u"Me", false, i_present), Person("ann", u"Ann Example", true),
          Person("bob", u"Bob Sample", false, !i_present), Person("cem", u"Cem Muster"),
          Person("dia", u"Dia Placeholder"), Person("eli", u"Eli Testperson"), Person("fay", u"Fay Beispiel")};
}

PatternPictureRenderers& PictureRenderers() {
  static PatternPictureRenderers renderers;
  return renderers;
}

// A panel of `size` with the meeting in it.
std::unique_ptr<VideoMainPanelWindow> MakePanel(vz::HeadlessWindowSystem& system, vz::Clock& clock, bool i_present,
                                                vz::Size size = {960, 600}) {
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &PictureRenderers(), nullptr, u"me", &system, clock);
  if (!panel->createVideoWindow(0, 0)) return nullptr;
  panel->window()->SetBounds(vz::Rect::FromXYWH(100, 100, size.width, size.height));
  panel->OnResize(size);
  panel->setTitle(FormatPanelTitle(vzres::LoadResString(vzres::IDS_VIDEO_PANEL_TITLE), GroupMeetingId(u"12345678")));
  const auto people = Meeting(i_present);
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  panel->setMyVideoStatus(true);
  panel->panelToolbar()->setStatus(3);
  panel->refresh();
  return panel;
}

vz::Image Shot(VideoMainPanelWindow& panel, vz::HeadlessWindowSystem& system) {
  vz::Window* top = panel.isFullScreen() ? panel.fullScreenWindow() : panel.window();
  top->Update();
  vz::Image client = system.Render(top);
  PictureRenderers().PaintViews(top, client);
  return FramedWindowPicture(client, top->GetTitle());
}

// Two made-up cameras and the pattern's renderers, for the options window's
// picture.
class PictureCamera : public IVideoCapDevice {
 public:
  PictureCamera(const char16_t* unique, const char16_t* display) : unique_(unique), display_(display) {}
  int32_t AddRef() override { return 1; }
  int32_t Release() override { return 1; }
  int32_t GetRefCount() override { return 1; }
  VseResult QueryInterface(const VseGuid*, void** out) override {
    if (out != nullptr) *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  int32_t GetDeviceType() override { return 0; }
  const char16_t* GetUniqueName() override { return unique_; }
  const char16_t* GetDisplayName() override { return display_; }
  VseResult GetCapability(int32_t, VideoFormat*) override { return 1; }
  bool IsSameDevice(IVideoCapDevice* other) override { return other == this; }
  bool IsHardwareDevice() override { return true; }
  bool IsSoftwareDevice() override { return false; }
  bool RemoveCapability(const VideoFormat&) override { return false; }

 private:
  const char16_t* unique_;
  const char16_t* display_;
};

PictureCamera g_desk{u"usb-1", u"Desk Camera"};
PictureCamera g_room{u"usb-2", u"Room Camera"};

class PictureCameras : public IVideoCapDeviceEnumerator {
 public:
  int32_t AddRef() override { return 1; }
  int32_t Release() override { return 1; }
  int32_t GetRefCount() override { return 1; }
  VseResult QueryInterface(const VseGuid*, void** out) override {
    if (out != nullptr) *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  IVideoCapDevice* GetNextDevice() override { return at_ < 2 ? (at_++ == 0 ? &g_desk : &g_room) : nullptr; }
  bool ContainsDevice(IVideoCapDevice*) override { return true; }
  void Reset() override { at_ = 0; }

 private:
  int at_ = 0;
};


class PictureOptionsServices : public IVideoRenderService, public IVideoOptionsSink, public IVideoOptionsHost {
 public:
  int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner_view) override {
    return renderers.CreateVideoRenderer(out, owner_view);
  }
  int32_t DestroyVideoRenderer(IVideoRenderer* renderer) override { return renderers.DestroyVideoRenderer(renderer); }
  int32_t SetBKColorInRenderer(IVideoRenderer*, uint32_t) override { return 0; }
  int32_t ClearRendererStream(IVideoRenderer*) override { return 0; }
  int32_t RedrawRenderer(IVideoRenderer*) override { return 0; }
  int32_t OnRendererDisplayChange(IVideoRenderer*) override { return 0; }
  int32_t OnRendererPositionChange(IVideoRenderer*) override { return 0; }
  int32_t SelectCaptureDevice(IVideoCapDevice*) override { return 0; }
  int32_t StartCameraPreview(IVideoCapDevice*, IVideoRenderer*) override { return 0; }
  int32_t StopCameraPreview(IVideoCapDevice*, IVideoRenderer*) override { return 0; }
  int32_t ShowAdvancedSettingWindow(IVideoCapDevice*, int32_t, int32_t, void*) override { return 0; }
  int32_t RequestCloseOptionsWindow() override { return 0; }

  PatternPictureRenderers renderers;
};

// The picture cameras' controls: a brightness, as a real camera offers.
class PictureControls : public ICameraControlSource {
 public:
  std::vector<vz::CameraControl> List() override { return {vz::CameraControl{1, "Brightness", 0, 255, 1, 128, false, false, {}}}; }
  bool Get(uint32_t, int32_t* value) override {
    *value = 128;
    return true;
  }
  bool Set(uint32_t, int32_t) override { return true; }
};

VseResult MakePictureCameras(IVideoCapDeviceEnumerator** out) {
  static PictureCameras cameras;
  *out = &cameras;
  return VSE_S_OK;
}

std::optional<vz::Image> OptionsPicture(vz::HeadlessWindowSystem& system) {
  VideoDeviceFactories cameras{};
  cameras.make_device_enumerator = &MakePictureCameras;
  const VideoDeviceFactories* previous = SetVideoDeviceFactories(&cameras);
  vz::WindowSystem* previous_system = vz::WindowSystem::Current();
  vz::WindowSystem::SetCurrent(&system);
  PictureOptionsServices services;
  std::optional<vz::Image> picture;
  {
    CWinVideoOptionsWindow window(&services, &services, &services);
    window.open_controls = [](IVideoCapDevice*) -> std::unique_ptr<ICameraControlSource> {
      return std::make_unique<PictureControls>();
    };
    window.InitializeWindow(nullptr, nullptr);
    if (window.IsWindow()) {
      window.window()->Update();
      vz::Image client = system.Render(window.window());
      services.renderers.PaintViews(window.window(), client);
      picture = FramedWindowPicture(client, window.window()->GetTitle());
    }
    window.UninitializeWindow();
  }
  vz::WindowSystem::SetCurrent(previous_system);
  SetVideoDeviceFactories(previous);
  return picture;
}

// The thumbnail menu, as it paints itself, over the panel's picture,
// bottom-aligned at a point of a tile.
vz::Image WithMenu(const vz::Image& base, const std::vector<ThumbMenuItem>& items, vz::Point at) {
  CVzThumbMenu menu(items);
  const vz::Size size = menu.MenuSize();
  vz::Image drawn(size.width, size.height);
  menu.PaintMenu(*vz::CreateImageCanvas(drawn), -1);
  vz::Image out = base;
  vz::CreateImageCanvas(out)->DrawImage(drawn, at.x, at.y - size.height);
  return out;
}

std::optional<vz::Image> Draw(const std::string& name, vz::HeadlessWindowSystem& system) {
  if (name == "video-options") return OptionsPicture(system);
  vz::FakeClock clock(1000);
  const bool presenter = name.find("menu") != std::string::npos;
  auto panel = MakePanel(system, clock, presenter, name == "video-panel-small" ? vz::Size{642, 474} : vz::Size{960, 600});
  if (!panel) return std::nullopt;
  MainViewModel& model = *panel->mainView();
  if (name == "video-panel-page2") {
    model.strip().onNextSlide();
  } else if (name == "video-panel-collapsed") {
    model.onExpandCollapseButtonClicked();
  } else if (name == "video-panel-grid") {
    const int32_t grid[2] = {3, 3};
    model.setLayoutMode(kLayoutGrid, grid);
    model.setLayoutMode(kLayoutGrid, grid);
  } else if (name == "video-panel-idle") {
    clock.AdvanceMs(kOverlayIdleMs);
    model.onIdleTick(vz::Point{480, 200});
  } else if (name == "video-toolbar-invisible") {
    panel->panelToolbar()->setInvisibleMode();
  } else if (name == "video-toolbar-stopped") {
    panel->setMyVideoStatus(false);
    panel->panelToolbar()->setStatus(4);
  } else if (name == "video-fullscreen") {
    panel->toggleFullScreen();
  } else if (name == "video-panel-paused") {
    // The join still running (the animation over the large view), and the
    // participant of the second tile paused.
    model.showProgressingAnimation(true);
    if (model.strip().shownItems().size() > 1) {
      const VideoRosterInfo paused = model.strip().shownItems()[1]->record;
      model.setRosterVideoBlocked(&paused, true);
    }
  }
  panel->refresh();
  vz::Image picture = Shot(*panel, system);
  if (name == "video-menu-presenter" || name == "video-menu-spotlight") {
    ThumbTile* tile = model.strip().shownItems().size() > 1 ? model.strip().shownItems()[1] : nullptr;
    if (tile == nullptr) return picture;
    if (name == "video-menu-spotlight") {
      const VideoRosterInfo spotlit = tile->record;
      model.setSpotlightRoster(&spotlit);
      panel->refresh();
      picture = Shot(*panel, system);
      tile = model.strip().itemOf(spotlit.rosterId);
    }
    const std::vector<ThumbMenuItem> items = model.onThumbItemSingleTapped(tile);
    model.onCommand(0);
    const vz::Rect strip = model.layout().strip;
    picture = WithMenu(picture, items, {1 + strip.left + tile->rect.left + 40, kPictureTitleBar + strip.top + tile->rect.top + 40});
  }
  return picture;
}

const WindowPictureRegistration kRegistration(
    {"video-panel", "video-panel-small", "video-panel-page2", "video-panel-collapsed", "video-panel-grid",
     "video-panel-idle", "video-toolbar-invisible", "video-toolbar-stopped", "video-menu-presenter",
     "video-menu-spotlight", "video-fullscreen", "video-options", "video-panel-paused"},
    Draw);

}  // namespace
}  // namespace vzpanel
