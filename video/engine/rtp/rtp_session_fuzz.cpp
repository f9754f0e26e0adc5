// A stream of datagrams (each behind a 2-byte big-endian length; the first
// byte picks the FEC mode) through the receive session: malformed packets,
// lying lengths and FEC headers must never read outside what arrived.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"

namespace {

class CheckingSink : public IRtpSessionSink {
 public:
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) override {
    volatile uint8_t x = 0;
    for (int i = 0; i < packet->PayloadLength(); ++i) x = x ^ packet->Payload()[i];
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 200000) return 0;
  CheckingSink sink;
  CMMRTPSession4SVC session(&sink, 1);
  session.SetFecModeForTesting(data[0] & 1);
  size_t at = 1;
  uint32_t clock = 0;
  while (at + 2 <= size) {
    const size_t length = (static_cast<size_t>(data[at]) << 8) | data[at + 1];
    at += 2;
    const size_t take = length < size - at ? length : size - at;
    session.Input(data + at, static_cast<int>(take), clock);
    clock += 40;
    if (take > 5) session.FlushFrameForTesting(static_cast<uint32_t>(data[at + 4]) << 24);
    at += take;
  }
  return 0;
}
