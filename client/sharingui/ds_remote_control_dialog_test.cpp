// The remote-control question on the headless backend: its answers, its
// texts, and a session stop while it is open.
#include <gtest/gtest.h>

#include <functional>

#include "client/sharingui/ds_remote_control_dialog.h"
#include "uikit/dialog_controls.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "platform/ui/modal_loop.h"

namespace {

class ConsentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    // The program's own frame has the focus, as when the presenter works in it.
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(10, 10, 200, 100);
    frame_ = system_->CreateWindow(params, &frame_delegate_);
    frame_->Show(true);
    ASSERT_EQ(system_->ActiveWindow(), frame_.get());
  }
  void TearDown() override { vzres::UnloadResourceLibrary(); }

  // Runs `answer` inside the dialog's loop, then asks.
  bool AskAnd(std::function<void(CDSRemoteControlDialog&)> answer, DialogText message = uint16_t{60048}) {
    if (frame_->IsVisible()) frame_->Show(true);  // the focus back on the frame, as after the last question
    loop_.Post([this, answer] {
      CDSRemoteControlDialog* dialog = CDSRemoteControlDialog::InnermostForTesting();
      ASSERT_NE(dialog, nullptr);
      ASSERT_TRUE(dialog->window()->IsVisible());
      answer(*dialog);
    });
    return showRemoteControlDialog(message, uint16_t{60047}, uint16_t{50011}, 357, system_.get());
  }
  void ClickOn(CDSRemoteControlDialog& dialog, uint32_t id) {
    vz::Window* w = dialog.GetDlgItem(id)->window();
    system_->ClickForTesting(w->ToScreen({w->bounds().Width() / 2, w->bounds().Height() / 2}));
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1000, 800});
  struct PlainDelegate : vz::WindowDelegate {
    void OnPaint(vz::Canvas&) override {}
  } frame_delegate_;
  std::unique_ptr<vz::Window> frame_;
};

TEST_F(ConsentTest, OnlyAcceptAnswersYes) {
  EXPECT_TRUE(AskAnd([&](CDSRemoteControlDialog& d) { ClickOn(d, 1103); }));
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog& d) { ClickOn(d, 2); }));
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog&) { system_->SendKey(vz::keys::kEscape); }));
  // The close box counts as refusing.
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog& d) { static_cast<vz::WindowDelegate&>(d).OnCloseRequest(); }));
  EXPECT_EQ(CDSRemoteControlDialog::OpenCountForTesting(), 0u);
}

// Enter must never hand over the screen: the refusing button is the default
// and has the focus, and the question takes the focus only from this
// program's own windows.
TEST_F(ConsentTest, EnterRefusesAndTheQuestionTakesNoFocusFromAnotherProgram) {
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog&) { system_->SendKey(vz::keys::kReturn); }));
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog& d) {
    EXPECT_TRUE(d.GetDlgItem(2)->window()->HasFocus());
    EXPECT_TRUE(d.GetDlgItemAs<CPushButton>(2)->IsDefault());
    EXPECT_FALSE(d.GetDlgItemAs<CPushButton>(1103)->IsDefault());
    system_->SendKey(vz::keys::kKpEnter);
  }));

  // Someone typing in another program: nothing of ours is active.
  frame_->Hide();
  ASSERT_EQ(system_->ActiveWindow(), nullptr);
  EXPECT_FALSE(AskAnd([&](CDSRemoteControlDialog& d) {
    EXPECT_EQ(system_->ActiveWindow(), nullptr) << "the question took the focus";
    system_->SendKey(vz::keys::kReturn);  // typed elsewhere: the question does not hear it
    EXPECT_EQ(CDSRemoteControlDialog::OpenCountForTesting(), 1u);
    d.EndDialog(CDSRemoteControlDialog::kRefused);
  }));
}

TEST_F(ConsentTest, IdsAreLoadedTextsAreTakenAsGivenAndTheIconIsStillAndCentred) {
  const std::u16string name(127, u'n');
  const std::u16string request = RemoteControlRequestText(name);
  EXPECT_NE(request.find(name), std::u16string::npos);  // the whole name, however long
  EXPECT_EQ(request.find(u"%s"), std::u16string::npos);
  AskAnd(
      [&](CDSRemoteControlDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(1104), request);
        EXPECT_EQ(d.GetDlgItemText(1103), vzres::LoadResString(60047));
        EXPECT_EQ(d.GetDlgItemText(2), vzres::LoadResString(50011));
        EXPECT_EQ(d.window()->GetTitle(), vz::Utf16ToUtf8(vzres::LoadResString(60041)));
        auto* icon = d.GetDlgItemAs<CImageButton>(1105);
        EXPECT_FALSE(icon->IsWindowEnabled());
        EXPECT_EQ(icon->GetCurrentImageForTesting(), 2u);
        EXPECT_TRUE(icon->GetWindowText().empty());
        EXPECT_EQ(d.window()->bounds(), vz::Rect::FromXYWH(300, 325, 400, 150));
        d.EndDialog(2);
      },
      request);
}

// What the sharing UI does with an answer: it acts only while it lives.
class AskingSession {
 public:
  explicit AskingSession(vz::WindowSystem* system) : system_(system) {}
  void AskForControl(int* grants) {
    std::shared_ptr<const bool> alive = alive_.Watch();
    const bool yes = showRemoteControlDialog(RemoteControlRequestText(u"Ann"), uint16_t{60044}, uint16_t{60045},
                                             356, system_);
    if (!*alive) return;  // stopped meanwhile: touch nothing
    if (yes) ++*grants;
    ++answers_;
  }
  int answers_ = 0;

 private:
  vz::WindowSystem* system_;
  vz::AliveFlag alive_;
};

TEST_F(ConsentTest, ASessionStopWhileTheQuestionIsOpenClosesItAndTheAskerActsNoMore) {
  auto session = std::make_unique<AskingSession>(system_.get());
  int grants = 0;
  loop_.Post([&] {
    ASSERT_EQ(CDSRemoteControlDialog::OpenCountForTesting(), 1u);
    // The stop: clean-up closes the questions, then the session object goes.
    CDSRemoteControlDialog::CloseAll();
    session.reset();
  });
  AskingSession* raw = session.get();
  raw->AskForControl(&grants);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(grants, 0);
  EXPECT_EQ(CDSRemoteControlDialog::OpenCountForTesting(), 0u);
  // Closing with nothing open does nothing.
  CDSRemoteControlDialog::CloseAll();
}

TEST_F(ConsentTest, AQuestionOverAnotherIsClosedWithIt) {
  bool inner = true;
  bool outer = AskAnd([&](CDSRemoteControlDialog&) {
    loop_.Post([] { CDSRemoteControlDialog::CloseAll(); });
    inner = showRemoteControlDialog(uint16_t{60049}, uint16_t{60046}, uint16_t{50011}, 356, system_.get());
  });
  EXPECT_FALSE(inner);
  EXPECT_FALSE(outer);
}

}  // namespace
