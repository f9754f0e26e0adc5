#include "outside/vzwire/relay/rtcp_record.h"

#include <algorithm>

#include "common/transport_records.h"
#include "platform/big_endian.h"

namespace vzrelay {

RtcpPackets::RtcpPackets(const uint8_t* record, size_t size, size_t smallest)
    : smallest_(std::max<size_t>(smallest, 4)) {
  if (size < kRtcpRecordHeaderSize || vz::Load16(record) != kRtcpRecordKind) return;
  at_ = record + kRtcpRecordHeaderSize;
  left_ = std::min<size_t>(size - kRtcpRecordHeaderSize, vz::Load16(record + 2));
}

bool RtcpPackets::Next(RtcpPacket* packet) {
  if (left_ < smallest_) return false;
  const size_t counted = size_t{vz::Load16(at_ + 2)} * 4;
  packet->data = at_;
  packet->left = left_;
  packet->bytes = counted < smallest_ || counted > left_ ? left_ : counted;
  at_ += packet->bytes;
  left_ -= packet->bytes;
  return true;
}

}  // namespace vzrelay
