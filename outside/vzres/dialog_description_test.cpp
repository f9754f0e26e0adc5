#include "outside/vzres/dialog_description.h"

#include <gtest/gtest.h>

namespace vzres {
namespace {

TEST(DialogDescriptionTest, ReadsDialogsControlsAndTexts) {
  const char* text =
      "# a comment\n"
      "\n"
      "dialog 108 360 190 style=0x80C80080 caption=10004\r\n"
      "  control 1082 STATIC 12 12 336 36 style=0x50000000 text=\"Say \\\"hi\\\"\\nnext \\\\ line\"\n"
      "  control 1 BUTTON -4 146 80 28 text=50013\n"
      "end\n"
      "dialog 105 320 100 caption=\"Waiting room\" exstyle=8\n"
      "end";
  std::vector<DialogDescription> dialogs;
  std::string error;
  ASSERT_TRUE(ParseDialogDescriptions(text, &dialogs, &error)) << error;
  ASSERT_EQ(dialogs.size(), 2u);

  const DialogDescription& proxy = dialogs[0];
  EXPECT_EQ(proxy.id, 108u);
  EXPECT_EQ(proxy.width, 360);
  EXPECT_EQ(proxy.height, 190);
  EXPECT_EQ(proxy.style, 0x80C80080u);
  EXPECT_EQ(proxy.caption_id, 10004u);
  ASSERT_EQ(proxy.controls.size(), 2u);
  const DialogControl* label = proxy.FindControl(1082);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->control_class, "STATIC");
  EXPECT_EQ(label->text_id, 0u);
  EXPECT_EQ(label->text, "Say \"hi\"\nnext \\ line");
  const DialogControl* ok = proxy.FindControl(1);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->x, -4);
  EXPECT_EQ(ok->style, 0u);
  EXPECT_EQ(ok->text_id, 50013u);
  EXPECT_EQ(proxy.FindControl(2), nullptr);

  EXPECT_EQ(dialogs[1].caption, "Waiting room");
  EXPECT_EQ(dialogs[1].ex_style, 8u);
  EXPECT_TRUE(dialogs[1].controls.empty());
}

TEST(DialogDescriptionTest, FormattedTextParsesBackToTheSameDialog) {
  DialogDescription dialog;
  dialog.id = 615;
  dialog.width = 400;
  dialog.height = 150;
  dialog.style = 0x80C80080;
  dialog.caption = "Quote \" and \\ and\nbreak";
  DialogControl control;
  control.id = 1104;
  control.control_class = "STATIC";
  control.x = -10;
  control.y = 16;
  control.width = 304;
  control.height = 64;
  control.style = 0x50000000;
  control.text = "";
  dialog.controls.push_back(control);
  control.id = 1103;
  control.control_class = "BUTTON";
  control.text_id = 60044;
  dialog.controls.push_back(control);

  std::vector<DialogDescription> parsed;
  std::string error;
  ASSERT_TRUE(ParseDialogDescriptions(FormatDialogDescription(dialog), &parsed, &error)) << error;
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0].caption, dialog.caption);
  EXPECT_EQ(parsed[0].style, dialog.style);
  ASSERT_EQ(parsed[0].controls.size(), 2u);
  EXPECT_EQ(parsed[0].controls[0].x, -10);
  EXPECT_EQ(parsed[0].controls[0].text, "");
  EXPECT_EQ(parsed[0].controls[1].text_id, 60044u);
  EXPECT_EQ(FormatDialogDescription(parsed[0]), FormatDialogDescription(dialog));
}

TEST(DialogDescriptionTest, RefusesMalformedDescriptionsWithTheirLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"control 1 BUTTON 0 0 1 1\n", "line 1: control outside a dialog"},
      {"dialog 1 10 10\ncontrol 1 BUTTON 0 0 1 1\n", "has no end"},
      {"dialog 1 10 10\ndialog 2 10 10\nend\n", "line 2: dialog inside a dialog"},
      {"dialog 1 10 10\nend\ndialog 1 10 10\nend\n", "line 3: dialog 1 given twice"},
      {"dialog 1 10 10\ncontrol 7 A 0 0 1 1\ncontrol 7 B 0 0 1 1\nend\n", "line 3: control 7 given twice"},
      {"dialog 0 10 10\nend\n", "bad dialog id"},
      {"dialog 65536 10 10\nend\n", "bad dialog id"},
      {"dialog 1 -1 10\nend\n", "bad dialog size"},
      {"dialog 1 10\nend\n", "needs an id, a width and a height"},
      {"dialog 1 10 10\ncontrol 2 BUTTON 0 0 99999 1\nend\n", "bad control rectangle"},
      {"dialog 1 10 10\ncontrol 2 BUTTON 0 0 1\nend\n", "needs an id, a class"},
      {"dialog 1 10 10\ncontrol 2 BU-TTON 0 0 1 1\nend\n", "bad control class"},
      {"dialog 1 10 10 style=0x1G\nend\n", "bad style"},
      {"dialog 1 10 10 style=4294967296\nend\n", "bad style"},
      {"dialog 1 10 10 colour=1\nend\n", "unknown option 'colour'"},
      {"dialog 1 10 10 style=1 style=2\nend\n", "given twice"},
      {"dialog 1 10 10 caption=\"open\nend\n", "unterminated quoted text"},
      {"dialog 1 10 10 caption=\"a\\q\"\nend\n", "unknown escape"},
      {"dialog 1 10 10 caption=\"a\"b\nend\n", "text after a closing quote"},
      {"dialog 1 10 10 \"loose\"\nend\n", "quoted text without a key"},
      {"dialog 1 10 10 stray\nend\n", "unexpected word 'stray'"},
      {"dialog 1 10 10\ncontrol 2 BUTTON 0 0 1 1 caption=5\nend\n", "unknown option 'caption'"},
      {"dialog 1 10 10\ncontrol 2 BUTTON 0 0 1 1 text=0\nend\n", "bad text string id"},
      {"dialog 1 10 10\nend now\n", "text after end"},
      {"end\n", "end outside a dialog"},
      {"window 1 10 10\n", "unknown keyword 'window'"},
      {"dialog 1 10 10 =3\nend\n", "'=' without a key"},
  };
  for (const Case& c : cases) {
    std::vector<DialogDescription> dialogs;
    std::string error;
    EXPECT_FALSE(ParseDialogDescriptions(c.text, &dialogs, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(DialogDescriptionTest, NulCharacterInsideALineIsRefused) {
  const char raw[] = "dialog 1 10 10 caption=\"a\0b\"\nend\n";
  const std::string text(raw, sizeof(raw) - 1);
  std::vector<DialogDescription> dialogs;
  std::string error;
  EXPECT_FALSE(ParseDialogDescriptions(text, &dialogs, &error));
  EXPECT_NE(error.find("NUL"), std::string::npos) << error;
}

}  // namespace
}  // namespace vzres
