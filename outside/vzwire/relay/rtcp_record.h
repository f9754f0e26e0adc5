#pragma once
// An RTCP record as members send it: uint16 kind (kRtcpRecordKind of
// common/transport_records.h), uint16 length, then a compound packet of
// exactly that many bytes, laid out as contracts/rtcp_compound.h says: the
// one way every member's engine writes and reads it.
//
// RtcpCompound walks a record once, by the walk the members' engines use
// (contracts/rtcp_compound.h), and the server both checks and forwards by
// that walk: a record that is not whole by these rules is malformed, and
// nothing of it may be relayed.
#include <cstddef>
#include <cstdint>

#include "contracts/rtcp_compound.h"
#include "contracts/rtcp_packet_types.h"
#include "platform/big_endian.h"

namespace vzrelay {

constexpr size_t kRtcpRecordHeaderSize = 4;
// Where every packet type names the stream that sends it.
constexpr size_t kSenderSsrcOffset = vz::rtcp::kHeaderBytes;
// The packet types a compound may hold are vz::rtcp::PacketType's.

// One packet of a whole compound.
struct RtcpPacket {
  const uint8_t* data = nullptr;  // its first byte
  size_t bytes = 0;               // its size: its length field times 4
  uint8_t Type() const { return vz::rtcp::HeaderType(data); }
  uint8_t Count() const { return vz::rtcp::HeaderCount(data); }  // report, chunk or SSRC count; feedback format
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
  vz::rtcp::CompoundWalk packets_{nullptr, 0};  // what Next hands on, once the compound is found whole
  const char* fault_ = nullptr;
};

// Calls `source(ssrc)` for every stream a packet of a whole compound speaks
// for: the sender of an SR, RR or APP, the sender of feedback unless it is 0
// (engines send feedback without one), every SDES chunk's SSRC and every SSRC
// a BYE ends. Returns false as soon as `source` does.
template <typename Source>
bool ForEachSource(const RtcpPacket& packet, Source source);

// The SSRC at `offset` of a packet (big-endian).
inline uint32_t RtcpWord(const RtcpPacket& packet, size_t offset) { return vz::Load32(packet.data + offset); }

template <typename Source>
bool ForEachSource(const RtcpPacket& packet, Source source) {
  switch (packet.Type()) {
    case vz::rtcp::kSourceDescription: {
      size_t at = vz::rtcp::kHeaderBytes;
      size_t next = 0;
      for (size_t i = 0; i < packet.Count() && vz::rtcp::SdesChunkAt(packet.data, packet.bytes, at, &next);
           ++i, at = next) {
        if (!source(RtcpWord(packet, at))) return false;
      }
      return true;
    }
    case vz::rtcp::kGoodbye:
      for (size_t i = 0; i < packet.Count(); ++i) {
        if (!source(RtcpWord(packet, vz::rtcp::kHeaderBytes + vz::rtcp::kByeSsrcBytes * i))) return false;
      }
      return true;
    case vz::rtcp::kTransportFeedback:
    case vz::rtcp::kPayloadFeedback:
      return RtcpWord(packet, kSenderSsrcOffset) == 0 || source(RtcpWord(packet, kSenderSsrcOffset));
    default:
      return source(RtcpWord(packet, kSenderSsrcOffset));
  }
}

}  // namespace vzrelay
