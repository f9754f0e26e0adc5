#pragma once
// Helpers of the receive tests: captured log lines and RTP packets with a
// timing element.
#include <cstdint>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "common/trace_client.h"
#include "platform/big_endian.h"

namespace receive_test {

// Captures the log lines of the code under test while alive.
using LogCapture = vz::LogLineCapture;

struct PacketSpec {
  uint8_t payload_type = 98;
  uint32_t rtp_ts = 0;
  uint32_t ssrc = 0x11223344;
  bool extension = true;
  bool timing = true;
  uint16_t counter = 0;
  uint32_t send_ms = 0;
  int payload_bytes = 100;
};

// A packet as the sender writes it: 12-byte header, a one-byte extension
// with a priority element and (optionally) the 9-byte timing element, then
// the payload.
inline std::vector<uint8_t> MakePacket(const PacketSpec& spec) {
  std::vector<uint8_t> p(12, 0);
  p[0] = 0x80 | (spec.extension ? 0x10 : 0);
  p[1] = spec.payload_type;
  vz::Store32(&p[4], spec.rtp_ts);
  vz::Store32(&p[8], spec.ssrc);
  if (spec.extension) {
    std::vector<uint8_t> elements = {0x11, 0x00, 0x00};
    if (spec.timing) {
      const size_t at = elements.size();
      elements.resize(at + 9, 0);
      elements[at] = 0x27;
      vz::Store16(&elements[at + 1], spec.counter);
      vz::Store32(&elements[at + 3], spec.send_ms);
    }
    while (elements.size() % 4 != 0) elements.push_back(0);
    p.push_back(0xBE);
    p.push_back(0xDE);
    p.push_back(0);
    p.push_back(static_cast<uint8_t>(elements.size() / 4));
    p.insert(p.end(), elements.begin(), elements.end());
  }
  p.resize(p.size() + static_cast<size_t>(spec.payload_bytes), 0x5A);
  return p;
}

}  // namespace receive_test
