// Arbitrary datagrams through the RTP packet parser and its accessors: no
// read outside the bytes given, and a parsed packet's lengths add up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "video/engine/rtp/rtp_fec_packet.h"
#include "video/engine/rtp/rtp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const int n = static_cast<int>(size);
  CVseRtpPacket packet;
  if (packet.from_buffer(data, n) >= 0) {
    if (packet.HeaderLength() + packet.PayloadLength() != packet.TotalLength()) std::abort();
    if (packet.TotalLength() != n) std::abort();
    packet.IsValid();
    for (int i = 0; i < packet.get_contrib_src_count(); ++i) packet.get_contrib_source_for_testing(i);
    uint8_t extension[512];
    int length = sizeof(extension);
    packet.GetExtensionForTesting(0xBEDE, extension, &length);
    if (length < 0 || length > static_cast<int>(sizeof(extension))) std::abort();
    volatile uint8_t sink = 0;
    for (int i = 0; i < packet.PayloadLength(); ++i) sink = sink ^ packet.Payload()[i];
  }
  CRTPFECPacket fec;
  if (fec.from_buffer(data, n) >= 0) {
    if (fec.HeaderLength() != 12 || fec.PayloadLength() != n - 12) std::abort();
    fec.IsValid();
  }
  return 0;
}
