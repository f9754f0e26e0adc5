// The blank-screen mode over a scripted overlay session, and the display's
// own session.
#include <gtest/gtest.h>

#include "capture/indicators/black_screen.h"
#include "capture/indicators/indicator_testlib.h"
#include "common/log_capture_testlib.h"

namespace vzgrab {
namespace {


// What the session was asked, and scripted answers.
struct SessionScript {
  bool load_ok = true;
  bool enumerate_ok = true;
  std::vector<OverlayDevice> devices;
  bool can_create = true;
  int32_t create_error = 0;
  int32_t cooperation_error = 0;
  bool overlay = true;
  bool primary_ok = true;
  bool lost = false;
  int loads = 0, unloads = 0, creates = 0, primaries = 0, releases = 0;
  std::vector<int> created_indices;
};

class ScriptedSession : public OverlaySession {
 public:
  explicit ScriptedSession(SessionScript& s) : s_(s) {}
  bool Load() override {
    ++s_.loads;
    return s_.load_ok;
  }
  bool Unload() override {
    ++s_.unloads;
    return true;
  }
  std::optional<std::vector<OverlayDevice>> Enumerate() override {
    if (!s_.enumerate_ok) return std::nullopt;
    return s_.devices;
  }
  bool CanCreateObjects() override { return s_.can_create; }
  int32_t CreateObject(int index, const OverlayDevice&) override {
    ++s_.creates;
    s_.created_indices.push_back(index);
    return s_.create_error;
  }
  int32_t SetNormalCooperation(int) override { return s_.cooperation_error; }
  bool SupportsOverlay(int) override { return s_.overlay; }
  bool CreatePrimary(int) override {
    ++s_.primaries;
    return s_.primary_ok;
  }
  bool IsPrimaryLost(int) override { return s_.lost; }
  void HideOverlay(int) override {}
  void ReleaseEntry(int) override { ++s_.releases; }

 private:
  SessionScript& s_;
};

OverlayDevice Device(uint8_t id, std::u16string name = u"dev") {
  OverlayDevice d;
  d.guid[0] = id;
  d.description = std::move(name);
  d.monitor = id;
  return d;
}

class BlankScreenTest : public ::testing::Test {
 protected:
  BlankScreenTest()
      : mode_([this] { return std::make_unique<ScriptedSession>(script_); }) {
    script_.devices = {Device(0), Device(7)};
  }
  SessionScript script_;
  CBlankScreenMode mode_;
};

TEST_F(BlankScreenTest, BuildsOnceAndReportsActiveUntilOff) {
  EXPECT_EQ(mode_.IsBlankScreenActive(), 0);
  EXPECT_EQ(mode_.SetBlankScreenMode(1), 1);
  EXPECT_EQ(mode_.IsBlankScreenActive(), 1);
  // The primary driver's zero-GUID entry gave way to the real device.
  ASSERT_EQ(mode_.screen_for_testing()->entry_count_for_testing(), 1);
  EXPECT_EQ(mode_.screen_for_testing()->device_for_testing(0).guid[0], 7);
  // On again with intact surfaces: nothing is done, so 0; still on.
  EXPECT_EQ(mode_.SetBlankScreenMode(1), 0);
  EXPECT_EQ(script_.creates, 1);
  EXPECT_EQ(mode_.IsBlankScreenActive(), 1);
  EXPECT_EQ(mode_.SetBlankScreenMode(0), 1);
  EXPECT_EQ(mode_.IsBlankScreenActive(), 0);
  EXPECT_EQ(script_.unloads, 1);
  EXPECT_EQ(script_.releases, 1);
  EXPECT_EQ(mode_.SetBlankScreenMode(0), 0);  // none existed
}

TEST_F(BlankScreenTest, NoOverlaySupportFailsYetTheModeIsOn) {
  vz::LogLineCapture log;
  script_.overlay = false;
  EXPECT_EQ(mode_.SetBlankScreenMode(1), 0);
  EXPECT_TRUE(log.Has("The driver doesn't support overlay"));
  EXPECT_EQ(mode_.IsBlankScreenActive(), 1);
  EXPECT_EQ(script_.primaries, 0);
}

TEST_F(BlankScreenTest, LostSurfacesAreRebuiltOnADesktopChangeWhileOn) {
  vz::LogLineCapture log;
  mode_.SetBlankScreenMode(1);
  mode_.OnDesktopChanged();
  EXPECT_EQ(script_.creates, 1);  // intact: nothing to do
  script_.lost = true;
  EXPECT_EQ(mode_.IsBlankScreenActive(), 1);  // on, whatever its surfaces
  mode_.OnDesktopChanged();
  EXPECT_TRUE(log.Has("The overlay surface is lost. Start to reconstruct."));
  EXPECT_EQ(script_.creates, 2);
  EXPECT_EQ(script_.unloads, 1);  // the old set went first
  script_.lost = false;
  EXPECT_EQ(mode_.IsBlankScreenActive(), 1);
  // Off: a desktop change builds nothing.
  mode_.SetBlankScreenMode(0);
  mode_.OnDesktopChanged();
  EXPECT_EQ(script_.creates, 2);
}

TEST_F(BlankScreenTest, EveryFailingStepReturnsZeroWithItsLine) {
  struct Case {
    const char* line;
    void (*script)(SessionScript&);
  };
  const Case cases[] = {
      {"Load the overlay library failed", [](SessionScript& s) { s.load_ok = false; }},
      {"Enumerate DD screens: 0", [](SessionScript& s) { s.enumerate_ok = false; }},
      {"Get DD interface.", [](SessionScript& s) { s.can_create = false; }},
      {"Create DD object:80004005", [](SessionScript& s) { s.create_error = static_cast<int32_t>(0x80004005u); }},
      {"Set coop level:5", [](SessionScript& s) { s.cooperation_error = 5; }},
      {"Create primary surface", [](SessionScript& s) { s.primary_ok = false; }},
  };
  for (const Case& c : cases) {
    SessionScript script;
    script.devices = {Device(1)};
    c.script(script);
    vz::LogLineCapture log;
    CBlankScreenMode mode([&] { return std::make_unique<ScriptedSession>(script); });
    EXPECT_EQ(mode.SetBlankScreenMode(1), 0) << c.line;
    EXPECT_TRUE(log.Has(c.line)) << c.line;
    EXPECT_EQ(mode.IsBlankScreenActive(), 1) << c.line;  // the mode is on; the set failed
    mode.Stop();
    EXPECT_EQ(mode.IsBlankScreenActive(), 0) << c.line;
  }
}

TEST_F(BlankScreenTest, AtMostSixteenEntriesWithShortDescriptions) {
  script_.devices.clear();
  for (uint8_t i = 1; i <= 20; ++i) script_.devices.push_back(Device(i, std::u16string(40, u'x')));
  EXPECT_EQ(mode_.SetBlankScreenMode(1), 1);
  EXPECT_EQ(mode_.screen_for_testing()->entry_count_for_testing(), kMaxOverlayScreens);
  EXPECT_EQ(mode_.screen_for_testing()->device_for_testing(15).guid[0], 16);
  EXPECT_EQ(mode_.screen_for_testing()->device_for_testing(0).description.size(), 31u);
  EXPECT_EQ(script_.created_indices.size(), 16u);
}

TEST_F(BlankScreenTest, StopFreesTheSetAndTheModeAnswersInactive) {
  mode_.SetBlankScreenMode(1);
  mode_.Stop();
  EXPECT_EQ(mode_.screen_for_testing(), nullptr);
  EXPECT_EQ(mode_.IsBlankScreenActive(), 0);
  EXPECT_EQ(script_.unloads, 1);
}

// X11 has no overlay surfaces: turning the mode on fails as on a display
// without overlays, and the mode then answers on while capture goes on.
TEST(DisplayOverlaySession, TheDisplayHasNoOverlaysSoTurningOnFailsYetTheModeIsOn) {
  vz::LogLineCapture log;
  CBlankScreenMode mode;  // the display's own session
  EXPECT_EQ(mode.SetBlankScreenMode(1), 0);
  EXPECT_TRUE(log.Has("The driver doesn't support overlay"));
  EXPECT_EQ(mode.IsBlankScreenActive(), 1);
  EXPECT_GE(mode.screen_for_testing()->entry_count_for_testing(), 1);
  EXPECT_EQ(mode.SetBlankScreenMode(0), 1);
}

}  // namespace
}  // namespace vzgrab
