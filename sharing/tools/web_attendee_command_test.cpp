#include "sharing/tools/web_attendee_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Parse(const std::string& line, WebAttendeeCommand* out, std::string* why = nullptr) {
  std::string ignored;
  return ParseWebAttendeeCommand(line, u"vzweb-R3", u"R1", out, why ? why : &ignored);
}

TEST(WebAttendeeCommandTest, ControlRequestAndReleaseNameSenderAndPresenterOnly) {
  WebAttendeeCommand command;
  ASSERT_TRUE(Parse("request-control", &command));
  EXPECT_EQ(command.record.Type, DSCommandRequestControl);
  EXPECT_EQ(std::u16string(command.record.SrcRosterId), u"vzweb-R3");
  EXPECT_EQ(std::u16string(command.record.DstRosterId), u"R1");
  EXPECT_EQ(command.record.MouseType, 0);
  EXPECT_EQ(command.record.AnnotationType, 0);
  EXPECT_EQ(command.record.KeyType, 0);
  EXPECT_EQ(command.Bound()->Points, nullptr);
  ASSERT_TRUE(Parse("  release-control\r", &command));
  EXPECT_EQ(command.record.Type, DSCommandReleaseControl);
  ASSERT_TRUE(Parse("quit", &command));
  EXPECT_TRUE(command.quit);
}

TEST(WebAttendeeCommandTest, ClickCarriesAMouseEventOnTheMonitorAndNoOtherGroup) {
  WebAttendeeCommand command;
  ASSERT_TRUE(Parse("click 1 640 -3", &command));
  EXPECT_EQ(command.record.Type, kRemoteInputCommand);
  EXPECT_EQ(command.record.MouseType, kRemoteLeftClick);
  EXPECT_EQ(command.record.MouseMonitorId, 1);
  EXPECT_EQ(command.record.MouseX, 640);
  EXPECT_EQ(command.record.MouseY, -3);
  EXPECT_EQ(command.record.AnnotationType, 0);
  // The input type is none the presenter treats as a control or annotation command.
  for (int32_t named : {0, 1, 2, 10, 11, 12, 20, 21, 30, 50}) EXPECT_NE(kRemoteInputCommand, named);
}

TEST(WebAttendeeCommandTest, AnnotationBindsItsPointsAndReadsHexColours) {
  WebAttendeeCommand command;
  ASSERT_TRUE(Parse("annotate 14 1 0xFF0000FF 3 10,20 300,-40", &command));
  EXPECT_EQ(command.record.Type, DSCommandAnnotation);
  EXPECT_EQ(command.record.AnnotationType, 14);
  EXPECT_EQ(command.record.AnnotationMonitorId, 1);
  EXPECT_EQ(command.record.AnnotationColor, 0xFF0000FFu);
  EXPECT_EQ(command.record.AnnotationWeight, 3);
  const DSCommandRecord* record = command.Bound();
  ASSERT_EQ(record->PointCount, 2u);
  EXPECT_EQ(record->Points[1].x, 300);
  EXPECT_EQ(record->Points[1].y, -40);
  ASSERT_TRUE(Parse("annotate 1 2 4294967295 0 5,5", &command));
  EXPECT_EQ(command.record.AnnotationColor, 0xFFFFFFFFu);
}

TEST(WebAttendeeCommandTest, MalformedLinesAreRefusedWithAReason) {
  WebAttendeeCommand command;
  std::string why;
  for (const char* line :
       {"", "   ", "dance", "quit now", "request-control please", "click 1 2", "click 1 2 3 4", "click x 2 3",
        "click 1 2 99999999999", "annotate 14 1 0xFF 3", "annotate 0 1 0xFF 3 1,1", "annotate -2 1 0xFF 3 1,1",
        "annotate 14 1 0x 3 1,1", "annotate 14 1 0x1FFFFFFFF 3 1,1", "annotate 14 1 red 3 1,1",
        "annotate 14 1 0xFF -1 1,1", "annotate 14 1 0xFF 3 1;1", "annotate 14 1 0xFF 3 1,", "annotate 14 1 0xFF 3 ,1",
        "annotate 14 1 0xFF 3 1,1,1"}) {
    why.clear();
    EXPECT_FALSE(Parse(line, &command, &why)) << line;
    EXPECT_FALSE(why.empty()) << line;
  }
}

TEST(WebAttendeeCommandTest, PointsAreBoundedAndLongRosterIdsCut) {
  std::string line = "annotate 11 1 1 1";
  for (size_t i = 0; i < kMaxScriptPoints; ++i) line += " 1,1";
  WebAttendeeCommand command;
  std::string why;
  ASSERT_TRUE(ParseWebAttendeeCommand(line, u"a", u"b", &command, &why));
  EXPECT_EQ(command.Bound()->PointCount, kMaxScriptPoints);
  EXPECT_FALSE(ParseWebAttendeeCommand(line + " 2,2", u"a", u"b", &command, &why));

  const std::u16string long_id(300, u'r');
  ASSERT_TRUE(ParseWebAttendeeCommand("request-control", long_id, long_id, &command, &why));
  EXPECT_EQ(std::u16string(command.record.SrcRosterId).size(), 127u);
  EXPECT_EQ(std::u16string(command.record.DstRosterId).size(), 127u);
}

}  // namespace
