// Two video libraries' controllers in one process join one conference on
// the transport's in-process server (with its video role): each starts the
// test camera, each shows the other, and the other's pictures arrive with
// rising frame counters and close to the pattern. Real threads and clocks:
// the run loop turns until the pictures are there (bounded).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/trace_client_test_hooks.h"
#include <signal.h>

#include "platform/piped_child_testlib.h"
#include "platform/run_loop.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/core/video_factories.h"
#include "video/library/loopback_conference_testlib.h"

namespace {

using vz_test::JoinAliceAndBob;
using vz_test::Seen;
using vz_test::SeenBy;
using vz_test::StatusSink;
using vz_test::TurnUntil;

// VZ_TEST_LOG=1 prints the libraries' log lines.
void PrintLine(const char*, const char* format, va_list args) {
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

// Two controllers join `server` (with `port` for vzrelay), each shows the
// other; returns when both saw `wanted` pictures or the time is up. What
// each saw of the other goes to the caller.
void RunConference(const char16_t* server, int32_t port, int64_t wanted, Seen* alice_saw, Seen* bob_saw,
                   StatusSink* alice_sink, StatusSink* bob_sink) {
  static const vz::TracerEntries printing{&PrintLine};
  if (std::getenv("VZ_TEST_LOG") != nullptr) vz::BindTracerForTest(&printing);
  const VideoDeviceFactories* previous = SetVideoDeviceFactories(TestCameraFactories(true));
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  const auto [alice, bob, alice_join, bob_join] = JoinAliceAndBob(alice_sink, bob_sink, server, port);
  ASSERT_NE(alice, nullptr);
  ASSERT_NE(bob, nullptr);
  ASSERT_EQ(alice_join, 1);
  ASSERT_EQ(bob_join, 1);

  TurnUntil(loop, [&] { return SeenBy(alice, "bob").pictures >= wanted && SeenBy(bob, "alice").pictures >= wanted; },
            40);
  *alice_saw = SeenBy(alice, "bob");
  *bob_saw = SeenBy(bob, "alice");
  for (auto [saw, other] : {std::pair{*alice_saw, "bob"}, std::pair{*bob_saw, "alice"}}) {
    std::printf("%s seen: %lld pictures, counter %lld, rising %lld, above 30 dB %lld, min PSNR %.1f dB\n", other,
                static_cast<long long>(saw.pictures), static_cast<long long>(saw.counter),
                static_cast<long long>(saw.rising), static_cast<long long>(saw.sharp), saw.min_psnr);
  }
  EXPECT_EQ(alice_sink->last_status, 2);
  EXPECT_EQ(bob_sink->last_status, 2);
  // Bob leaves: Alice hears nothing of her own session end.
  VideoDeleteInstance(bob);
  loop.RunUntilIdle();
  EXPECT_EQ(alice_sink->last_status, 2);
  VideoDeleteInstance(alice);
  loop.RunUntilIdle();
  SetVideoDeviceFactories(previous);
  vz::RestoreTracerForTest();
}

TEST(VideoConferenceLoopbackTest, TwoParticipantsSeeEachOthersTestCamera) {
  StatusSink alice_sink, bob_sink;
  Seen alice_saw, bob_saw;
  constexpr int64_t kWanted = 30;
  RunConference(u"loopback", 0, kWanted, &alice_saw, &bob_saw, &alice_sink, &bob_sink);
  EXPECT_EQ(alice_sink.last_error, 0);
  for (const auto& [seen, by] : {std::pair{alice_saw, "alice"}, std::pair{bob_saw, "bob"}}) {
    SCOPED_TRACE(testing::Message() << "seen by " << by);
    EXPECT_GE(seen.pictures, kWanted);
    EXPECT_GE(seen.rising, kWanted - 2);  // the counter goes up picture by picture
    EXPECT_GT(seen.min_psnr, 30.0);
  }
}

// Through a vzrelay process that drops a tenth of the media it forwards.
TEST(VideoConferenceRelayTest, PicturesStillArriveThroughTenPercentMediaLoss) {
  vz::PipedChild relay;
  ASSERT_TRUE(relay.Start(VZ_RELAY_BINARY, {"vzrelay", "--port", "0", "--loss", "0.1", "--seed", "7"}, {}));
  std::string line;
  relay.ReadLine(&line, 200, 10000);
  const std::string prefix = "vzrelay listening on 127.0.0.1:";
  ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
  const int32_t port = std::stoi(line.substr(prefix.size()));

  StatusSink alice_sink, bob_sink;
  Seen alice_saw, bob_saw;
  constexpr int64_t kWanted = 20;
  RunConference(u"127.0.0.1", port, kWanted, &alice_saw, &bob_saw, &alice_sink, &bob_sink);
  for (const auto& [seen, by] : {std::pair{alice_saw, "alice"}, std::pair{bob_saw, "bob"}}) {
    SCOPED_TRACE(testing::Message() << "seen by " << by);
    EXPECT_GE(seen.pictures, kWanted);
    EXPECT_GE(seen.rising, kWanted / 2);
    // Without FEC on this stream, pictures decoded while a loss waits for its
    // key frame are damaged; how many depends on where the losses fall in
    // time (half of them in a sanitized run). Whole pictures must still come.
    EXPECT_GE(seen.sharp * 4, seen.pictures);
  }
  ::kill(relay.Pid(), SIGTERM);
  int code = -1;
  EXPECT_TRUE(relay.Wait(60000, &code));
}

// The server vanishes while pictures flow both ways: each side hears that
// its session is reconnecting, and leaving then, with the server still
// gone, ends both libraries' sessions, channels and threads cleanly (run it
// under ThreadSanitizer with --gtest_repeat to probe the teardown).
TEST(VideoConferenceRelayTest, TheServerVanishingMidSessionEndsBothSidesCleanly) {
  vz::PipedChild relay;
  // Killed by the kernel too should this test die first.
  ASSERT_TRUE(relay.Start("/usr/bin/setpriv", {"setpriv", "--pdeathsig", "KILL", "--", VZ_RELAY_BINARY, "--port", "0"},
                          {}));
  std::string line;
  relay.ReadLine(&line, 200, 10000);
  const std::string prefix = "vzrelay listening on 127.0.0.1:";
  ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
  const int32_t port = std::stoi(line.substr(prefix.size()));

  const VideoDeviceFactories* previous = SetVideoDeviceFactories(TestCameraFactories(true));
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  StatusSink alice_sink, bob_sink;
  const auto [alice, bob, alice_join, bob_join] = JoinAliceAndBob(&alice_sink, &bob_sink, u"127.0.0.1", port);
  ASSERT_NE(alice, nullptr);
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(alice_join, 1);
  EXPECT_EQ(bob_join, 1);
  EXPECT_TRUE(TurnUntil(loop, [&] {
    return SeenBy(alice, "bob").pictures >= 10 && SeenBy(bob, "alice").pictures >= 10;
  }, 120));

  ::kill(relay.Pid(), SIGKILL);
  int code = 0;
  EXPECT_TRUE(relay.Wait(10000, &code));
  EXPECT_TRUE(TurnUntil(loop, [&] { return alice_sink.last_status == 1 && bob_sink.last_status == 1; }, 120));

  VideoDeleteInstance(bob);
  VideoDeleteInstance(alice);
  loop.RunUntilIdle();
  SetVideoDeviceFactories(previous);
}

}  // namespace
