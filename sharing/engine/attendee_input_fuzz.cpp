// Received sharing messages from a hostile presenter or server, fed through
// the attendee's handlers as the engine feeds them: sharing infos that make
// frames (up to one 4096x4096 monitor), caches, blocks (painted through a
// lossless codec whose decoded size the bytes decide), cursor records and
// cache answers. Whatever the bytes, nothing may be written outside a
// frame, no table may grow beyond its bound, and the frames and the caches
// stay within their budgets. A second passes between messages, so the wait
// for missing caches asks again and gives blocks up within one input.
//
// A cache of exactly 12 bytes (width, height, colour) is a plain picture of
// that size, as a single-colour JPEG is a small cache of a large picture;
// like JPEG, one of another size than its block is refused before any pixel
// is made. What a block message costs must follow what it draws: the pixels
// decoded for one message stay within the drawing's budget, however often
// its blocks repeat or overlap.
//
// Input: messages one after the other, each a 2-byte little-endian length
// and that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/clock.h"
#include "sharing/engine/engine_rig_testlib.h"

namespace {

// One 4096x4096 frame (64 MiB) and some more.
constexpr size_t kFrameBudget = 72u << 20;

// The lossless codec, with plain pictures, counting the pixels it decodes.
class PlainPictureCodec : public ds_test::LosslessCodec {
 public:
  static constexpr int kPlainBytes = 12;
  uint64_t decoded_pixels = 0;

  IntoResult DecompressRectInto(const uint8_t* data, int size, int bits_per_pixel, uint8_t* target, int stride,
                                int width, int height, size_t* out_bytes) override {
    if (data == nullptr || size != kPlainBytes || target == nullptr) {
      const IntoResult result =
          CCodecMgrWin::DecompressRectInto(data, size, bits_per_pixel, target, stride, width, height, out_bytes);
      if (result == kDecodedInto) decoded_pixels += static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
      return result;
    }
    int32_t plain_width = 0;
    int32_t plain_height = 0;
    uint32_t colour = 0;
    std::memcpy(&plain_width, data, 4);
    std::memcpy(&plain_height, data + 4, 4);
    std::memcpy(&colour, data + 8, 4);
    if (out_bytes != nullptr) *out_bytes = 0;
    if (plain_width != width || plain_height != height || width <= 0 || height <= 0) return kWrongSize;
    // The first row pixel by pixel, the others copied from it: a large
    // picture costs the fuzzer little.
    for (int x = 0; x < width; ++x) std::memcpy(target + static_cast<size_t>(x) * 4, &colour, 4);
    for (int y = 1; y < height; ++y) {
      std::memcpy(target + static_cast<size_t>(stride) * static_cast<size_t>(y), target,
                  static_cast<size_t>(width) * 4);
    }
    decoded_pixels += static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return kDecodedInto;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PlainPictureCodec codec;  // one: making it tries to load a library
  vz::FakeClock clock;
  ds_test::Side attendee(&codec, kFrameBudget, &clock);
  ds_test::RecordingTransport transport;
  ds_test::RecordingClient client;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t length = data[at] | (static_cast<size_t>(data[at + 1]) << 8);
    at += 2;
    const size_t take = length < size - at ? length : size - at;
    codec.decoded_pixels = 0;
    // Every other message goes without a transport, as when the session
    // has just ended.
    attendee.Receive(data + at, take, (at & 1) != 0 ? &transport : nullptr, &client);
    at += take;
    clock.AdvanceMs(1000);
    attendee.rebuild.OnWaitTick(&transport, &client);
    transport.Clear();
    // Two drawings at most: the message's and the wait's.
    if (codec.decoded_pixels > 2 * attendee.rebuild.DrawBudgetPixels()) __builtin_trap();
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
