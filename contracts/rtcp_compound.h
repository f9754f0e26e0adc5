#pragma once
// The compound RTCP packet as the video engine writes and reads it and the
// relay checks it before forwarding: one walk for both sides, so that what
// one side takes for a packet the other does too.
//
// A compound is packets one after the other. Each starts with a header word:
// the version (2) in the top two bits of the first byte and a 5-bit count
// (report blocks, SDES chunks or BYE SSRCs; the feedback format; the APP
// subtype) below it, then the packet type (rtcp_packet_types.h), then a
// uint16 length that counts the packet's 32-bit words, header included: one
// more than the standard's "words minus one". A packet is therefore whole
// words long, whatever it carries (text, APP data, FCI) zero-padded to a word.
//
// An SDES packet holds `count` chunks after its header: an SSRC, an item
// type, an item length and that many bytes of text, zero-padded so that the
// next chunk starts on a word.
//
// Nothing here reads outside the bytes it is given; the callers check their
// pointers. Threads: none; functions of their arguments. Inline: both sides
// walk every RTCP record they receive.
#include <cstddef>
#include <cstdint>

#include "contracts/rtcp_packet_types.h"
#include "platform/big_endian.h"

namespace vz::rtcp {

constexpr uint8_t kVersion = 2;
constexpr int kVersionShift = 6;  // the version's place in the first byte
constexpr uint8_t kCountMask = 0x1F;
constexpr int kHeaderBytes = 4;
// Where an RR's report blocks start: the header and the sender's SSRC.
constexpr int kReceiverReportHeadBytes = 8;
constexpr int kSenderInfoBytes = 20;  // NTP time, RTP time, packet and octet counts
// Where an SR's report blocks start.
constexpr int kSenderReportHeadBytes = kReceiverReportHeadBytes + kSenderInfoBytes;
constexpr int kReportBlockBytes = 24;
// APP: the header, the SSRC and the four-letter name, then the data.
constexpr int kAppHeadBytes = 12;
// RTPFB and PSFB: the header, the sender's and the media's SSRCs, then the FCI.
constexpr int kFeedbackHeadBytes = 12;
constexpr int kFeedbackMediaSsrcOffset = 8;
constexpr int kSdesChunkHeadBytes = 6;  // SSRC, item type, item length
constexpr int kByeSsrcBytes = 4;

inline uint8_t HeaderVersion(const uint8_t* packet) { return packet[0] >> kVersionShift; }
inline uint8_t HeaderCount(const uint8_t* packet) { return packet[0] & kCountMask; }
inline uint8_t HeaderType(const uint8_t* packet) { return packet[1]; }
// The packet's size by its length field: words times 4, header included.
inline size_t HeaderLengthBytes(const uint8_t* packet) { return size_t{Load16(packet + 2)} * 4; }
inline bool IsKnownType(uint8_t type) { return type >= kSenderReport && type <= kPayloadFeedback; }

// Writes the header word of a packet of `bytes`: version 2, the low 5 bits
// of `count`, `type`, and the length in words, header included (rounded up:
// the builders pad what they write to whole words).
inline void WriteHeader(uint8_t* out, int count, uint8_t type, size_t bytes) {
  out[0] = static_cast<uint8_t>((kVersion << kVersionShift) | (count & kCountMask));
  out[1] = type;
  Store16(out + 2, static_cast<uint16_t>((bytes + 3) / 4));
}

// Why a walk ended before the compound's end.
enum class CompoundFault : uint8_t {
  kNone,
  kShortHeader,  // fewer bytes than a header left after the last packet
  kZeroLength,   // a length field of 0, which would never move on
  kPastEnd,      // a length past the compound's end
};

// Walks a compound by its length fields alone, neither reading nor handing
// on a byte past `size`. It checks no version, type nor content: each side
// judges a packet by its own needs.
class CompoundWalk {
 public:
  CompoundWalk(const uint8_t* compound, size_t size) : compound_(compound), size_(size) {}

  // The next packet and its size (a multiple of 4, within the compound).
  // False at the compound's end or at a fault; the walk then stays there.
  bool Next(const uint8_t** packet, size_t* bytes) {
    if (fault_ != CompoundFault::kNone || at_ >= size_) return false;
    const size_t left = size_ - at_;
    const uint8_t* here = compound_ + at_;
    if (left < kHeaderBytes) return Stop(CompoundFault::kShortHeader);
    const size_t length = HeaderLengthBytes(here);
    if (length == 0) return Stop(CompoundFault::kZeroLength);
    if (length > left) return Stop(CompoundFault::kPastEnd);
    at_ += length;
    *packet = here;
    *bytes = length;
    return true;
  }

  // kNone until a fault ends the walk.
  CompoundFault fault() const { return fault_; }

 private:
  bool Stop(CompoundFault fault) {
    fault_ = fault;
    return false;
  }

  const uint8_t* compound_;
  size_t size_;
  size_t at_ = 0;
  CompoundFault fault_ = CompoundFault::kNone;
};

// The SDES chunk at `at` (a multiple of 4) of an SDES packet of `bytes` (its
// length field's size). True when the chunk's head and text lie within the
// packet; `*next` is then where the chunk after it starts, the text's end
// rounded up to a word (at most `bytes`). False leaves `*next` alone.
inline bool SdesChunkAt(const uint8_t* packet, size_t bytes, size_t at, size_t* next) {
  if (at + kSdesChunkHeadBytes > bytes) return false;
  const size_t text_end = at + kSdesChunkHeadBytes + packet[at + 5];
  if (text_end > bytes) return false;
  *next = (text_end + 3) & ~size_t{3};
  return true;
}

}  // namespace vz::rtcp
