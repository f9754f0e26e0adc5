#pragma once
// CRTPFECPacket: a received packet of the XOR parity scheme. Its header is
// always the bare fixed header: the CSRC-count and extension bits of such a
// packet carry recovery values, not a CSRC list or an extension, so the
// CSRC and extension operations do nothing.
#include "video/engine/rtp/rtp_packet.h"

class CRTPFECPacket final : public CVseRtpPacket {
 public:
  using CVseRtpPacket::CVseRtpPacket;

  uint32_t get_contrib_source_for_testing(int) const override { return 0; }
  bool set_contrib_source_for_testing(int, uint32_t) override { return false; }
  int HeaderLength() const override { return kFixedHeaderLength; }
  bool GetExtensionForTesting(uint16_t, uint8_t*, int*) const override { return false; }
  bool SetExtensionForTesting(uint16_t, const uint8_t*, int) override { return false; }
};
