#include "client/app/demo/demo_options.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

// One command line parsed against the options of a demonstration, with what
// it wrote to each stream.
struct Parsed {
  DemoCommandLine outcome;
  std::string out;
  std::string err;
  std::string bin;
  int duration = 10;
  bool check = false;
};

std::string ReadBack(FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[256];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), stream)) > 0) text.append(buffer, got);
  std::fclose(stream);
  return text;
}

Parsed Parse(std::vector<const char*> args) {
  Parsed parsed;
  args.insert(args.begin(), "vzdemo");
  const std::vector<DemoOption> options = {
      {"--bin", true, true, [&](const std::string& v) { parsed.bin = v; return !v.empty(); }},
      {"--duration", true, false, [&](const std::string& v) { return ParseDemoInt(v, 2, 3600, &parsed.duration); }},
      {"--check", false, false, [&](const std::string&) { parsed.check = true; return true; }},
  };
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  parsed.outcome = ParseDemoCommandLine(static_cast<int>(args.size()), args.data(), options, "usage: vzdemo ...\n",
                                        out, err);
  parsed.out = ReadBack(out);
  parsed.err = ReadBack(err);
  return parsed;
}

TEST(DemoCommandLine, HelpPrintsTheUsageOnStandardOutputAndAsksForExitZero) {
  for (const char* help : {"--help", "-h"}) {
    // Asked for first or after other options, even with the required one missing.
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{help}, std::vector<const char*>{"--duration", "5", help}}) {
      SCOPED_TRACE(testing::Message() << help << " among " << args.size() << " arguments");
      const Parsed parsed = Parse(args);
      EXPECT_EQ(parsed.outcome, DemoCommandLine::kHelp);
      EXPECT_EQ(parsed.out, "usage: vzdemo ...\n");
      EXPECT_EQ(parsed.err, "");
      EXPECT_EQ(DemoCommandLineExitCode(parsed.outcome), 0);
    }
  }
}

TEST(DemoCommandLine, EveryRefusalNamesItsCauseOnStandardErrorWithTheUsage) {
  const struct {
    std::vector<const char*> args;
    std::string says;
  } cases[] = {
      {{"--bin", "b", "--bogus"}, "unknown option \"--bogus\""},
      {{"--bin", "b", "stray"}, "unknown option \"stray\""},
      {{"--bin"}, "--bin needs a value"},
      {{"--bin", "b", "--duration", "1"}, "bad value \"1\" for --duration"},
      {{"--bin", "b", "--duration", "12abc"}, "bad value \"12abc\" for --duration"},
      {{"--bin", "b", "--duration", ""}, "bad value \"\" for --duration"},
      {{"--check"}, "--bin is required"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.outcome, DemoCommandLine::kRefused) << c.says;
    EXPECT_EQ(parsed.err, "vzdemo: " + c.says + "\nusage: vzdemo ...\n") << c.says;
    EXPECT_EQ(parsed.out, "") << c.says;
    EXPECT_NE(DemoCommandLineExitCode(parsed.outcome), 0) << c.says;
  }
}

TEST(DemoCommandLine, ValuesAndFlagsAreTaken) {
  const Parsed parsed = Parse({"--check", "--bin", "/opt/vz", "--duration", "3600"});
  EXPECT_EQ(parsed.outcome, DemoCommandLine::kRun);
  EXPECT_EQ(parsed.bin, "/opt/vz");
  EXPECT_EQ(parsed.duration, 3600);
  EXPECT_TRUE(parsed.check);
  EXPECT_EQ(parsed.out + parsed.err, "");
}

TEST(DemoCommandLine, NumbersOutsideTheirRangeOrWithTrailingTextAreRefused) {
  int whole = 7;
  EXPECT_FALSE(ParseDemoInt("99999999999999999999", 0, 100, &whole));
  EXPECT_FALSE(ParseDemoInt("-1", 0, 100, &whole));
  EXPECT_FALSE(ParseDemoInt("5 ", 0, 100, &whole));
  EXPECT_EQ(whole, 7);
  EXPECT_TRUE(ParseDemoInt("100", 0, 100, &whole));
  EXPECT_EQ(whole, 100);
  double decimal = 1.5;
  EXPECT_FALSE(ParseDemoDouble("nan", 0, 90, &decimal));
  EXPECT_FALSE(ParseDemoDouble("inf", 0, 90, &decimal));
  EXPECT_FALSE(ParseDemoDouble("90.5", 0, 90, &decimal));
  EXPECT_EQ(decimal, 1.5);
  EXPECT_TRUE(ParseDemoDouble("0.25", 0, 90, &decimal));
  EXPECT_EQ(decimal, 0.25);
}

// The language goes into the start request's JSON as it stands: nothing
// that could end the string or the message may pass.
TEST(DemoCommandLine, OnlyPlainLanguageTagsAreTaken) {
  std::string language = "en-us";
  for (const char* refused : {"", "-", "de-", "-de", "de--de", "1de", "de_de", "de\"}", "de de", "de\\",
                              "abcdefghijklmnopqrstuvwxyzabcdef"}) {
    EXPECT_FALSE(ParseDemoLanguage(refused, &language)) << refused;
  }
  EXPECT_EQ(language, "en-us");
  for (const char* taken : {"de-de", "fr", "zh-Hant-TW", "es-419", "abcdefghijklmnopqrstuvwxyzabcde"}) {
    EXPECT_TRUE(ParseDemoLanguage(taken, &language)) << taken;
    EXPECT_EQ(language, taken);
  }
}

}  // namespace
