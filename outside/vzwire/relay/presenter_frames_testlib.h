#pragma once
// Test support: a presenter's frames, written at a steady pace by a thread
// of their own, and the gaps between them as an attendee gets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/raw_member_testlib.h"
#include "platform/clock.h"

namespace vzrelay_test {

// A sharing message of one cache: `size` bytes of one letter.
inline DsData Cache(uint64_t index, uint64_t pdu_id, size_t size) {
  DsData message = Header(DS_DATA_CREATE_CACHES);
  AddCache(&message, index, pdu_id, std::string(size, static_cast<char>('a' + pdu_id % 26)));
  return message;
}

// A sharing message of one block at `position`.
inline DsData Block(uint64_t position, uint64_t cache_index, uint64_t cache_pdu_id) {
  DsData message = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&message, cache_pdu_id, position, cache_index, cache_pdu_id);
  return message;
}

// The presenter's frames: each a cache of 40 KB (indices 1 to 50 in turn,
// its pdu id the frame's number) and a block at position 7 showing it; a
// ping every second, as the transport pings. How late its thread woke
// from its own pauses is kept: a loaded machine delays the writer too. A
// write that waits is not counted: the relay holding the presenter, once
// the kernel's buffers are full, is what makes it wait, and that is what
// the gaps measure.
class FrameWriter {
 public:
  FrameWriter(RawMember* presenter, uint64_t frames)
      : presenter_(presenter), frames_(frames), late_before_(frames + 2, 0) {}
  ~FrameWriter() { Join(); }
  void Start() {
    thread_ = std::thread([this] {
      uint64_t next_ping = vz::MonotonicMs() + 1000;
      uint64_t late = 0;
      for (uint64_t frame = 1; frame <= frames_; ++frame) {
        late_before_[frame] = late;
        if (!presenter_->Send(Cache(frame % 50 + 1, frame, 40000)) ||
            !presenter_->Send(Block(7, frame % 50 + 1, frame))) {
          return;
        }
        if (vz::MonotonicMs() >= next_ping) {
          next_ping += 1000;
          if (!presenter_->client.Send(vzrelay::FrameKind::kPing, PingPayload(static_cast<uint32_t>(frame)))) {
            return;
          }
        }
        const uint64_t paused_at = vz::MonotonicMs();
        vz::SleepMs(100);
        late += std::max<uint64_t>(vz::MonotonicMs() - paused_at, 100) - 100;
      }
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // How late the writer woke from its pauses, in all, before it wrote
  // frame `frame`; after Join only.
  uint64_t LateBeforeMs(uint64_t frame) const { return late_before_[std::min(frame, late_before_.size() - 1)]; }

 private:
  RawMember* presenter_;
  const uint64_t frames_;
  std::vector<uint64_t> late_before_;  // the writer's until Join
  std::thread thread_;
};

// The gaps between the blocks an honest attendee gets while the presenter
// writes `frames` frames, with `beside` doing its part every 10 ms or so
// meanwhile (it returns false to end early, failing the test).
struct Gaps {
  uint64_t largest = 0;  // ms
  size_t over_half_second = 0;
  // The same without what the writer's thread woke late from its pauses
  // between the two frames: the gaps that are not the test's own making.
  uint64_t largest_not_the_writers = 0;
  size_t not_the_writers_over_half_second = 0;
  size_t frames = 0;
  double seconds = 0;  // from the first frame to the last
};
inline Gaps GapsBeside(RawMember& presenter, RawMember& honest, uint64_t frames, const std::function<bool()>& beside) {
  FrameWriter writer(&presenter, frames);
  writer.Start();
  std::vector<uint64_t> arrivals, arrived_frames;
  uint64_t last_block = 0;
  const uint64_t deadline = vz::MonotonicMs() + 120000;
  DsData seen;
  while (last_block < frames && vz::MonotonicMs() < deadline) {
    if (!beside()) break;
    if (!honest.Next(&seen, 10) || seen.type() != DS_DATA_CREATE_BLOCKS) continue;
    last_block = seen.blocks(0).cache_pdu_id();
    arrivals.push_back(vz::MonotonicMs());
    arrived_frames.push_back(last_block);
  }
  writer.Join();
  EXPECT_EQ(last_block, frames) << "the honest attendee did not get the last frame";
  Gaps gaps;
  gaps.frames = arrivals.size();
  if (!arrivals.empty()) gaps.seconds = static_cast<double>(arrivals.back() - arrivals.front()) / 1000.0;
  for (size_t i = 1; i < arrivals.size(); ++i) {
    const uint64_t gap = arrivals[i] - arrivals[i - 1];
    gaps.largest = std::max(gaps.largest, gap);
    gaps.over_half_second += gap > 500;
    const uint64_t from = writer.LateBeforeMs(arrived_frames[i - 1]), to = writer.LateBeforeMs(arrived_frames[i]);
    const uint64_t writer_late = to > from ? to - from : 0;
    const uint64_t not_the_writers = gap > writer_late ? gap - writer_late : 0;
    gaps.largest_not_the_writers = std::max(gaps.largest_not_the_writers, not_the_writers);
    gaps.not_the_writers_over_half_second += not_the_writers > 500;
  }
  return gaps;
}

}  // namespace vzrelay_test
