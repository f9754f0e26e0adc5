#include "outside/vzaudio/audio_script.h"

#include <gtest/gtest.h>

namespace {

TEST(AudioScriptTest, ReadsEveryItem) {
  AudioScript script;
  std::string error;
  ASSERT_TRUE(ParseAudioScript(
      "join=1;error=9,50;speakers=5,9,4294967295;networks=100:2:40:3:1,7:0:0:0:4;levels=-1,40;mic=3;", &script,
      &error))
      << error;
  EXPECT_TRUE(script.join_accepted);
  ASSERT_TRUE(script.join_error.has_value());
  EXPECT_EQ(script.join_error->first, 9);
  EXPECT_EQ(script.join_error->second, 50);
  ASSERT_EQ(script.speakers.size(), 3u);
  EXPECT_EQ(script.speakers[2].Speaker, 4294967295u);
  ASSERT_EQ(script.networks.size(), 2u);
  EXPECT_EQ(script.networks[0].Ssrc, 100u);
  EXPECT_EQ(script.networks[0].Jitter, 3u);
  EXPECT_EQ(script.networks[1].Quality, 4u);
  EXPECT_EQ(script.levels, std::make_pair(-1, 40));
  EXPECT_EQ(script.mic_status, 3);

  AudioScript empty;
  ASSERT_TRUE(ParseAudioScript("", &empty, &error));
  EXPECT_TRUE(empty.join_accepted);
  EXPECT_FALSE(empty.join_error.has_value());
  ASSERT_TRUE(ParseAudioScript("join=0", &empty, &error));
  EXPECT_FALSE(empty.join_accepted);
}

TEST(AudioScriptTest, RefusesMalformedItemsAndKeepsTheOldScript) {
  const char* bad[] = {
      "join=2",
      "join",
      "error=9",
      "error=9,50,1",
      "error=x,50",
      "levels=1,",
      "mic=",
      "speakers=",
      "speakers=1,,2",
      "speakers=-1",
      "speakers=4294967296",
      "networks=1:2:3:4",
      "networks=1:2:3:4:5:6",
      "networks=1:2:3:4:x",
      "volume=3",
      "speakers=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,"
      "37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62,63,64,65",
  };
  for (const char* text : bad) {
    AudioScript script;
    script.mic_status = 7;
    std::string error;
    EXPECT_FALSE(ParseAudioScript(text, &script, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(script.mic_status, 7) << text;
  }
}

}  // namespace
