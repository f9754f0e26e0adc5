#pragma once
// What the library's loopback tests share: a meeting client's sink that
// keeps the last status and error, the join record for a server, Alice and
// Bob joined to one meeting, what one controller saw of another, and
// turning the thread's loop until a condition holds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string_view>

#include "contracts/av_provider.h"
#include "platform/run_loop.h"
#include "video/engine/client/fake_video_conference_testlib.h"
#include "video/engine/client/video_controller.h"

extern "C" IAVProvider* VideoCreateInstance(IAVProviderSink* sink);
extern "C" int32_t VideoDeleteInstance(IAVProvider* provider);

namespace vz_test {

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

// Alice's or Bob's join of `meet` at `server` ("loopback": the transport's
// in-process server; the port is then unused), sending video.
inline AVSessionConfig ConferenceJoin(const char* my_id, const char16_t* server, int32_t port,
                                      std::u16string_view meet = u"meet-e2e") {
  AVSessionConfig join = MakeJoin(my_id, 1, 1);
  for (size_t i = 0; server[i] != 0; ++i) join.ServerAddr[i] = server[i];
  join.TcpPort = port;
  const size_t room = sizeof(join.MeetId) / sizeof(join.MeetId[0]) - 1;
  std::fill(std::begin(join.MeetId), std::end(join.MeetId), u'\0');
  std::memcpy(join.MeetId, meet.data(), std::min(meet.size(), room) * sizeof(char16_t));
  return join;
}

// Alice and Bob as two controllers on their sinks, each told of both, each
// asked to join `meet` at `server` (see ConferenceJoin). When either could
// not be made, that one is null and neither is asked to join.
struct JoinedPair {
  IAVProvider* alice = nullptr;
  IAVProvider* bob = nullptr;
  int32_t alice_join = 0;  // JoinVideo's answers (1: the join is under way)
  int32_t bob_join = 0;
};
inline JoinedPair JoinAliceAndBob(IAVProviderSink* alice_sink, IAVProviderSink* bob_sink, const char16_t* server,
                                  int32_t port, std::u16string_view meet = u"meet-e2e") {
  JoinedPair pair;
  pair.alice = VideoCreateInstance(alice_sink);
  pair.bob = VideoCreateInstance(bob_sink);
  if (pair.alice == nullptr || pair.bob == nullptr) return pair;
  RosterRecord a = MakeRoster("alice");
  RosterRecord b = MakeRoster("bob");
  for (IAVProvider* p : {pair.alice, pair.bob}) {
    p->AppRosterJoined(&a, 0);
    p->AppRosterJoined(&b, 1);
  }
  AVSessionConfig alice_join = ConferenceJoin("alice", server, port, meet);
  AVSessionConfig bob_join = ConferenceJoin("bob", server, port, meet);
  pair.alice_join = pair.alice->JoinVideo(nullptr, &alice_join, nullptr, 0);
  pair.bob_join = pair.bob->JoinVideo(nullptr, &bob_join, nullptr, 0);
  return pair;
}

struct Seen {
  int64_t pictures = 0, counter = -1, rising = 0, sharp = 0;
  double min_psnr = 0;
};

// What `provider` has shown of `other` so far (nothing before its view exists).
inline Seen SeenBy(IAVProvider* provider, const char* other) {
  Seen s;
  static_cast<CVideoController*>(provider)->ViewFiguresForTesting(other, &s.pictures, &s.counter, &s.rising,
                                                                  &s.min_psnr, &s.sharp);
  return s;
}

// Turns the thread's loop until `done` or the deadline; the last answer.
inline bool TurnUntil(vz::RunLoop& loop, const std::function<bool()>& done, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int owner = 0;
  loop.StartTimer(&owner, 1, 20, [&] {
    if (done() || std::chrono::steady_clock::now() > deadline) loop.Quit();
  });
  loop.Run();
  loop.KillTimers(&owner);
  return done();
}

}  // namespace vz_test
