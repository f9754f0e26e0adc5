#include "client/app/app_peer_config_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/app/command_line_text.h"
#include "client/app/language_table.h"
#include "common/log_capture_testlib.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

std::u16string Field(const char16_t* field) { return field; }

// A process table of the test's: 4242 is the child of 77.
uint32_t FakeParent(uint32_t pid) { return pid == 4242 ? 77 : 0; }

AppPeerConfig Read(const std::vector<std::u16string>& arguments) {
  AppPeerConfig config;
  EXPECT_EQ(ReadAppPeerConfig(&config, arguments, FakeParent), 1) << vz::Utf16ToUtf8(JoinCommandLine(arguments));
  return config;
}

TEST(ReadAppPeerConfig, ReadsTheLaunchersCommandLine) {
  vz::LogLineCapture log_lines;
  const AppPeerConfig config =
      Read({u"/P:4242", u"/W:0", u"/LAN:de-ch", u"/PN:/run/velzar/pipe-1", u"/MEET:abc", u"/ROSTER:r1"});
  EXPECT_EQ(Field(config.MeetId), u"abc");
  EXPECT_EQ(Field(config.RosterId), u"r1");
  EXPECT_EQ(Field(config.Language), u"de-ch");
  EXPECT_EQ(Field(config.PipeName), u"/run/velzar/pipe-1");
  EXPECT_EQ(config.BrowserProcessId, 77u);
  EXPECT_EQ(config.ContainerWindow, 0);
  EXPECT_EQ(log_lines.Count("arg [0] arv [/P:4242]", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines.Count("ReadAppPeerConfig PipeName=/run/velzar/pipe-1", vz::kFileLines), 1u);
}

TEST(ReadAppPeerConfig, TakesValuesAtFixedPositionsFromTheArgumentsStart) {
  // The option is found anywhere; its value starts at the option's length.
  EXPECT_EQ(Field(Read({u"x/MEET:abc"}).MeetId), u":abc");
  // One argument sets every option it holds, each from its own position.
  const AppPeerConfig both = Read({u"/ROSTER:a/MEET:b"});
  EXPECT_EQ(Field(both.RosterId), u"a/MEET:b");
  EXPECT_EQ(Field(both.MeetId), u"R:a/MEET:b");
  // An option that ends its argument gives an empty value, and a later
  // argument overwrites an earlier one.
  EXPECT_EQ(Field(Read({u"/MEET:first", u"/MEET:"}).MeetId), u"");
  EXPECT_EQ(Field(Read({u"xx/MEET:"}).MeetId), u"T:");
  EXPECT_EQ(Field(Read({u"/MEET:first", u"/MEET:second"}).MeetId), u"second");
}

TEST(ReadAppPeerConfig, NumbersReadAsWtoiAndTheBrowserIsTheParent) {
  EXPECT_EQ(Read({u"/W:abc"}).ContainerWindow, 0);
  EXPECT_EQ(Read({u"/W:-12px"}).ContainerWindow, -12);
  EXPECT_EQ(Read({u"/W:99999999999"}).ContainerWindow, INT32_MAX);
  EXPECT_EQ(Read({u"/P:999"}).BrowserProcessId, 0u);  // no such process
  EXPECT_EQ(Read({u"/P:-4242"}).BrowserProcessId, 0u);

  // The real process table: this test's parent.
  AppPeerConfig config;
  const std::string pid = std::to_string(vz::ProcessId());
  ReadAppPeerConfig(&config, {u"/P:" + std::u16string(pid.begin(), pid.end())});
  EXPECT_EQ(config.BrowserProcessId, static_cast<uint32_t>(vz::ParentProcessId()));
}

TEST(ReadAppPeerConfig, LongValuesStayTerminatedInTheirFields) {
  const std::u16string long_value(200, u'm');
  const AppPeerConfig config = Read({u"/MEET:" + long_value, u"/LAN:" + long_value});
  EXPECT_EQ(Field(config.MeetId), long_value.substr(0, 127));
  EXPECT_EQ(config.MeetId[127], u'\0');
  EXPECT_EQ(Field(config.Language), long_value.substr(0, 31));
  EXPECT_EQ(config.PipeName[0], u'\0');  // the neighbour untouched
}

TEST(ReadAppPeerConfig, RefusesNothingToRead) {
  AppPeerConfig config;
  config.MeetId[0] = u'x';
  EXPECT_EQ(ReadAppPeerConfig(&config, std::vector<std::u16string>{}), 0);
  EXPECT_EQ(config.MeetId[0], u'\0');  // zero-filled all the same
  EXPECT_EQ(ReadAppPeerConfig(nullptr, std::vector<std::u16string>{u"/MEET:a"}), 0);
  EXPECT_EQ(ReadAppPeerConfig(&config, static_cast<const char16_t*>(nullptr)), 0);
  EXPECT_EQ(ReadAppPeerConfig(&config, u""), 0);
}

TEST(ReadAppPeerConfig, ALineIsSplitWithTheWindowsRules) {
  AppPeerConfig config;
  ASSERT_EQ(ReadAppPeerConfig(&config, u"\"/MEET:a b\" /ROSTER:c\\\"d /PN:\"x\\\\\"", FakeParent), 1);
  EXPECT_EQ(Field(config.MeetId), u"a b");
  EXPECT_EQ(Field(config.RosterId), u"c\"d");
  EXPECT_EQ(Field(config.PipeName), u"x\\");
}

TEST(CommandLineText, SplitsAsWindowsDoes) {
  using Args = std::vector<std::u16string>;
  EXPECT_EQ(SplitCommandLine(u"  a\tb  "), (Args{u"a", u"b"}));
  EXPECT_EQ(SplitCommandLine(u"a\\\\b \"c d\""), (Args{u"a\\\\b", u"c d"}));
  EXPECT_EQ(SplitCommandLine(u"\"a\\\\\" b"), (Args{u"a\\", u"b"}));     // 2n backslashes: n, quote toggles
  EXPECT_EQ(SplitCommandLine(u"a\\\\\\\"b"), (Args{u"a\\\"b"}));        // 2n+1: n and a literal quote
  EXPECT_EQ(SplitCommandLine(u"\"a\"\"b\" c"), (Args{u"a\"b", u"c"}));  // "" inside quotes
  EXPECT_EQ(SplitCommandLine(u"\"\" x"), (Args{u"", u"x"}));
  EXPECT_EQ(SplitCommandLine(u"\"open"), (Args{u"open"}));
  EXPECT_TRUE(SplitCommandLine(u"   ").empty());
}

TEST(CommandLineText, JoinedArgumentsSplitBackWhole) {
  const std::vector<std::u16string> cases[] = {
      {u"/MEET:plain", u"/PN:/run/velzar/p"},
      {u"", u"with blank", u"tab\there", u"quote\"inside", u"ends\\", u"\\\"mixed\\\\\"", u"日本語"},
  };
  for (const auto& arguments : cases) EXPECT_EQ(SplitCommandLine(JoinCommandLine(arguments)), arguments);
  EXPECT_EQ(JoinCommandLine({u"a", u"b c"}), u"a \"b c\"");
}

TEST(LanguageTable, FirstSubstringHitInTableOrder) {
  EXPECT_EQ(LanguageIdForText(u"de-ch"), 1031u);
  EXPECT_EQ(LanguageIdForText(u"zh-cn"), 2052u);
  EXPECT_EQ(LanguageIdForText(u"zh-tw"), 1028u);
  EXPECT_EQ(LanguageIdForText(u"zh-sg"), 1028u);  // kept as it always was
  EXPECT_EQ(LanguageIdForText(u"pt-es"), 2070u);  // "pt" is tested before "es"
  EXPECT_EQ(LanguageIdForText(u"ZH-TW"), 1033u);  // the test is case-sensitive
  EXPECT_EQ(LanguageIdForText(u"en-us"), 1033u);
  EXPECT_EQ(LanguageIdForText(u""), 1033u);
  EXPECT_EQ(LanguageIdForText(nullptr), 1033u);
}

}  // namespace
