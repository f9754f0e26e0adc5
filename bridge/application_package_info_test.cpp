#include "bridge/application_package_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/text_scrambler.h"
#include "platform/text.h"

namespace {

std::string ScrambleTwice(const std::string& plain) {
  std::string once, twice;
  vz::ScrambleHexText(plain, 4096, &once);
  vz::ScrambleHexText(once, 4096, &twice);
  return twice;
}

std::u16string Field(const char16_t* field) { return std::u16string(field); }

ApplicationPackageInfo Garbage() {
  ApplicationPackageInfo info;
  std::memset(&info, 0x41, sizeof(info));
  return info;
}

TEST(ApplicationPackageInfo, ReadsAllFourFieldsInAnyOrder) {
  ApplicationPackageInfo info = Garbage();
  ASSERT_EQ(ReadApplicationPackageInfo(
                ScrambleTwice("application_ver:2.9.1.3;;;application_name:VelzarHub;"
                              "application_pkg:/download/VelzarSetup.run;application_folder:VelzarMeet"),
                &info),
            1);
  EXPECT_EQ(Field(info.package), u"/download/VelzarSetup.run");
  EXPECT_EQ(Field(info.folder), u"VelzarMeet");
  EXPECT_EQ(Field(info.version), u"2.9.1.3");
  EXPECT_EQ(Field(info.name), u"VelzarHub");
}

TEST(ApplicationPackageInfo, KeepsOnlyExactKeysSecondPartsAndLastDuplicates) {
  ApplicationPackageInfo info = Garbage();
  ASSERT_EQ(ReadApplicationPackageInfo(
                ScrambleTwice(";;APPLICATION_NAME:upper;application_folder:b:c;application_ver:1;"
                              "application_ver:2;application_pkg:;application_x:y;application_name"),
                &info),
            1);
  EXPECT_EQ(Field(info.name), u"");  // upper case is another key; a lone key has no value
  EXPECT_EQ(Field(info.folder), u"b");
  EXPECT_EQ(Field(info.version), u"2");
  EXPECT_EQ(Field(info.package), u"");
}

TEST(ApplicationPackageInfo, ValuesOfOneHundredTwentySevenCharactersAreIgnored) {
  ApplicationPackageInfo info;
  const std::string kept(126, 'k');
  const std::string too_long(127, 'x');
  ASSERT_EQ(ReadApplicationPackageInfo(ScrambleTwice("application_folder:" + kept + ";application_folder:" +
                                                     too_long + ";application_name:" + too_long),
                                       &info),
            1);
  EXPECT_EQ(Field(info.folder), vz::Utf8ToUtf16(kept));
  EXPECT_EQ(Field(info.name), u"");
  // Characters are counted as wide units, not bytes: 100 two-byte characters fit.
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "\xc3\xa9";
  ASSERT_EQ(ReadApplicationPackageInfo(ScrambleTwice("application_name:" + wide), &info), 1);
  EXPECT_EQ(Field(info.name).size(), 100u);
}

TEST(ApplicationPackageInfoMalformed, TextsThatDescrambleToNothingGiveZero) {
  ApplicationPackageInfo info = Garbage();
  EXPECT_EQ(ReadApplicationPackageInfo("", &info), 0);
  EXPECT_EQ(info.name[0], u'\x4141');  // an empty text leaves the record alone

  const ApplicationPackageInfo zero{};
  for (const std::string& text : {std::string("67"), std::string("not hex at all"),
                                 ScrambleTwice(""), std::string("0a00") /* once, then nothing */}) {
    info = Garbage();
    EXPECT_EQ(ReadApplicationPackageInfo(text, &info), 0) << text;
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof(info)), 0) << text;
  }
  // Scrambled only once: the second descrambling reads plain text as hex.
  std::string once;
  vz::ScrambleHexText("application_name:x", 4096, &once);
  info = Garbage();
  EXPECT_EQ(ReadApplicationPackageInfo(once, &info), 0);
}

}  // namespace
