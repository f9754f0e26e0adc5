#include "client/app/window_pictures.h"

#include <cstdlib>
#include <memory>

#include "client/app/annotation_pictures.h"
#include "client/app/language_table.h"
#include "client/app/network_proxy_setting_window.h"
#include "client/app/startup_connecting_dlg.h"
#include "client/sharingui/ds_floating_panel_window.h"
#include "client/sharingui/ds_remote_control_dialog.h"
#include "client/sharingui/ds_sharing_select_window.h"
#include "client/sharingui/panel_geometry.h"
#include "client/sharingui/tool_menus.h"
#include "uikit/vz_popup_menu.h"
#include "uikit/window_helpers.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "uikit/window_picture_registry.h"

namespace {

uint32_t LanguageOf(const std::string& language) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(language.c_str(), &end, 10);
  if (end != language.c_str() && *end == '\0' && id > 0) return static_cast<uint32_t>(id);
  return LanguageIdForText(vz::Utf8ToUtf16(language).c_str());
}

// Makes a dialog modeless on the headless system and takes its picture.
std::optional<vz::Image> PictureOf(CVzDialog& dialog, vz::HeadlessWindowSystem& system) {
  if (!dialog.Create(nullptr, &system)) return std::nullopt;
  vz::Window* window = dialog.window();
  window->Update();
  const vz::Image client = system.Render(window);
  return FramedWindowPicture(client, window->GetTitle());
}

// The panel's mouse menu as the sharing tools show it, an item selected.
vz::Image MenuPicture() {
  CDSMousePopupMenu menu;
  menu.SetBackgroundColor(0x212121);
  menu.AppendMenu(MF_STRING, 1, vzres::LoadResString(vzres::IDS_TOOL_POINTER).c_str(), vzres::IDB_TOOL_POINTER,
                  vzres::IDB_TOOL_POINTER, 0xFFFFFF);
  menu.AppendMenu(MF_STRING | MF_CHECKED, 2, vzres::LoadResString(vzres::IDS_TOOL_PEN).c_str(), vzres::IDB_TOOL_PEN,
                  vzres::IDB_TOOL_PEN);
  menu.AppendMenu(MF_STRING, 3, vzres::LoadResString(vzres::IDS_TOOL_HIGHLIGHTER).c_str(),
                  vzres::IDB_TOOL_HIGHLIGHTER);
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(MF_STRING, 4, vzres::LoadResString(vzres::IDS_CLEAR_MINE).c_str(), vzres::IDB_SHAPE_LINE);
  menu.AppendMenu(MF_STRING | MF_GRAYED, 5, vzres::LoadResString(vzres::IDS_CLEAR_ALL).c_str(),
                  vzres::IDB_SHAPE_RECTANGLE);
  const vz::Size size = menu.MenuSize();
  vz::Image image(size.width, size.height);
  auto canvas = vz::CreateImageCanvas(image);
  menu.PaintMenu(*canvas, 2);
  return image;
}

// One of the sharing tools' menus as the program shows it, an item selected.
vz::Image ToolMenuPicture(const std::string& name) {
  CDSMousePopupMenu menu;
  int selected = 0;
  if (name == "menu-weight") {
    BuildWeightMenu(menu, 0x0000FF);  // a red pen
    selected = 1;
  } else if (name == "menu-shapes") {
    BuildShapesMenu(menu);
    selected = 3;
  } else if (name == "menu-clear") {
    BuildEraserMenu(menu, 3);
    selected = 2;
  } else if (name == "menu-control") {
    BeginControlMenu(menu, true, 0x9A572B, 9499);
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu.AppendMenu(MF_STRING, 9001, u"Ann Example", vzres::IDB_CONTROL_ON, 0, 0x9A572B);
    menu.AppendMenu(MF_STRING, 9002, u"Bo Sample");
    selected = 3;
  } else {  // menu-control-nobody
    BeginControlMenu(menu, false, 0, 9499);
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu.AppendMenu(MF_STRING, 9002, u"Bo Sample");
    selected = 2;
  }
  const vz::Size size = menu.MenuSize();
  vz::Image image(size.width, size.height);
  auto canvas = vz::CreateImageCanvas(image);
  menu.PaintMenu(*canvas, selected);
  return image;
}

// Proxy settings over a proxy with stored credentials.
class FilledProxyDialog {
 public:
  FilledProxyDialog() : logic_(&entry_, 1), window_(&logic_) {
    vz::CopyUtf16(entry_.Host, 128, u"proxy.example.com");
    entry_.Port = 8080;
    entry_.HttpProxy = 1;
    vz::CopyUtf16(entry_.UserName, 128, u"alice");
    vz::CopyUtf16(entry_.Password, 128, u"secret");
  }
  CVzDialog& dialog() { return window_; }

 private:
  NetworkProxyEntry entry_{};
  CNetworkProxySettingDlg logic_;
  CNetworkProxySettingWindow window_;
};

// The panel as sharing shows it, with nothing to do on its buttons.
class PicturePanel : public CDSFloatingPanelWindow {
 public:
  void OnPopupMenuCommandClicked(int, uint32_t) override {}
};

// The top of a desktop with the panel on it: shown, or slid up so that only
// its tab with the meeting id and the Stop button shows.
std::optional<vz::Image> PanelPicture(vz::HeadlessWindowSystem& system, bool slid_up, bool id_hidden) {
  PicturePanel panel;
  if (!panel.CreatePanel(&system)) return std::nullopt;
  for (uint32_t id : {vzres::IDC_PANEL_AUDIO, vzres::IDC_PANEL_SHARE, vzres::IDC_PANEL_CONTROL,
                      vzres::IDC_PANEL_ANNOTATE}) {
    panel.Button(id)->EnableWindow(true);
  }
  panel.Button(vzres::IDC_PANEL_AUDIO)->SetImageState(3);
  for (uint32_t id : {vzres::IDC_PANEL_SHARE, vzres::IDC_PANEL_LASER, vzres::IDC_PANEL_ANNOTATE}) {
    panel.Button(id)->SetImageState(2);
  }
  panel.SetRemoteControlIndicator(true);
  panel.SetMeetingIdText(id_hidden ? vzres::LoadResString(vzres::IDS_MEETING_INFO_HIDDEN) : u"123 456 789");
  panel.ShowPanel(true);
  vz::Window* window = panel.window();
  window->Update();
  const vz::Image& pixels = system.Render(window);
  const vz::WindowRegion region = panel_geometry::PanelRegion(pixels.width(), pixels.height());
  const int top = slid_up ? panel_geometry::kHiddenTop : 0;
  vz::Image desktop(pixels.width() + 40, pixels.height() + 30);
  auto canvas = vz::CreateImageCanvas(desktop);
  canvas->FillRect({0, 0, desktop.width(), desktop.height()}, 0xFF3C6E91);
  for (int y = 0; y < pixels.height(); ++y) {
    for (int x = 0; x < pixels.width(); ++x) {
      if (!panel_geometry::RegionContains(region, {x, y})) continue;
      const vz::Color pixel = pixels.GetPixel(x, y);
      const vz::Color under = desktop.GetPixel(20 + x, top + y);
      const int a = vz::ColorA(pixel);
      auto mix = [a](int over, int below) { return static_cast<uint8_t>((over * a + below * (255 - a)) / 255); };
      desktop.SetPixel(20 + x, top + y,
                       vz::MakeColor(mix(vz::ColorR(pixel), vz::ColorR(under)),
                                     mix(vz::ColorG(pixel), vz::ColorG(under)),
                                     mix(vz::ColorB(pixel), vz::ColorB(under))));
    }
  }
  return desktop;
}

// A made-up desktop of two monitors with a few windows on it.
class PictureDesktop : public IThumbnailSource {
 public:
  PictureDesktop() : desktop_(3200, 1080) {
    auto canvas = vz::CreateImageCanvas(desktop_);
    canvas->FillRect({0, 0, 1920, 1080}, 0xFF2F6F8F);
    canvas->FillRect({1920, 0, 3200, 1080}, 0xFF4A3F6B);
    canvas->FillRect({0, 1040, 1920, 1080}, 0xFF202020);  // a task bar
    for (const auto& [rect, colour] : kWindows) {
      canvas->FillRect(rect, 0xFFF0F0F0);
      canvas->FillRect({rect.left, rect.top, rect.right, rect.top + 30}, colour);
    }
  }
  vz::Image GrabScreen(const VzRect& r) override {
    vz::Image out(r.right - r.left, r.bottom - r.top);
    auto canvas = vz::CreateImageCanvas(out);
    canvas->DrawImage(desktop_, -r.left, -r.top);
    return out;
  }
  std::u16string ProcessName(int32_t) override { return u"editor"; }
  // The first two windows publish icons (one larger than the thumbnail's,
  // one of its size); the third publishes none and shows the generic one.
  std::vector<vz::ScreenIcon> WindowIcons(VzWindowHandle window) override {
    if (window == 0x400001) return {Icon(16, 0xFF3B82F6), Icon(48, 0xFF3B82F6)};
    if (window == 0x400002) return {Icon(32, 0xFF10B981)};
    return {};
  }

  static constexpr std::pair<vz::Rect, vz::Color> kWindows[] = {
      {{200, 150, 1100, 800}, 0xFF3B82F6},
      {{900, 300, 1700, 900}, 0xFF10B981},
      {{2100, 100, 3000, 700}, 0xFFF59E0B},
  };

 private:
  // A rounded tile of the program's colour with a white page on it.
  static vz::ScreenIcon Icon(int side, vz::Color colour) {
    vz::Image image(side, side);
    auto canvas = vz::CreateImageCanvas(image);
    canvas->FillRoundRect({0, 0, side, side}, side / 6, colour);
    canvas->FillRect({side / 4, side / 5, side * 3 / 4, side * 4 / 5}, 0xFFFFFFFF);
    vz::ScreenIcon icon{side, side, {}};
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) icon.argb.push_back(image.GetPixel(x, y));
    return icon;
  }
  vz::Image desktop_;
};

std::optional<vz::Image> SelectPicture(vz::HeadlessWindowSystem& system, bool waiting) {
  PictureDesktop desktop;
  CDSSharingSelectWindow window(&desktop, [](uint32_t) {});
  if (!window.CreateWindow(&system)) return std::nullopt;
  MonitorList monitors{};
  const VzRect monitor_rects[] = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1080}};
  for (int i = 0; i < 2; ++i) {
    MonitorInfo& m = monitors.Monitors[monitors.Count++];
    m.MonitorId = i + 1;
    m.Rect = monitor_rects[i];
    m.LogicalRect = monitor_rects[i];
    m.StateFlags = i == 0 ? 7 : 2;  // the first one is shared now
    m.DpiScale = 1.0f;
  }
  ApplicationList windows{};
  const char16_t* titles[] = {u"Quarterly report", u"Team notes", u"Slides"};
  for (int i = 2; i >= 0; --i) {
    ApplicationInfo& a = windows.Applications[windows.Count++];
    const vz::Rect& r = PictureDesktop::kWindows[i].first;
    a.Rect = {r.left, r.top, r.right, r.bottom};
    a.Window = 0x400001 + i;
    vz::CopyUtf16(a.Title, 128, titles[i]);
  }
  window.setMonitorsInfo(&monitors);
  window.setWindowsInfo(&windows);
  window.Show(true);
  window.list()->SetSelectedIndex(1);
  if (waiting) window.showStatusLabel(vzres::LoadResString(vzres::IDS_SELECT_WAITING).c_str());
  window.window()->Update();
  return FramedWindowPicture(system.Render(window.window()), window.window()->GetTitle());
}

}  // namespace

std::vector<std::string> WindowPictureNames() {
  std::vector<std::string> names = {"connecting",   "proxy",        "proxy-filled",      "menu",
                                    "menu-control", "menu-control-nobody", "menu-weight", "menu-shapes",
                                    "menu-clear",   "message-box",  "panel",             "panel-slid-up",
                                    "panel-id-hidden", "consent",   "select",            "select-waiting"};
  for (const std::string& name : AnnotationPictureNames()) names.push_back(name);
  for (const std::string& name : RegisteredWindowPictureNames()) names.push_back(name);
  return names;
}

std::optional<vz::Image> RenderWindowPicture(const std::string& name, const std::string& language) {
  const uint32_t previous_language = vzres::GetResourceLanguage();
  vzres::SetResourceLanguage(LanguageOf(language));
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  std::unique_ptr<vz::HeadlessWindowSystem> system = vz::HeadlessWindowSystem::Create({1280, 800});
  std::optional<vz::Image> picture;
  if (name == "connecting") {
    CStartupConnectingDlg dialog([] {});
    picture = PictureOf(dialog, *system);
  } else if (name == "proxy") {
    CNetworkProxySettingDlg logic(nullptr, 1);
    CNetworkProxySettingWindow dialog(&logic);
    picture = PictureOf(dialog, *system);
  } else if (name == "proxy-filled") {
    FilledProxyDialog filled;
    picture = PictureOf(filled.dialog(), *system);
  } else if (name == "menu") {
    picture = MenuPicture();
  } else if (name == "menu-control" || name == "menu-control-nobody" || name == "menu-weight" ||
             name == "menu-shapes" || name == "menu-clear") {
    picture = ToolMenuPicture(name);
  } else if (name == "message-box") {
    const std::u16string text = vzres::LoadResString(vzres::IDS_STOP_SHARING_QUESTION);
    const std::u16string caption = vzres::LoadResString(vzres::IDS_STOP_SHARING);
    // The stop question as the panel asks it: a warning kept above everything.
    constexpr uint32_t kStopQuestion = MB_TOPMOST | MB_ICONWARNING | MB_YESNO;
    const std::unique_ptr<CVzDialog> dialog = MakeMessageBox(text, caption, kStopQuestion);
    picture = PictureOf(*dialog, *system);
  } else if (name == "panel" || name == "panel-slid-up" || name == "panel-id-hidden") {
    picture = PanelPicture(*system, name == "panel-slid-up", name == "panel-id-hidden");
  } else if (name == "select" || name == "select-waiting") {
    picture = SelectPicture(*system, name == "select-waiting");
  } else if (name == "consent") {
    CDSRemoteControlDialog dialog(RemoteControlRequestText(u"Ann Example"), uint16_t{vzres::IDS_CONSENT_ALLOW},
                                  uint16_t{vzres::IDS_CONSENT_REFUSE}, vzres::IDB_CONSENT_ASK);
    picture = PictureOf(dialog, *system);
  } else if (name.rfind("annotation-", 0) == 0) {
    picture = RenderAnnotationPicture(name, *system);
  } else if (std::optional<vz::Image> registered = RenderRegisteredWindowPicture(name, *system)) {
    picture = std::move(registered);
  } else if (name.rfind("dialog-", 0) == 0) {
    CVzDialog dialog(static_cast<uint32_t>(std::strtoul(name.c_str() + 7, nullptr, 10)));
    picture = PictureOf(dialog, *system);
  } else {
    VZ_LOG_ERROR("no window named [%s]", name.c_str());
  }
  vzres::SetResourceLanguage(previous_language);
  return picture;
}
