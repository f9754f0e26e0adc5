// The camera options window with fake cameras, services and host, headless:
// the first camera previewed when none is current, hot-plug, two cameras of
// one name, OK and Cancel, the drop-down list.
#include "video/devices/ui/video_options_window.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"
#include "video/devices/ui/panel_testlib.h"
#include "video/engine/core/video_factories.h"

namespace vzpanel {
namespace {

using Log = std::vector<std::string>;

// Cameras told apart by their unique name; counts kept so leaks show.
class FakeCamera : public IVideoCapDevice {
 public:
  FakeCamera(std::u16string unique, std::u16string display) : unique_(std::move(unique)), display_(std::move(display)) {}
  int32_t AddRef() override { return ++refs; }
  int32_t Release() override { return --refs; }
  int32_t GetRefCount() override { return refs; }
  VseResult QueryInterface(const VseGuid*, void** out) override {
    if (out != nullptr) *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  int32_t GetDeviceType() override { return 0; }
  const char16_t* GetUniqueName() override { return unique_.c_str(); }
  const char16_t* GetDisplayName() override { return display_.c_str(); }
  VseResult GetCapability(int32_t, VideoFormat*) override { return 1; }
  bool IsSameDevice(IVideoCapDevice* other) override { return other != nullptr && unique_ == other->GetUniqueName(); }
  bool IsHardwareDevice() override { return true; }
  bool IsSoftwareDevice() override { return false; }
  bool RemoveCapability(const VideoFormat&) override { return false; }
  std::string name() const { return std::string(unique_.begin(), unique_.end()); }
  int refs = 0;

 private:
  std::u16string unique_;
  std::u16string display_;
};

std::vector<FakeCamera*> g_plugged;

class FakeEnumerator : public IVideoCapDeviceEnumerator {
 public:
  int32_t AddRef() override { return ++refs; }
  int32_t Release() override {
    if (--refs == 0) {
      delete this;
      return 0;
    }
    return refs;
  }
  int32_t GetRefCount() override { return refs; }
  VseResult QueryInterface(const VseGuid*, void** out) override {
    if (out != nullptr) *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  IVideoCapDevice* GetNextDevice() override { return at_ < devices_.size() ? devices_[at_++] : nullptr; }
  bool ContainsDevice(IVideoCapDevice* d) override { return std::find(devices_.begin(), devices_.end(), d) != devices_.end(); }
  void Reset() override { at_ = 0; }
  int refs = 0;

 private:
  std::vector<FakeCamera*> devices_ = g_plugged;
  size_t at_ = 0;
};

VseResult MakeEnumerator(IVideoCapDeviceEnumerator** out) {
  auto* e = new FakeEnumerator();
  e->AddRef();
  *out = e;
  return VSE_S_OK;
}

class Services : public IVideoOptionsSink, public IVideoOptionsHost {
 public:
  explicit Services(Log* log) : log_(log) {}
  int32_t SelectCaptureDevice(IVideoCapDevice* d) override { return Add("select " + Name(d)); }
  int32_t StartCameraPreview(IVideoCapDevice* d, IVideoRenderer*) override { return Add("start " + Name(d)); }
  int32_t StopCameraPreview(IVideoCapDevice* d, IVideoRenderer*) override { return Add("stop " + Name(d)); }
  int32_t ShowAdvancedSettingWindow(IVideoCapDevice* d, int32_t, int32_t, void*) override {
    return Add("settings " + Name(d));
  }
  int32_t RequestCloseOptionsWindow() override { return Add("close"); }

 private:
  static std::string Name(IVideoCapDevice* d) { return static_cast<FakeCamera*>(d)->name(); }
  int32_t Add(const std::string& line) {
    log_->push_back(line);
    return 0;
  }
  Log* log_;
};

// A camera's controls: brightness 0..255 step 16, an on/off control, and
// a control whose driver keeps its value where it likes (it refuses above 3).
class FakeControls : public ICameraControlSource {
 public:
  explicit FakeControls(Log* log) : log_(log) {}
  std::vector<vz::CameraControl> List() override {
    vz::CameraControl brightness{1, "Brightness", 0, 255, 16, 128, false, false, {}};
    vz::CameraControl automatic{2, "White Balance, Automatic", 0, 1, 1, 1, true, false, {}};
    vz::CameraControl fussy{3, "Power Line Frequency", 0, 10, 1, 0, false, true, {}};
    return {brightness, automatic, fussy};
  }
  bool Get(uint32_t id, int32_t* value) override {
    *value = values_[id];
    return true;
  }
  bool Set(uint32_t id, int32_t value) override {
    log_->push_back("set " + std::to_string(id) + "=" + std::to_string(value));
    if (id == 3 && value > 3) return false;
    values_[id] = value;
    return true;
  }

 private:
  Log* log_;
  std::map<uint32_t, int32_t> values_{{1, 248}, {2, 1}, {3, 3}};
};

class OptionsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    factories_.make_device_enumerator = &MakeEnumerator;
    previous_ = SetVideoDeviceFactories(&factories_);
    g_plugged = {&a_, &b_};
  }
  void TearDown() override {
    window_.reset();
    SetVideoDeviceFactories(previous_);
    g_plugged.clear();
    for (FakeCamera* camera : {&a_, &b_, &c_}) EXPECT_EQ(camera->refs, 0) << camera->name();
    vzres::UnloadResourceLibrary();
  }
  void Open(IVideoCapDevice* current) {
    window_ = std::make_unique<CWinVideoOptionsWindow>(&services_, &render_, &services_);
    window_->open_controls = [this](IVideoCapDevice* device) -> std::unique_ptr<ICameraControlSource> {
      if (device == &c_) return nullptr;  // a camera without controls of its own
      return std::make_unique<FakeControls>(&log_);
    };
    window_->InitializeWindow(nullptr, current);
    ASSERT_TRUE(window_->IsWindow());
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  VideoDeviceFactories factories_{};
  const VideoDeviceFactories* previous_ = nullptr;
  FakeCamera a_{u"usb-1", u"Desk Camera"};
  FakeCamera b_{u"usb-2", u"Desk Camera"};  // a second unit of the same model
  FakeCamera c_{u"usb-3", u"Other Camera"};
  Log log_;
  Services services_{&log_};
  testing::FakeRenderService render_;
  std::unique_ptr<CWinVideoOptionsWindow> window_;
};

TEST_F(OptionsWindowTest, WithNoCurrentCameraTheFirstIsListedAndPreviewedMirrored) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(nullptr);
  vz::WindowSystem::SetCurrent(nullptr);
  EXPECT_EQ(window_->current(), &a_);
  EXPECT_EQ(log_, Log{"start usb-1"});
  ASSERT_NE(window_->cameraList(), nullptr);
  EXPECT_EQ(window_->cameraList()->GetCount(), 2);
  EXPECT_EQ(window_->cameraList()->GetCurSel(), 0);
  ASSERT_NE(window_->rendererForTesting(), nullptr);
  EXPECT_TRUE(static_cast<testing::FakeRenderer*>(window_->rendererForTesting())->mirror);
  EXPECT_EQ(window_->window()->GetTitle(), vz::Utf16ToUtf8(vzres::LoadResString(vzres::IDS_OPTIONS_TITLE)));
}

TEST_F(OptionsWindowTest, TheSecondOfTwoSameNamedCamerasCanBeChosenAndOkAppliesIt) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(&a_);
  vz::WindowSystem::SetCurrent(nullptr);
  log_.clear();
  window_->cameraList()->ChooseRow(1);
  EXPECT_EQ(window_->current(), &b_);
  EXPECT_EQ(log_, (Log{"stop usb-1", "start usb-2"}));
  log_.clear();
  // OK applies the row's own camera.
  system_->ClickForTesting(window_->GetDlgItem(IDOK)->window()->ToScreen({5, 5}));
  EXPECT_EQ(log_, (Log{"stop usb-2", "select usb-2", "close"}));
}

TEST_F(OptionsWindowTest, CancelLeavesTheControllersCameraAlone) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(&a_);
  vz::WindowSystem::SetCurrent(nullptr);
  window_->cameraList()->ChooseRow(1);
  log_.clear();
  system_->ClickForTesting(window_->GetDlgItem(IDCANCEL)->window()->ToScreen({5, 5}));
  EXPECT_EQ(log_, Log{"close"});
}

TEST_F(OptionsWindowTest, PullingOutThePreviewedCameraPreviewsTheFirstRemainingOne) {
  vz::WindowSystem::SetCurrent(system_.get());
  g_plugged = {&a_, &b_, &c_};
  Open(&b_);
  vz::WindowSystem::SetCurrent(nullptr);
  log_.clear();
  // Another camera goes: only the list changes.
  g_plugged = {&a_, &b_};
  window_->OnCameraModify(&c_, 1);
  EXPECT_TRUE(std::find(log_.begin(), log_.end(), "stop usb-2") == log_.end());
  EXPECT_EQ(window_->cameraList()->GetCount(), 2);
  EXPECT_EQ(window_->current(), &b_);
  // The previewed one goes.
  log_.clear();
  g_plugged = {&a_};
  window_->OnCameraModify(&b_, 1);
  EXPECT_EQ(log_, (Log{"stop usb-2", "start usb-1"}));
  EXPECT_EQ(window_->current(), &a_);
  EXPECT_EQ(window_->cameraList()->GetCount(), 1);
  EXPECT_EQ(window_->OnCameraModify(nullptr, 0), -1);
}

TEST_F(OptionsWindowTest, ClosingStopsThePreviewAndLetsEverythingGo) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(nullptr);
  vz::WindowSystem::SetCurrent(nullptr);
  log_.clear();
  window_->UninitializeWindow();
  EXPECT_EQ(log_, Log{"stop usb-1"});
  EXPECT_TRUE(render_.live.empty());
  EXPECT_FALSE(window_->IsWindow());
  EXPECT_EQ(a_.refs, 0);
}

// The settings button opens the camera's own controls; each step is set on
// the camera and the value read back, within the control's range.
TEST_F(OptionsWindowTest, TheCamerasControlsAreSteppedWithinTheirRangeAndReadBack) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(&a_);
  vz::WindowSystem::SetCurrent(nullptr);
  log_.clear();
  system_->ClickForTesting(window_->GetDlgItem(CWinVideoOptionsWindow::kSettings)->window()->ToScreen({5, 5}));
  CCameraControlsWindow* controls = window_->controlsWindowForTesting();
  ASSERT_NE(controls, nullptr);
  ASSERT_EQ(controls->controlsForTesting().size(), 3u);
  EXPECT_EQ(controls->window()->GetTitle(), "Desk Camera");
  EXPECT_EQ(controls->GetDlgItemText(CCameraControlsWindow::NameId(0)), u"Brightness");
  EXPECT_EQ(controls->GetDlgItemText(CCameraControlsWindow::ValueId(0)), u"248");
  auto click = [&](uint32_t id) { system_->ClickForTesting(controls->GetDlgItem(id)->window()->ToScreen({3, 3})); };
  // 248 + 16 stops at the top of the range; a second step asks nothing.
  click(CCameraControlsWindow::UpId(0));
  click(CCameraControlsWindow::UpId(0));
  EXPECT_EQ(controls->GetDlgItemText(CCameraControlsWindow::ValueId(0)), u"255");
  click(CCameraControlsWindow::DownId(0));
  EXPECT_EQ(controls->shownValueForTesting(0), 239);
  // The on/off control is a check box.
  ASSERT_NE(controls->GetDlgItemAs<CCheckBox>(CCameraControlsWindow::CheckId(1)), nullptr);
  EXPECT_TRUE(controls->GetDlgItemAs<CCheckBox>(CCameraControlsWindow::CheckId(1))->GetCheck());
  controls->GotoDlgCtrl(CCameraControlsWindow::CheckId(1));
  system_->SendKey(vz::keys::kSpace, " ");
  EXPECT_EQ(controls->shownValueForTesting(1), 0);
  // A refused value leaves the camera's own shown.
  click(CCameraControlsWindow::UpId(2));
  EXPECT_EQ(controls->shownValueForTesting(2), 3);
  EXPECT_EQ(log_, (Log{"set 1=255", "set 1=239", "set 2=0", "set 3=4"}));
}

// The controls window belongs to the previewed camera and closes before the
// options window; for a camera without controls the button is disabled.
TEST_F(OptionsWindowTest, TheControlsWindowClosesWithItsCameraAndBeforeTheOptionsWindow) {
  g_plugged = {&a_, &b_, &c_};
  vz::WindowSystem::SetCurrent(system_.get());
  Open(&a_);
  vz::WindowSystem::SetCurrent(nullptr);
  auto settings = [&] {
    system_->ClickForTesting(window_->GetDlgItem(CWinVideoOptionsWindow::kSettings)->window()->ToScreen({5, 5}));
  };
  settings();
  ASSERT_NE(window_->controlsWindowForTesting(), nullptr);
  std::shared_ptr<const bool> alive = window_->controlsWindowForTesting()->window()->Alive();
  window_->cameraList()->ChooseRow(1);
  EXPECT_FALSE(*alive);
  EXPECT_EQ(window_->controlsWindowForTesting(), nullptr);
  // The same camera chosen again keeps its window.
  settings();
  ASSERT_NE(window_->controlsWindowForTesting(), nullptr);
  window_->cameraList()->ChooseRow(1);
  EXPECT_NE(window_->controlsWindowForTesting(), nullptr);
  // No controls of its own: the button is disabled and a click does nothing.
  CVzControl* button = window_->GetDlgItem(CWinVideoOptionsWindow::kSettings);
  EXPECT_TRUE(button->IsWindowEnabled());
  window_->cameraList()->ChooseRow(2);
  EXPECT_FALSE(button->IsWindowEnabled());
  log_.clear();
  settings();
  EXPECT_EQ(window_->controlsWindowForTesting(), nullptr);
  EXPECT_EQ(log_, Log{});
  // Closing the options window with the controls open closes them first.
  window_->cameraList()->ChooseRow(0);
  EXPECT_TRUE(button->IsWindowEnabled());
  settings();
  ASSERT_NE(window_->controlsWindowForTesting(), nullptr);
  alive = window_->controlsWindowForTesting()->window()->Alive();
  window_->UninitializeWindow();
  EXPECT_FALSE(*alive);
  EXPECT_FALSE(window_->IsWindow());
}

}  // namespace
}  // namespace vzpanel
