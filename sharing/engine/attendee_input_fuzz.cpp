// Received sharing messages from a hostile presenter or server, fed through
// the attendee's handlers as the engine feeds them: sharing infos that make
// frames, caches, blocks (painted through a lossless codec whose decoded
// size the bytes decide), cursor records and cache answers. Whatever the
// bytes, nothing may be written outside a frame, no table may grow beyond
// its bound, and the frames and the caches stay within their budgets. A
// second passes between messages, so the wait for missing caches asks
// again and gives blocks up within one input.
//
// Input: messages one after the other, each a 2-byte little-endian length
// and that many bytes.
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "sharing/engine/engine_rig_testlib.h"

namespace {

constexpr size_t kFrameBudget = 32u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ds_test::LosslessCodec codec;  // one: making it tries to load a library
  vz::FakeClock clock;
  ds_test::Side attendee(&codec, kFrameBudget, &clock);
  ds_test::RecordingTransport transport;
  ds_test::RecordingClient client;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t length = data[at] | (static_cast<size_t>(data[at + 1]) << 8);
    at += 2;
    const size_t take = length < size - at ? length : size - at;
    // Every other message goes without a transport, as when the session
    // has just ended.
    attendee.Receive(data + at, take, (at & 1) != 0 ? &transport : nullptr, &client);
    at += take;
    clock.AdvanceMs(1000);
    attendee.rebuild.OnWaitTick(&transport, &client);
    transport.Clear();
  }
  attendee.rebuild.CheckPendingKeyframe(&client);
  size_t frame_bytes = 0;
  for (int32_t i = 0; i < attendee.frames.GetCount(); ++i) frame_bytes += attendee.frames.GetAt(i)->Size();
  if (frame_bytes > kFrameBudget || attendee.frames.GetCount() > kMonitorListCapacity) __builtin_trap();
  if (attendee.caches.GetCountForTesting() > static_cast<int32_t>(CCacheController::kCacheIndexEnd)) __builtin_trap();
  if (attendee.caches.StoredBytesForTesting() > attendee.caches.byte_budget_for_testing()) __builtin_trap();
  if (attendee.keyframes.GetCount() > static_cast<int32_t>(CKeyframeController::kBlockIndexEnd)) __builtin_trap();
  return 0;
}
