// The frame's two dialogs as windows, on the headless backend with the
// shipped resource bundle.
#include <gtest/gtest.h>

#include <cstring>

#include "client/app/network_proxy_setting_window.h"
#include "client/app/startup_connecting_dlg.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"

namespace {

class FrameDialogWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    std::memset(&entry_, 0, sizeof(entry_));
    vz::CopyUtf16(entry_.Host, 128, u"proxy.example");
    entry_.Port = 3128;
    entry_.HttpProxy = 1;
    vz::CopyUtf16(entry_.UserName, 128, u"stored");
  }
  void TearDown() override { vzres::UnloadResourceLibrary(); }

  vz::Point CentreOf(CVzDialog& dialog, uint32_t id) {
    vz::Window* w = dialog.GetDlgItem(id)->window();
    return w->ToScreen({w->bounds().Width() / 2, w->bounds().Height() / 2});
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1000, 800});
  NetworkProxyEntry entry_;
};

TEST_F(FrameDialogWindows, TheConnectingDialogIsCentredAndItsButtonsGiveUp) {
  vzres::SetResourceLanguage(1031);
  int give_ups = 0;
  CStartupConnectingDlg dialog([&] { ++give_ups; });
  ASSERT_TRUE(dialog.Create(nullptr, system_.get()));
  EXPECT_EQ(dialog.window()->bounds(), (vz::Rect{340, 350, 660, 450}));  // 320x100 in 1000x800
  EXPECT_EQ(dialog.GetDlgItemText(2), u"Abbrechen");
  system_->ClickForTesting(CentreOf(dialog, 2));
  system_->SendKey(vz::keys::kEscape);
  system_->SendKey(vz::keys::kReturn);  // OK: it has no OK button, still a give-up
  EXPECT_EQ(give_ups, 3);
}

TEST_F(FrameDialogWindows, TheConnectingDialogIsDraggedByItsBody) {
  CStartupConnectingDlg dialog([] {});
  ASSERT_TRUE(dialog.Create(nullptr, system_.get()));
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {345, 355});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {445, 305});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {445, 305});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {900, 700});  // no longer dragging
  EXPECT_EQ(dialog.window()->bounds(), (vz::Rect{440, 300, 760, 400}));
}

TEST_F(FrameDialogWindows, TheProxyDialogShowsTheProxyAndTheStoredFields) {
  CNetworkProxySettingDlg logic(&entry_, 1);
  CNetworkProxySettingWindow dialog(&logic);
  ASSERT_TRUE(dialog.Create(nullptr, system_.get()));
  EXPECT_EQ(dialog.GetDlgItemText(1082), u"The proxy server proxy.example:3128 asks for a user name and a password.");
  EXPECT_EQ(dialog.GetDlgItemText(1083), u"stored");
  EXPECT_EQ(dialog.GetDlgItemText(1084), u"");
  EXPECT_EQ(dialog.GetDlgItemText(1093), u"User name:");
  EXPECT_EQ(dialog.GetDlgItemText(1), u"OK");
  EXPECT_EQ(dialog.window()->GetTitle(), "Proxy Authentication");
  EXPECT_TRUE(dialog.GetDlgItemAs<CEditBox>(1084)->IsPassword());
  EXPECT_EQ(dialog.GetDlgItemAs<CEditBox>(1083)->limit_for_testing(), 127u);
}

TEST_F(FrameDialogWindows, OkWaitsForBothFieldsAndCommitsOnlyThen) {
  CNetworkProxySettingDlg logic(&entry_, 1);
  CNetworkProxySettingWindow dialog(&logic);
  loop_.Post([&] {
    system_->SendKey(vz::keys::kReturn);  // name "stored", no password: stays open
    EXPECT_FALSE(logic.IsEnded());
    EXPECT_TRUE(dialog.GetDlgItem(1084)->window()->HasFocus());  // the empty field has the focus
    EXPECT_EQ(std::u16string(entry_.UserName), u"stored");
    system_->TypeTextForTesting(std::string(200, 'p'));  // cut at 127
    system_->SendKey(vz::keys::kReturn);
  });
  dialog.Run(nullptr, system_.get());
  EXPECT_EQ(logic.result(), CNetworkProxySettingDlg::kResultOk);
  EXPECT_EQ(std::u16string(entry_.Password), std::u16string(127, u'p'));
}

TEST_F(FrameDialogWindows, CancelAfterTypingLeavesTheEntryAsItWas) {
  const NetworkProxyEntry before = entry_;
  CNetworkProxySettingDlg logic(&entry_, 1);
  CNetworkProxySettingWindow dialog(&logic);
  loop_.Post([&] {
    system_->TypeTextForTesting("changed");
    system_->SendKey(vz::keys::kTab);
    system_->TypeTextForTesting("pw");
    system_->ClickForTesting(CentreOf(dialog, 2));
  });
  dialog.Run(nullptr, system_.get());
  EXPECT_EQ(logic.result(), CNetworkProxySettingDlg::kResultCancel);
  EXPECT_EQ(std::memcmp(&before, &entry_, sizeof(before)), 0);
}

TEST_F(FrameDialogWindows, ADialogThatCannotBeShownEndsAsCancelled) {
  vzres::UnloadResourceLibrary();  // no description 108
  CNetworkProxySettingDlg logic(&entry_, 1);
  CNetworkProxySettingWindow dialog(&logic);
  dialog.Run(nullptr, system_.get());
  EXPECT_EQ(logic.result(), CNetworkProxySettingDlg::kResultCancel);
}

}  // namespace
