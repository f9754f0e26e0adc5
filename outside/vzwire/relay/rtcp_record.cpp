#include "outside/vzwire/relay/rtcp_record.h"

#include "common/transport_records.h"
#include "platform/big_endian.h"

namespace vzrelay {
namespace {

constexpr size_t kHeaderBytes = 4;
constexpr size_t kReportBlockBytes = 24;
constexpr size_t kSenderReportBytes = 28;  // header, SSRC, sender info
constexpr size_t kChunkHeadBytes = 6;      // SSRC, item type, item length
constexpr size_t kFeedbackBytes = 12;      // header, sender SSRC, media SSRC

// Where the SDES chunk after the one at `at` starts.
size_t ChunkEnd(const uint8_t* packet, size_t at) {
  return (at + kChunkHeadBytes + packet[at + 5] + 3) & ~size_t{3};
}

// Why a packet of `bytes` is too short for its type and count, or null.
const char* ShortForType(const uint8_t* packet, size_t bytes) {
  const size_t count = packet[0] & 0x1F;
  switch (packet[1]) {
    case vz::rtcp::kSenderReport:
      return bytes < kSenderReportBytes + kReportBlockBytes * count ? "an SR shorter than its reports" : nullptr;
    case vz::rtcp::kReceiverReport:
      return bytes < 8 + kReportBlockBytes * count ? "an RR shorter than its reports" : nullptr;
    case vz::rtcp::kSourceDescription: {
      if (count == 0) return "an SDES of no chunk";
      size_t at = kHeaderBytes;
      for (size_t i = 0; i < count; ++i) {
        if (at + kChunkHeadBytes > bytes) return "an SDES shorter than its chunks";
        at = ChunkEnd(packet, at);
        if (at > bytes) return "an SDES shorter than its chunks";
      }
      return nullptr;
    }
    case vz::rtcp::kGoodbye:
      if (count == 0) return "a BYE of no stream";
      return bytes < kHeaderBytes + 4 * count ? "a BYE shorter than its streams" : nullptr;
    default:  // APP, RTPFB, PSFB
      return bytes < kFeedbackBytes ? "a packet shorter than its type" : nullptr;
  }
}

// Why the packet at `at` is not whole, or null with its size.
const char* PacketAt(const uint8_t* compound, size_t size, size_t at, size_t* bytes) {
  const uint8_t* packet = compound + at;
  const size_t left = size - at;
  if (left < kHeaderBytes) return "bytes after the last packet";
  if ((packet[0] >> 6) != 2) return "a packet of another version";
  if (packet[1] < vz::rtcp::kSenderReport || packet[1] > vz::rtcp::kPayloadFeedback) {
    return "a packet of an unknown type";
  }
  *bytes = size_t{vz::Load16(packet + 2)} * 4;
  if (*bytes == 0) return "a length of 0";
  if (*bytes > left) return "a length past the compound's end";
  return ShortForType(packet, *bytes);
}

}  // namespace

RtcpCompound::RtcpCompound(const uint8_t* record, size_t size) {
  if (record == nullptr || size < kRtcpRecordHeaderSize || vz::Load16(record) != kRtcpRecordKind) {
    fault_ = "not an RTCP record";
    return;
  }
  compound_ = record + kRtcpRecordHeaderSize;
  size_ = size - kRtcpRecordHeaderSize;
  if (vz::Load16(record + 2) != size_) {
    fault_ = "a record whose length is not its size";
    return;
  }
  if (size_ == 0) {
    fault_ = "no packet";
    return;
  }
  for (size_t at = 0, bytes = 0; at < size_ && fault_ == nullptr; at += bytes) {
    fault_ = PacketAt(compound_, size_, at, &bytes);
  }
}

bool RtcpCompound::Next(RtcpPacket* packet) {
  if (fault_ != nullptr || at_ >= size_) return false;
  // The constructor's walk found every packet whole: its length is its size.
  packet->data = compound_ + at_;
  packet->bytes = size_t{vz::Load16(packet->data + 2)} * 4;
  at_ += packet->bytes;
  return true;
}

uint32_t RtcpWord(const RtcpPacket& packet, size_t offset) { return vz::Load32(packet.data + offset); }

size_t RtcpNextChunk(const RtcpPacket& packet, size_t chunk) { return ChunkEnd(packet.data, chunk); }

}  // namespace vzrelay
