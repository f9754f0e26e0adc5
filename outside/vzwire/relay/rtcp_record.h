#pragma once
// An RTCP record as members send it: uint16 kind (kRtcpRecordKind of
// common/transport_records.h), uint16 length, then a compound packet of that many bytes (fewer when the record
// is shorter). Each packet of the compound starts with a byte of version and
// count, its type and a uint16 length that counts its 32-bit words, header
// included (some engines count one word less: a reader takes either).
#include <cstddef>
#include <cstdint>

namespace vzrelay {

constexpr size_t kRtcpRecordHeaderSize = 4;
// The packet types the relay reads.
constexpr uint8_t kRtcpBye = 203;
constexpr uint8_t kRtcpRtpFeedback = 205;
constexpr uint8_t kRtcpPayloadFeedback = 206;

// One packet of a compound, as RtcpPackets finds it.
struct RtcpPacket {
  const uint8_t* data = nullptr;  // its first byte
  size_t bytes = 0;               // its size (see RtcpPackets)
  size_t left = 0;                // from its first byte to the compound's end
  uint8_t Type() const { return data[1]; }
};

// The packets of an RTCP record's compound packet, in order. A packet is
// found while at least `smallest` bytes (4 at the least: a packet's header)
// are left; its size is its length, or the rest of the compound (so it is
// the last) when its length is below `smallest` or runs past the end. A
// record of another kind, or shorter than its header, holds no packets.
class RtcpPackets {
 public:
  RtcpPackets(const uint8_t* record, size_t size, size_t smallest);
  // The next packet; false once fewer than `smallest` bytes are left.
  bool Next(RtcpPacket* packet);

 private:
  const uint8_t* at_ = nullptr;
  size_t left_ = 0;
  size_t smallest_;
};

}  // namespace vzrelay
