#include "video/engine/rtp/rtp_extension_elements.h"

#include "common/trace_client.h"
#include "platform/big_endian.h"

using vz::Load32;
using vz::Store16;
using vz::Store32;

void CRtpOneByteHeaderExtend_Priority::SetPriority(uint8_t* element, int slot, int value) {
  if (slot < 0 || slot > 3) {
    VZ_LOG_ERROR("0");  // the system's own text; the element is left as it was
    return;
  }
  uint8_t& byte = element[1 + slot / 2];
  const int shift = (slot % 2 == 0) ? 4 : 0;
  byte = static_cast<uint8_t>((byte & ~(0x0F << shift)) | ((value & 0x0F) << shift));
}

int CRtpOneByteHeaderExtend_Priority::GetPriority(const uint8_t* element, int slot) {
  if (slot < 0 || slot > 3) {
    VZ_LOG_ERROR("0");  // the system's own text; read as not needed
    return kNotNeeded;
  }
  const uint8_t byte = element[1 + slot / 2];
  return (slot % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
}

void CRtpOneByteHeaderExtend_Timing::Init(uint8_t* element) {
  element[0] = kHeader;
  for (int i = 1; i < kLength; ++i) element[i] = 0;
}
void CRtpOneByteHeaderExtend_Timing::SetCounter(uint8_t* element, uint16_t counter) {
  Store16(element + 1, counter);
}
void CRtpOneByteHeaderExtend_Timing::SetTimeMs(uint8_t* element, uint32_t time_ms) {
  Store32(element + 3, time_ms);
}
void CRtpOneByteHeaderExtend_Timing::SetRoundTripMs(uint8_t* element, uint16_t rtt_ms) {
  Store16(element + 7, rtt_ms);
}
uint32_t CRtpOneByteHeaderExtend_Timing::GetTimeMsForTesting(const uint8_t* element) {
  return Load32(element + 3);
}
