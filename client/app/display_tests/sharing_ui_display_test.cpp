// The sharing UI on a private X server: the presenter's panel and overlay
// come up, a participant's request for control is accepted by a real click
// on the consent question, that participant's remote click lands at the
// mapped point in a window under the click-through overlay, and the
// clean-up takes the panel and the overlay away. The selection window's
// thumbnails of the test's own windows carry the icons those windows
// publish, or the generic one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <vector>

#include "client/sharingui/ds_sharing_select_window.h"
#include "client/sharingui/ds_ui_controller.h"
#include "client/sharingui/recording_ds_ui_owner_testlib.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/run_loop.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_test_windows_testlib.h"
#include "platform/ui/display_window_test_testlib.h"
#include "platform/ui/headless.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "uikit/gdiplus_bitmap.h"

namespace {

using SharingUIOnDisplay = vz::DisplayWindowTest;

using namespace sharingui_testing;

class Target : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF208040);
  }
  void OnMouse(const vz::MouseEvent& e) override {
    if (e.action == vz::MouseAction::kPress) presses.push_back(e.position);
  }
  int paints = 0;
  std::vector<vz::Point> presses;
};

class NoThumbnails : public IThumbnailSource {
  vz::Image GrabScreen(const VzRect&) override { return vz::Image(8, 8); }
  std::u16string ProcessName(int32_t) override { return u""; }
};

DSCommandRecord From(const std::u16string& sender, int32_t type) {
  DSCommandRecord r;
  std::memset(&r, 0, sizeof(r));
  vz::CopyUtf16(r.SrcRosterId, 128, sender);
  vz::CopyUtf16(r.DstRosterId, 128, u"me");
  r.Type = type;
  return r;
}

TEST_F(SharingUIOnDisplay, ConsentByARealClickThenTheRemoteClickLandsAtTheMappedPoint) {
  ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
  vzres::SetResourceLanguage(vzres::kLanguageEnglish);
  std::unique_ptr<vz::InputInjector> injector = OpenInjector();
  ASSERT_TRUE(injector);

  Target target;
  auto window = ShowTopWindow(&target, vz::Rect::FromXYWH(600, 500, 300, 200), "presenter's application");
  ASSERT_TRUE(window);
  ASSERT_TRUE(RunUntil([&] { return target.paints > 0; }));

  RecordingOwner owner;
  owner.monitors.Monitors[0].Rect = {0, 0, 1280, 1024};
  owner.monitors.Monitors[0].LogicalRect = {0, 0, 1280, 1024};
  owner.AddRoster(u"p1", u"Pat One");
  owner.quick_start = true;
  CDSUIDialogs dialogs(system_.get());
  NoThumbnails thumbnails;
  auto ui = std::make_unique<CDSUIController>(
      CDSUIController::Ports{&owner, &dialogs, &thumbnails, injector.get(), system_.get(), nullptr});
  MeetConfig config{};
  config.AudioEnabled = 1;
  config.RemoteControlEnabled = 1;
  config.HeaderBgColor = 0xFF0084FF;
  config.HeaderTextColor = 0xFFFFFFFF;
  config.MetaInfoEnabled = 1;
  ui->updateMeetConfig(&config);
  ui->updateDSSessionStatus(2);  // quick start: the panel, the first monitor shared
  EXPECT_TRUE(ui->IsPanelVisible());
  SharingInfo info;
  std::memset(&info, 0, sizeof(info));
  info.SharedRect = {0, 0, 1280, 1024};
  info.MonitorCount = 1;
  info.Monitors[0] = owner.monitors.Monitors[0];
  info.Monitors[0].StateFlags |= 4;
  ui->updateDSSharingInfo(&info);
  ASSERT_TRUE(ui->overlay_for_testing().IsWindow());
  EXPECT_NE(ui->overlay_for_testing().window()->NativeId(), 0u);

  // The presenter answers the question with the mouse, once it is on the screen.
  bool clicked = false;
  loop_.StartTimer(&clicked, 1, 50, [&] {
    CDSRemoteControlDialog* question = CDSRemoteControlDialog::InnermostForTesting();
    if (clicked || question == nullptr || !question->window()->IsVisible()) return;
    system_->Sync();
    vz::Window* accept = question->GetDlgItem(1103)->window();
    injector->Click(accept->ToScreen({accept->bounds().Width() / 2, accept->bounds().Height() / 2}));
    injector->Sync();
    clicked = true;
  });
  DSCommandRecord request = From(u"p1", DSCommandRequestControl);
  ui->updateDSCommand(&request);
  loop_.KillTimer(&clicked, 1);
  ASSERT_TRUE(clicked);
  EXPECT_EQ(owner.controller, u"p1");

  // The display has the question gone and the overlay's click-through shape
  // before the participant's left click at (650, 560) of the shared monitor.
  system_->Sync();
  DSCommandRecord input = From(u"p1", 40);
  input.MouseType = 20;
  input.MouseMonitorId = 1;
  input.MouseX = 650;
  input.MouseY = 560;
  ui->updateDSCommand(&input);
  EXPECT_TRUE(ui->overlay_for_testing().IsClickThroughForTesting());
  ASSERT_TRUE(RunUntil([&] { return !target.presses.empty(); }));
  EXPECT_EQ(target.presses[0], (vz::Point{50, 60}));

  ui->cleanUp();
  EXPECT_FALSE(ui->overlay_for_testing().IsWindow());
  EXPECT_EQ(ui->window(), nullptr);
  ui.reset();
  vzres::UnloadResourceLibrary();
}

std::vector<uint32_t> SolidIcon(uint32_t side, uint32_t argb) {
  std::vector<uint32_t> items{side, side};
  items.insert(items.end(), static_cast<size_t>(side) * side, argb);
  return items;
}

TEST_F(SharingUIOnDisplay, WindowThumbnailsCarryTheIconsTheWindowsPublish) {
  ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
  vzres::SetResourceLanguage(vzres::kLanguageEnglish);
  std::unique_ptr<vz::X11TestWindows> windows = vz::X11TestWindows::Open(display());
  ASSERT_TRUE(windows);
  // One window of no known process publishes a 16 and a 48 pixel icon; one
  // of this test's process publishes none.
  const uint64_t with_icons = windows->Create(40, 40, 300, 200, 0x2060A0, 0);
  const uint64_t without = windows->Create(400, 40, 300, 200, 0xA06020, static_cast<int>(getpid()));
  ASSERT_NE(with_icons, 0u);
  ASSERT_NE(without, 0u);
  std::vector<uint32_t> icons = SolidIcon(16, 0xFFFF0000);
  const std::vector<uint32_t> large = SolidIcon(48, 0xFF00FF00);
  icons.insert(icons.end(), large.begin(), large.end());
  windows->SetIcons(with_icons, icons);

  std::unique_ptr<vz::ScreenSource> screen = vz::OpenX11ScreenSource({display(), true});
  ASSERT_TRUE(screen);
  CScreenThumbnailSource thumbnails(screen.get());
  std::unique_ptr<vz::HeadlessWindowSystem> system = vz::HeadlessWindowSystem::Create({1280, 1024});
  CDSSharingSelectWindow select(&thumbnails, [](uint32_t) {});
  ASSERT_TRUE(select.CreateWindow(system.get()));
  ApplicationList list;
  std::memset(&list, 0, sizeof(list));
  const struct {
    uint64_t id;
    VzRect rect;
    int32_t pid;
  } records[] = {{without, {400, 40, 700, 240}, static_cast<int32_t>(getpid())}, {with_icons, {40, 40, 340, 240}, 0}};
  for (const auto& record : records) {
    ApplicationInfo& app = list.Applications[list.Count++];
    app.Window = static_cast<VzWindowHandle>(record.id);
    app.Rect = record.rect;
    app.ProcessId = record.pid;
    vz::CopyUtf16(app.Title, 128, u"window");
  }
  select.setWindowsInfo(&list);  // items in reverse: the one with icons first
  ASSERT_EQ(select.list()->GetItemCount(), 2);
  const vz::Image& own = select.list()->GetItem(0).image;
  EXPECT_EQ(own.GetPixel(0, 160), 0xFF00FF00u);  // of two as near 32, the larger, shrunk into the cell
  EXPECT_EQ(own.GetPixel(31, 191), 0xFF00FF00u);
  EXPECT_EQ(own.GetPixel(96, 96), 0xFF2060A0u);  // the window's own pixels from the screen
  CGdiPlusBitmapResource generic;
  ASSERT_TRUE(generic.Load(vzres::IDB_PROGRAM_ICON));
  const vz::Image& plain = select.list()->GetItem(1).image;
  for (const vz::Point p : {vz::Point{16, 7}, vz::Point{4, 20}, vz::Point{16, 20}}) {
    EXPECT_EQ(plain.GetPixel(p.x, 160 + p.y), generic.bitmap()->GetPixel(p.x, p.y)) << p.x << "," << p.y;
  }
  windows.reset();
  vzres::UnloadResourceLibrary();
}

}  // namespace
