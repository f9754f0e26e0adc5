#pragma once
// How many key frames a sender makes for its receivers' requests. A key
// frame costs several times a picture and goes to every receiver of the
// stream, so requests (picture-loss indications, key-frame requests from
// any member) are served from a budget: a request finds a key frame at once
// while the budget lasts (one whose pictures were lost is served at its next
// picture), and a member that asks without end gets one every refill, not
// one every gap. Requests the budget cannot serve yet wait and are served
// together by the next key frame it allows; none is lost.
//
// Threads: none; the source channel calls it under its lock.
#include <cstdint>

// Four key frames at once for requests, at least 500 ms apart, then one
// more every second: losses are answered at once, a receiver that keeps
// losing pictures is served within a second, and a member asking without
// end gets one key frame a second (it got one every 500 ms, which about
// doubled a 320x180 stream's rate for every receiver). A smaller burst or a
// longer refill bounds such a member harder but costs an honest receiver
// pictures: with two at once, the loopback at 5 % loss received 82 and 78
// of 150 pictures instead of 107 and 104; with a refill of 2 s, the video
// meeting at 10 % loss about a quarter fewer.
constexpr uint32_t kRequestedKeyFrameBurst = 4;
constexpr uint32_t kRequestedKeyFrameGapMs = 500;
constexpr uint32_t kRequestedKeyFrameRefillMs = 1000;

class KeyFrameBudget {
 public:
  KeyFrameBudget(uint32_t burst = kRequestedKeyFrameBurst, uint32_t gap_ms = kRequestedKeyFrameGapMs,
                 uint32_t refill_ms = kRequestedKeyFrameRefillMs);

  // Whether a key frame may be made for requests at `now_ms` (the engine's
  // millisecond clock, which may wrap).
  bool Ready(uint32_t now_ms);
  // One was made at `now_ms`.
  void Spend(uint32_t now_ms);

 private:
  void Refill(uint32_t now_ms);

  const uint32_t burst_;
  const uint32_t gap_ms_;
  const uint32_t refill_ms_;
  uint32_t left_;
  uint32_t earned_from_ms_ = 0;  // the next key frame is earned refill_ms_ after this
  bool spent_ = false;
  uint32_t last_ms_ = 0;
};
