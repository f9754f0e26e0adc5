// Arbitrary datagrams into receive monitors of one manager: the first two
// bytes pick the monitor and move the receive clock, the rest is the packet.
// Nothing may read outside the bytes, and a feedback compound that leaves
// must walk cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "video/engine/receive/rtp_monitor_manager.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

namespace {

struct CheckingOut final : IRtpPacketOut {
  VseResult SendPacket(const uint8_t* data, int32_t length, int32_t) override {
    if (length <= 0 || length > CVseRtpMonitorManager::kCompoundBytes) std::abort();
    if (vz::rtcp::WalkCompound([](const uint8_t*, int) {}, data, length) != 0) std::abort();
    return VSE_S_OK;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 70000) return 0;
  CheckingOut out;
  CVseRtpMonitorManager manager(&out);
  CVseRtpMonitor* monitors[4] = {};
  for (uint32_t i = 0; i < 4; ++i) manager.CreateMonitor(i, &monitors[i]);
  // The input is cut into datagrams at each 0xFE byte, so one input plays a
  // whole exchange.
  uint32_t now = 1000;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != 0xFE) continue;
    if (i - start >= 2) {
      const uint8_t pick = data[start];
      now += data[start + 1] * 16u;
      const uint8_t* packet = data + start + 2;
      const int length = static_cast<int>(i - start - 2);
      // Through a private copy, so the sanitizer sees any read past it.
      uint8_t* copy = length > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length))) : nullptr;
      for (int k = 0; k < length; ++k) copy[k] = packet[k];
      monitors[pick & 3]->InputReceivedRtpData(copy, length, now);
      std::free(copy);
    }
    start = i + 1;
  }
  return 0;
}
