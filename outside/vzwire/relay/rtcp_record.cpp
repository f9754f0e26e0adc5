#include "outside/vzwire/relay/rtcp_record.h"

#include "common/transport_records.h"
#include "platform/big_endian.h"

namespace vzrelay {
namespace {

using vz::rtcp::CompoundFault;
using vz::rtcp::CompoundWalk;

// Why a packet of `bytes` is too short for its type and count, or null.
const char* ShortForType(const uint8_t* packet, size_t bytes) {
  using namespace vz::rtcp;
  const size_t count = HeaderCount(packet);
  switch (HeaderType(packet)) {
    case kSenderReport:
      return bytes < kSenderReportHeadBytes + kReportBlockBytes * count ? "an SR shorter than its reports" : nullptr;
    case kReceiverReport:
      return bytes < kReceiverReportHeadBytes + kReportBlockBytes * count ? "an RR shorter than its reports"
                                                                         : nullptr;
    case kSourceDescription: {
      if (count == 0) return "an SDES of no chunk";
      size_t at = kHeaderBytes;
      for (size_t i = 0; i < count; ++i) {
        if (!SdesChunkAt(packet, bytes, at, &at)) return "an SDES shorter than its chunks";
      }
      return nullptr;
    }
    case kGoodbye:
      if (count == 0) return "a BYE of no stream";
      return bytes < kHeaderBytes + kByeSsrcBytes * count ? "a BYE shorter than its streams" : nullptr;
    case kApplication:
      return bytes < kAppHeadBytes ? "a packet shorter than its type" : nullptr;
    default:  // RTPFB, PSFB
      return bytes < kFeedbackHeadBytes ? "a packet shorter than its type" : nullptr;
  }
}

// Why a packet the walk found is not one a member's engine writes, or null.
const char* PacketFault(const uint8_t* packet, size_t bytes) {
  if (vz::rtcp::HeaderVersion(packet) != vz::rtcp::kVersion) return "a packet of another version";
  if (!vz::rtcp::IsKnownType(vz::rtcp::HeaderType(packet))) return "a packet of an unknown type";
  return ShortForType(packet, bytes);
}

const char* WalkFault(CompoundFault fault) {
  switch (fault) {
    case CompoundFault::kNone: return nullptr;
    case CompoundFault::kShortHeader: return "bytes after the last packet";
    case CompoundFault::kZeroLength: return "a length of 0";
    case CompoundFault::kPastEnd: return "a length past the compound's end";
  }
  return "a walk that ended early";
}

}  // namespace

RtcpCompound::RtcpCompound(const uint8_t* record, size_t size) {
  if (record == nullptr || size < kRtcpRecordHeaderSize || vz::Load16(record) != kRtcpRecordKind) {
    fault_ = "not an RTCP record";
    return;
  }
  const uint8_t* compound = record + kRtcpRecordHeaderSize;
  const size_t compound_size = size - kRtcpRecordHeaderSize;
  if (vz::Load16(record + 2) != compound_size) {
    fault_ = "a record whose length is not its size";
    return;
  }
  if (compound_size == 0) {
    fault_ = "no packet";
    return;
  }
  CompoundWalk check(compound, compound_size);
  const uint8_t* packet = nullptr;
  size_t bytes = 0;
  while (check.Next(&packet, &bytes)) {
    fault_ = PacketFault(packet, bytes);
    if (fault_ != nullptr) return;
  }
  fault_ = WalkFault(check.fault());
  if (fault_ == nullptr) packets_ = CompoundWalk(compound, compound_size);
}

bool RtcpCompound::Next(RtcpPacket* packet) {
  // The constructor's walk found every packet whole; a compound that is not
  // hands on nothing.
  return fault_ == nullptr && packets_.Next(&packet->data, &packet->bytes);
}

}  // namespace vzrelay
