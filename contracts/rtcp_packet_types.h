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

// The payload feedback format of a picture-loss indication (the key-frame
// request the engine answers and the relay writes on a member's behalf).
constexpr int kPliFormat = 1;

}  // namespace vz::rtcp
