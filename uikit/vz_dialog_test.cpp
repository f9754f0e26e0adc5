// Dialogs from descriptions, their keys and their controls, headless.
#include <gtest/gtest.h>

#include "uikit/test_bundle_testlib.h"
#include "uikit/vz_dialog.h"
#include "uikit/window_helpers.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"

namespace {

// Every character is 7 pixels wide, 12 high.
class FixedMeasurer : public vz::TextMeasurer {
 public:
  vz::Size MeasureText(std::string_view utf8, const vz::Font&) override {
    return {static_cast<int>(vz::Utf8ToUtf16(utf8).size()) * 7, 12};
  }
};

const char kDialogs[] = R"(
dialog 300 300 120 style=0x80C80080 caption=900
control 10 STATIC 8 8 200 20 style=0x50000000 text=901
control 11 EDIT 8 30 200 24 style=0x50810080 text=""
control 12 EDIT 8 60 200 24 style=0x508100A0 text=""
control 13 BUTTON 8 90 80 24 style=0x50010003 text="Remember"
control 1 BUTTON 120 90 80 24 style=0x50010001 text="OK"
control 2 BUTTON 210 90 80 24 style=0x50010000 text="Cancel"
end
)";

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.String(900, "Title").String(901, "Label text").String(50013, "OK").String(50011, "Cancel")
        .String(910, "Really?").String(911, "Question").Dialogs(kDialogs).Install();
    vz::WindowSystem::SetCurrent(system_.get());
  }
  void TearDown() override { vz::WindowSystem::SetCurrent(nullptr); }

  // Screen point of a control's centre.
  vz::Point CentreOf(CVzControl* control) {
    const vz::Rect b = control->window()->bounds();
    return control->window()->ToScreen({b.Width() / 2, b.Height() / 2});
  }
  int RunModal(CVzDialog& dialog, std::function<void()> script) {
    loop_.Post(std::move(script));
    return dialog.DoModal(nullptr, system_.get());
  }

  TestBundle bundle_;
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({800, 600});
};

TEST_F(DialogTest, ControlsComeFromTheDescriptionWithTheirTexts) {
  CVzDialog dialog(300);
  ASSERT_TRUE(dialog.Create(nullptr, system_.get()));
  EXPECT_EQ(dialog.GetDlgItemText(10), u"Label text");
  EXPECT_NE(dialog.GetDlgItemAs<CEditBox>(11), nullptr);
  EXPECT_TRUE(dialog.GetDlgItemAs<CEditBox>(12)->IsPassword());
  EXPECT_NE(dialog.GetDlgItemAs<CCheckBox>(13), nullptr);
  EXPECT_TRUE(dialog.GetDlgItemAs<CPushButton>(1)->IsDefault());
  EXPECT_EQ(dialog.GetDlgItem(99), nullptr);
  // Centred in the work area, titled from the string.
  EXPECT_EQ(dialog.window()->bounds(), (vz::Rect{250, 240, 550, 360}));
  EXPECT_NE(system_->FindWindowByTitle("Title"), nullptr);
  // The first control that takes the focus has it.
  EXPECT_TRUE(dialog.GetDlgItem(11)->window()->HasFocus());
}

TEST_F(DialogTest, AMissingDescriptionGivesNoDialog) {
  CVzDialog dialog(12345);
  EXPECT_FALSE(dialog.Create(nullptr, system_.get()));
  EXPECT_EQ(dialog.DoModal(nullptr, system_.get()), -1);
}

TEST_F(DialogTest, EnterPressesTheDefaultButtonAndEscCancels) {
  CVzDialog dialog(300);
  EXPECT_EQ(RunModal(dialog, [&] { system_->SendKey(vz::keys::kReturn); }), IDOK);
  CVzDialog second(300);
  EXPECT_EQ(RunModal(second, [&] { system_->SendKey(vz::keys::kEscape); }), IDCANCEL);
  CVzDialog third(300);
  EXPECT_EQ(RunModal(third, [&] { system_->ClickForTesting(CentreOf(third.GetDlgItem(2))); }), IDCANCEL);
}

TEST_F(DialogTest, TabMovesTheFocusAndTypedTextGoesToTheFocusedBox) {
  CVzDialog dialog(300);
  std::u16string name, password;
  bool checked = false;
  RunModal(dialog, [&] {
    system_->TypeTextForTesting("alice");
    system_->SendKey(vz::keys::kTab);
    system_->TypeTextForTesting("s3cret");
    system_->SendKey(vz::keys::kTab);
    system_->SendKey(vz::keys::kSpace);  // the check box
    name = dialog.GetDlgItemText(11);
    password = dialog.GetDlgItemText(12);
    checked = dialog.GetDlgItemAs<CCheckBox>(13)->GetCheck();
    system_->SendKey(vz::keys::kEscape);
  });
  EXPECT_EQ(name, u"alice");
  EXPECT_EQ(password, u"s3cret");
  EXPECT_TRUE(checked);
}

TEST_F(DialogTest, ADialogDestroyedDuringItsModalLoopReturnsCancel) {
  auto dialog = std::make_unique<CVzDialog>(300);
  CVzDialog* raw = dialog.get();
  loop_.Post([&] { dialog.reset(); });
  EXPECT_EQ(raw->DoModal(nullptr, system_.get()), IDCANCEL);
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

TEST_F(DialogTest, TheOwnerIsDisabledWhileTheDialogRuns) {
  struct Plain : vz::WindowDelegate {
    void OnPaint(vz::Canvas&) override {}
  } plain;
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(0, 0, 100, 100);
  auto owner = system_->CreateWindow(params, &plain);
  owner->Show();
  CVzDialog dialog(300);
  bool enabled_during = true;
  loop_.Post([&] {
    enabled_during = owner->IsEnabled();
    system_->SendKey(vz::keys::kEscape);
  });
  dialog.DoModal(owner.get(), system_.get());
  EXPECT_FALSE(enabled_during);
  EXPECT_TRUE(owner->IsEnabled());
}

class EditBoxTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    dialog_ = std::make_unique<CVzDialog>(300);
    ASSERT_TRUE(dialog_->Create(nullptr, system_.get()));
    edit_ = dialog_->GetDlgItemAs<CEditBox>(11);
    edit_->SetTextMeasurerForTesting(&measurer_);
    password_ = dialog_->GetDlgItemAs<CEditBox>(12);
    password_->SetTextMeasurerForTesting(&measurer_);
  }
  FixedMeasurer measurer_;
  void TearDown() override {
    dialog_.reset();
    DialogTest::TearDown();
  }
  std::unique_ptr<CVzDialog> dialog_;
  CEditBox* edit_ = nullptr;
  CEditBox* password_ = nullptr;
};

TEST_F(EditBoxTest, CaretSelectionAndDeletion) {
  system_->TypeTextForTesting("hello");
  EXPECT_EQ(edit_->caret_for_testing(), 5u);
  EXPECT_EQ(edit_->CaretX(), 35);
  system_->SendKey(vz::keys::kLeft, "", vz::kModShift);
  system_->SendKey(vz::keys::kLeft, "", vz::kModShift);
  EXPECT_EQ(edit_->selection_start(), 3u);
  EXPECT_EQ(edit_->selection_end(), 5u);
  system_->TypeTextForTesting("p!");
  EXPECT_EQ(edit_->GetWindowText(), u"help!");
  system_->SendKey(vz::keys::kHome);
  system_->SendKey(vz::keys::kDelete);
  system_->SendKey(vz::keys::kEnd);
  system_->SendKey(vz::keys::kBackSpace);
  EXPECT_EQ(edit_->GetWindowText(), u"elp");
  system_->SendKey(vz::keys::kLowerA, "", vz::kModControl);
  system_->TypeTextForTesting("x");
  EXPECT_EQ(edit_->GetWindowText(), u"x");
}

TEST_F(EditBoxTest, AClickPutsTheCaretAtTheNearestCharacter) {
  edit_->SetWindowText(u"abcdef");
  // Text starts 4 pixels in; 3 characters end at 21.
  const vz::Point origin = edit_->window()->ToScreen({4, 12});
  system_->ClickForTesting({origin.x + 22, origin.y});
  EXPECT_EQ(edit_->caret_for_testing(), 3u);
  system_->ClickForTesting({origin.x + 180, origin.y});
  EXPECT_EQ(edit_->caret_for_testing(), 6u);
}

TEST_F(EditBoxTest, SurrogatePairsAreOneCaretStep) {
  system_->TypeTextForTesting("a\xF0\x9F\x98\x80");  // 'a' and U+1F600
  EXPECT_EQ(edit_->GetWindowText().size(), 3u);
  system_->SendKey(vz::keys::kLeft);
  EXPECT_EQ(edit_->caret_for_testing(), 1u);
  system_->SendKey(vz::keys::kDelete);
  EXPECT_EQ(edit_->GetWindowText(), u"a");
}

TEST_F(EditBoxTest, TheLimitCutsTypedAndPastedText) {
  edit_->SetLimitText(4);
  system_->TypeTextForTesting("abcdef");
  EXPECT_EQ(edit_->GetWindowText(), u"abcd");
  edit_->SetWindowText(u"");
  system_->SetClipboardText("12\n345678");
  system_->SendKey(vz::keys::kLowerV, "", vz::kModControl);
  loop_.RunUntilIdle();  // the clipboard answers on the loop
  EXPECT_EQ(edit_->GetWindowText(), u"1234");
}

TEST_F(EditBoxTest, PasswordsShowBulletsAndAreNeverCopied) {
  password_->window()->Focus();
  system_->TypeTextForTesting("pw");
  EXPECT_EQ(password_->GetWindowText(), u"pw");
  EXPECT_EQ(password_->DisplayText(), u"\u25CF\u25CF");
  system_->SetClipboardText("unchanged");
  system_->SendKey(vz::keys::kLowerA, "", vz::kModControl);
  system_->SendKey(vz::keys::kLowerC, "", vz::kModControl);
  std::string clipboard;
  system_->RequestClipboardText([&](std::string text) { clipboard = text; });
  loop_.RunUntilIdle();
  EXPECT_EQ(clipboard, "unchanged");
}

TEST_F(DialogTest, MessageBoxesReturnTheButtonPressed) {
  loop_.Post([&] {
    vz::Window* box = system_->FindWindowByTitle("Question");
    ASSERT_NE(box, nullptr);
    system_->SendKey(vz::keys::kTab);  // from Yes to No
    system_->SendKey(vz::keys::kReturn);
  });
  EXPECT_EQ(ResourceMessageBox(nullptr, 910, 911, MB_YESNO, system_.get()), IDNO);
  loop_.Post([&] { system_->SendKey(vz::keys::kReturn); });
  EXPECT_EQ(ResourceMessageBox(nullptr, 910, 911, MB_OKCANCEL, system_.get()), IDOK);
}

// The stop question is a warning kept above everything: both bits count.
TEST_F(DialogTest, MessageBoxesHonourTheIconAndTopmostBits) {
  uint32_t plain_flags = 0, warning_flags = 0;
  loop_.Post([&] {
    plain_flags = system_->FindWindowByTitle("Question")->flags();
    system_->SendKey(vz::keys::kEscape);
  });
  ResourceMessageBox(nullptr, 910, 911, MB_YESNO, system_.get());
  loop_.Post([&] {
    vz::Window* box = system_->FindWindowByTitle("Question");
    warning_flags = box->flags();
    const vz::Image& picture = system_->Render(box);
    const vz::Rect icon = MessageBoxIconRect(0x40034);
    // The warning sign's yellow shows in the middle of its place.
    EXPECT_EQ(picture.GetPixel(icon.left + icon.Width() / 2 - 6, icon.top + icon.Height() * 3 / 4) & 0xFFFFFF,
              0xF2B100u);
    system_->SendKey(vz::keys::kEscape);
  });
  ResourceMessageBox(nullptr, 910, 911, 0x40034, system_.get());
  EXPECT_EQ(plain_flags & vz::kWindowTopmost, 0u);
  EXPECT_NE(warning_flags & vz::kWindowTopmost, 0u);
  EXPECT_TRUE(MessageBoxIconRect(MB_YESNO).IsEmpty());

  // The text moves right of the icon and never under it.
  FixedMeasurer measurer;
  const auto plain = MessageBoxDescription(u"Stop sharing?", u"Q", MB_YESNO, measurer);
  const auto warning = MessageBoxDescription(u"Stop sharing?", u"Q", 0x40034, measurer);
  EXPECT_GE(warning.controls[0].x, MessageBoxIconRect(0x40034).right);
  EXPECT_LE(warning.controls[0].x + warning.controls[0].width, warning.width - 16);
  EXPECT_EQ(plain.controls[0].x, 16);
}

TEST_F(DialogTest, FormattedTextsAndTransparency) {
  CVzDialog dialog(300);
  ASSERT_TRUE(dialog.Create(nullptr, system_.get()));
  EXPECT_TRUE(SetDlgItemTextFormat(&dialog, 10, u"%s:%d", u"proxy.example", 8080));
  EXPECT_EQ(dialog.GetDlgItemText(10), u"proxy.example:8080");
  EXPECT_FALSE(SetDlgItemTextFormat(&dialog, 99, u"%d", 1));
  EXPECT_EQ(SetLayeredWindowAttributesEx(dialog.window(), 128), 1);
  EXPECT_EQ(dialog.window()->opacity(), 128);
  EXPECT_EQ(SetLayeredWindowAttributesEx(dialog.window(), 0), 1);
  EXPECT_EQ(dialog.window()->opacity(), 255);
  EXPECT_EQ(SetLayeredWindowAttributesEx(nullptr, 10), 0);
}

}  // namespace
