#pragma once
// An RTCP record as members send it: uint16 kind (kRtcpRecordKind of
// common/transport_records.h), uint16 length, then a compound packet of
// exactly that many bytes. Each packet of the compound starts with a byte of
// version (2) and count, its type and a uint16 length that counts its 32-bit
// words, header included: the one way every member's engine writes and
// reads it.
//
// RtcpCompound walks a record once, by the rules the members' engines walk it
// by, and the server both checks and forwards by that walk: a record that is
// not whole by these rules is malformed, and nothing of it may be relayed.
#include <cstddef>
#include <cstdint>

#include "contracts/rtcp_packet_types.h"

namespace vzrelay {

constexpr size_t kRtcpRecordHeaderSize = 4;
// The packet types a compound may hold are vz::rtcp::PacketType's.

// One packet of a whole compound.
struct RtcpPacket {
  const uint8_t* data = nullptr;  // its first byte
  size_t bytes = 0;               // its size: its length field times 4
  uint8_t Type() const { return data[1]; }
  uint8_t Count() const { return data[0] & 0x1F; }  // report, chunk or SSRC count; feedback format
};

// The compound packet of one RTCP record. It is whole when the record is of
// the RTCP kind, its length is the rest of the record, it holds at least one
// packet, and every packet is of version 2 and a type above, its length is
// neither 0 nor past the compound's end, and it is not shorter than its
// type and count require: SR 28 + 24 x count bytes, RR 8 + 24 x count,
// SDES count (at least 1) chunks of an SSRC, an item type, an item length
// and that many bytes each, rounded up to whole words, BYE count (at least
// 1) SSRCs, APP and feedback 12 bytes. Anything else is malformed.
class RtcpCompound {
 public:
  RtcpCompound(const uint8_t* record, size_t size);

  bool whole() const { return fault_ == nullptr; }
  // Why it is not whole (for a log line), or null.
  const char* fault() const { return fault_; }

  // The packets in order; none when the compound is not whole.
  bool Next(RtcpPacket* packet);

 private:
  const uint8_t* compound_ = nullptr;
  size_t size_ = 0;
  size_t at_ = 0;
  const char* fault_ = nullptr;
};

// Calls `source(ssrc)` for every stream a packet of a whole compound speaks
// for: the sender of an SR, RR or APP, the sender of feedback unless it is 0
// (engines send feedback without one), every SDES chunk's SSRC and every SSRC
// a BYE ends. Returns false as soon as `source` does.
template <typename Source>
bool ForEachSource(const RtcpPacket& packet, Source source);

// The SSRC at `offset` of a packet (big-endian).
uint32_t RtcpWord(const RtcpPacket& packet, size_t offset);
// Where each SDES chunk starts: 4, then each chunk's 6 bytes and text,
// rounded up to whole words.
size_t RtcpNextChunk(const RtcpPacket& packet, size_t chunk);

template <typename Source>
bool ForEachSource(const RtcpPacket& packet, Source source) {
  switch (packet.Type()) {
    case vz::rtcp::kSourceDescription:
      for (size_t i = 0, at = 4; i < packet.Count(); ++i, at = RtcpNextChunk(packet, at)) {
        if (!source(RtcpWord(packet, at))) return false;
      }
      return true;
    case vz::rtcp::kGoodbye:
      for (size_t i = 0; i < packet.Count(); ++i) {
        if (!source(RtcpWord(packet, 4 + 4 * i))) return false;
      }
      return true;
    case vz::rtcp::kTransportFeedback:
    case vz::rtcp::kPayloadFeedback:
      return RtcpWord(packet, 4) == 0 || source(RtcpWord(packet, 4));
    default:
      return source(RtcpWord(packet, 4));
  }
}

}  // namespace vzrelay
