// A popup menu on a private X server: clicked through XTest, and cancelled.
#include <gtest/gtest.h>

#include "uikit/vz_popup_menu.h"
#include "outside/vzres/vzres.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace {

class PopupMenuOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    system_ = vz::OpenDisplayWindowSystem(env_.display().c_str());
    ASSERT_TRUE(system_);
    injector_ = vz::InputInjector::Open(env_.display().c_str());
    ASSERT_TRUE(injector_);
    menu_.SetBackgroundColor(0x212121);
    menu_.SetItemMetrics(148, 28, 0);
    menu_.AppendMenu(MF_STRING, 101, u"Clear my drawings");
    menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu_.AppendMenu(MF_STRING, 102, u"Clear all drawings");
  }
  void TearDown() override { system_.reset(); }

  // Runs `input` from inside the menu's loop, once the display has the menu.
  uint32_t Track(std::function<void()> input) {
    loop_.Post([this, input = std::move(input)] {
      system_->Sync();
      input();
      injector_->Sync();
    });
    return menu_.TrackPopupMenu({200, 200}, system_.get());
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system_;
  std::unique_ptr<vz::InputInjector> injector_;
  CDSMousePopupMenu menu_;
};

TEST_F(PopupMenuOnDisplay, AClickedItemIsReturned) {
  // Second item: 200 + 28 + 12 and a little.
  EXPECT_EQ(Track([this] {
              injector_->MoveTo({260, 250});
              injector_->Click({260, 250});
            }),
            102u);
}

TEST_F(PopupMenuOnDisplay, EscAndAClickOutsideReturnZero) {
  EXPECT_EQ(Track([this] { injector_->Tap(vz::keys::kEscape); }), 0u);
  EXPECT_EQ(Track([this] { injector_->Click({900, 900}); }), 0u);
}

}  // namespace
