// The camera options window with fake cameras, services and host, headless:
// the first camera previewed when none is current, hot-plug, two cameras of
// one name, OK and Cancel, the drop-down list.
#include "video/devices/ui/video_options_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"
#include "video/devices/ui/panel_test_support.h"
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
  ASSERT_NE(window_->renderer(), nullptr);
  EXPECT_TRUE(static_cast<testing::FakeRenderer*>(window_->renderer())->mirror);
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
  system_->Click(window_->GetDlgItem(IDOK)->window()->ToScreen({5, 5}));
  EXPECT_EQ(log_, (Log{"stop usb-2", "select usb-2", "close"}));
}

TEST_F(OptionsWindowTest, CancelLeavesTheControllersCameraAlone) {
  vz::WindowSystem::SetCurrent(system_.get());
  Open(&a_);
  vz::WindowSystem::SetCurrent(nullptr);
  window_->cameraList()->ChooseRow(1);
  log_.clear();
  system_->Click(window_->GetDlgItem(IDCANCEL)->window()->ToScreen({5, 5}));
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

}  // namespace
}  // namespace vzpanel
