#pragma once
// The RTCP packet types that the video engine writes and reads and the relay
// checks and forwards: one set of names for both sides.
#include <cstdint>

namespace vz::rtcp {

enum PacketType : uint8_t {
  kSenderReport = 200,
  kReceiverReport = 201,
  kSourceDescription = 202,
  kGoodbye = 203,
  kApplication = 204,
  kTransportFeedback = 205,  // RTP feedback
  kPayloadFeedback = 206,
};

}  // namespace vz::rtcp
