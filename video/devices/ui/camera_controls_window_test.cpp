// The camera's own controls window, headless: a menu control shows its
// entries' names and steps from entry to entry, skipping the values its
// driver leaves out.
#include "video/devices/ui/camera_controls_window.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace vzpanel {
namespace {

// A camera with one named menu (values 0, 1 and 3; 2 is left out) and one
// menu its driver does not name.
class MenuControls : public ICameraControlSource {
 public:
  std::vector<vz::CameraControl> List() override {
    vz::CameraControl exposure{7, "Auto Exposure", 0, 3, 1, 3, false, true, {}};
    exposure.menu = {{0, "Manual Mode"}, {1, "Aperture Priority Mode"}, {3, "Shutter Priority Mode"}};
    vz::CameraControl unnamed{8, "Colorfx", 0, 15, 1, 0, false, true, {}};
    return {exposure, unnamed};
  }
  bool Get(uint32_t id, int32_t* value) override {
    *value = values[id];
    return true;
  }
  bool Set(uint32_t id, int32_t value) override {
    sets.push_back(std::to_string(id) + "=" + std::to_string(value));
    values[id] = value;
    return true;
  }
  std::map<uint32_t, int32_t> values{{7, 3}, {8, 2}};
  std::vector<std::string> sets;
};

class CameraControlsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(vzres::LoadResourceLibrary("vzres")); }
  void TearDown() override {
    window_.reset();
    vzres::UnloadResourceLibrary();
  }
  void Click(uint32_t id) { system_->ClickForTesting(window_->GetDlgItem(id)->window()->ToScreen({3, 3})); }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  std::unique_ptr<CCameraControlsWindow> window_;
};

TEST_F(CameraControlsWindowTest, AMenuShowsItsEntriesNamesAndStepsFromEntryToEntry) {
  auto source = std::make_unique<MenuControls>();
  MenuControls* controls = source.get();
  window_ = std::make_unique<CCameraControlsWindow>(std::move(source), u"Desk Camera");
  vz::WindowSystem::SetCurrent(system_.get());
  ASSERT_TRUE(window_->Create());
  vz::WindowSystem::SetCurrent(nullptr);
  const uint32_t exposure = CCameraControlsWindow::ValueId(0);
  EXPECT_EQ(window_->GetDlgItemText(exposure), u"Shutter Priority Mode");
  // Down from 3 to 1: the value 2 the driver leaves out is skipped.
  Click(CCameraControlsWindow::DownId(0));
  EXPECT_EQ(window_->GetDlgItemText(exposure), u"Aperture Priority Mode");
  Click(CCameraControlsWindow::DownId(0));
  EXPECT_EQ(window_->GetDlgItemText(exposure), u"Manual Mode");
  // Past the first entry nothing is asked.
  Click(CCameraControlsWindow::DownId(0));
  Click(CCameraControlsWindow::UpId(0));
  EXPECT_EQ(window_->GetDlgItemText(exposure), u"Aperture Priority Mode");
  // A menu without names shows its numbers.
  EXPECT_EQ(window_->GetDlgItemText(CCameraControlsWindow::ValueId(1)), u"2");
  Click(CCameraControlsWindow::UpId(1));
  EXPECT_EQ(window_->GetDlgItemText(CCameraControlsWindow::ValueId(1)), u"3");
  EXPECT_EQ(controls->sets, (std::vector<std::string>{"7=1", "7=0", "7=1", "8=3"}));
}

}  // namespace
}  // namespace vzpanel
