#pragma once
// Prepares received SVC access units for the decoder underneath, which
// takes any gap in an access unit for a lost reference and then damages
// every picture up to the next IDR frame:
// - a base-layer slice whose prefix NAL unit was lost gets back the prefix
//   that the stream last sent for the same temporal layer, reference kind
//   and IDR kind (the prefix carries nothing else that changes);
// - a picture that no other picture refers to and that came without the
//   top layer of the stream, or without a prefix that could be put back, is
//   left out: it costs that picture only.
// A unit that other pictures refer to is never left out: its loss is the
// decoder's to report, so that a key frame is asked for.
//
// Input from the network: sizes are bounded by the unit given; a mended
// unit is at most a few prefix units longer.
// Threads: one caller at a time.
#include <array>
#include <cstdint>
#include <vector>

namespace vzh264 {

class AccessUnitMender {
 public:
  struct Unit {
    const uint8_t* data = nullptr;  // null: leave the unit out
    int32_t length = 0;
    bool mended = false;            // prefix units were put back
  };

  // The unit to decode: the one given, a mended copy (valid until the next
  // call), or none. Forgets the stream after Reset.
  Unit Prepare(const uint8_t* data, int32_t length);
  void Reset();

 private:
  static constexpr int32_t kMaxPrefixBytes = 16;
  struct Prefix {
    uint8_t bytes[kMaxPrefixBytes] = {};
    int32_t size = 0;
  };
  // By (nal_ref_idc, IDR, temporal id).
  static int PrefixKey(int ref_idc, bool idr, int temporal_id) { return (ref_idc * 2 + (idr ? 1 : 0)) * 8 + temporal_id; }

  int top_dependency_id_ = -1;  // of the stream since its last IDR frame
  std::array<Prefix, 64> prefixes_{};
  std::vector<uint8_t> mended_;
};

}  // namespace vzh264
