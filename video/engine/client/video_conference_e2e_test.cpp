// Two video libraries' controllers in one process join one conference on
// the transport's in-process server (with its video role): each starts the
// test camera, each shows the other, and the other's pictures arrive with
// rising frame counters and close to the pattern. Real threads and clocks:
// the run loop turns until the pictures are there (bounded).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/trace_client_test_hooks.h"
#include "platform/run_loop.h"
#include "video/engine/client/test_camera.h"
#include "video/engine/client/testing/fake_video_conference_testlib.h"
#include "video/engine/client/video_controller.h"
#include "video/engine/core/video_factories.h"

extern "C" IAVProvider* VideoCreateInstance(IAVProviderSink* sink);
extern "C" int32_t VideoDeleteInstance(IAVProvider* provider);

namespace {

class StatusSink : public IAVProviderSink {
 public:
  int32_t OnAVStatusNotification(int32_t status, int32_t) override {
    last_status = status;
    return 1;
  }
  int32_t OnAVVideoBroadcasted(int32_t, const char*) override { return 1; }
  int32_t OnAVVideoErrorCode(int32_t code, int32_t) override {
    last_error = code;
    return 1;
  }
  int32_t OnAVMyStatusChanged(const char16_t*, int32_t) override { return 1; }
  int last_status = -1;
  int last_error = 0;
};

AVSessionConfig LoopbackJoin(const char* my_id) {
  AVSessionConfig join = MakeJoin(my_id, 1, 1);
  const char16_t server[] = u"loopback";
  std::memcpy(join.ServerAddr, server, sizeof(server));
  const char16_t meet[] = u"meet-e2e";
  std::memcpy(join.MeetId, meet, sizeof(meet));
  return join;
}

struct Seen {
  int64_t pictures = 0, counter = -1, rising = 0;
  double min_psnr = 0;
};

Seen SeenBy(IAVProvider* provider, const char* other) {
  Seen s;
  static_cast<CVideoController*>(provider)->ViewFigures(other, &s.pictures, &s.counter, &s.rising, &s.min_psnr);
  return s;
}

// VZ_TEST_LOG=1 prints the libraries' log lines.
void PrintLine(const char*, const char* format, va_list args) {
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

TEST(VideoConferenceLoopbackTest, TwoParticipantsSeeEachOthersTestCamera) {
  static const vz::TracerEntries printing{&PrintLine};
  if (std::getenv("VZ_TEST_LOG") != nullptr) vz::BindTracerForTest(&printing);
  const VideoDeviceFactories* previous = SetVideoDeviceFactories(TestCameraFactories(true));
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  StatusSink alice_sink, bob_sink;
  IAVProvider* alice = VideoCreateInstance(&alice_sink);
  IAVProvider* bob = VideoCreateInstance(&bob_sink);
  ASSERT_NE(alice, nullptr);
  ASSERT_NE(bob, nullptr);
  RosterRecord a = MakeRoster("alice");
  RosterRecord b = MakeRoster("bob");
  for (IAVProvider* p : {alice, bob}) {
    p->AppRosterJoined(&a, 0);
    p->AppRosterJoined(&b, 1);
  }
  AVSessionConfig alice_join = LoopbackJoin("alice");
  AVSessionConfig bob_join = LoopbackJoin("bob");
  ASSERT_EQ(alice->JoinVideo(nullptr, &alice_join, nullptr, 0), 1);
  ASSERT_EQ(bob->JoinVideo(nullptr, &bob_join, nullptr, 0), 1);

  constexpr int64_t kWanted = 30;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int owner = 0;
  loop.StartTimer(&owner, 1, 50, [&] {
    const bool done = SeenBy(alice, "bob").pictures >= kWanted && SeenBy(bob, "alice").pictures >= kWanted;
    if (done || std::chrono::steady_clock::now() > deadline) loop.Quit();
  });
  loop.Run();
  loop.KillTimers(&owner);

  EXPECT_EQ(alice_sink.last_status, 2);
  EXPECT_EQ(bob_sink.last_status, 2);
  EXPECT_EQ(alice_sink.last_error, 0);
  for (auto [viewer, other] : {std::pair{alice, "bob"}, std::pair{bob, "alice"}}) {
    const Seen seen = SeenBy(viewer, other);
    std::printf("%s seen: %lld pictures, counter %lld, rising %lld, min PSNR %.1f dB\n", other,
                static_cast<long long>(seen.pictures), static_cast<long long>(seen.counter),
                static_cast<long long>(seen.rising), seen.min_psnr);
    EXPECT_GE(seen.pictures, kWanted) << other;
    EXPECT_GE(seen.rising, kWanted - 2) << other;  // the counter goes up picture by picture
    EXPECT_GT(seen.min_psnr, 30.0) << other;
  }

  // Bob leaves: Alice hears nothing of her own session end.
  VideoDeleteInstance(bob);
  loop.RunUntilIdle();
  EXPECT_EQ(alice_sink.last_status, 2);
  VideoDeleteInstance(alice);
  loop.RunUntilIdle();
  SetVideoDeviceFactories(previous);
}

}  // namespace
