// Arbitrary packets through the one-byte extension finder, and elements
// appended to whatever parsed: a found element lies inside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/rtp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const int n = static_cast<int>(size);
  for (int id = 0; id < 16; ++id) {
    const uint8_t* element = nullptr;
    int length = 0;
    if (vz::rtp::FindOneByteElement(data, n, id, &element, &length)) {
      if (element < data || element + length > data + size || length < 2 || length > 17) {
        std::abort();
      }
    }
  }
  CVseRtpPacket packet;
  if (packet.from_buffer(data, n) >= 0) {
    const uint8_t element[3] = {0x11, 0x12, 0x34};
    const uint8_t* elements[] = {element};
    const int lengths[] = {3};
    const int payload = packet.PayloadLength();
    if (vz::rtp::AddOneByteElements(&packet, elements, lengths, 1)) {
      if (packet.PayloadLength() != payload) std::abort();
      const uint8_t* found = nullptr;
      if (!vz::rtp::FindOneByteElementOfLength(packet.Data(), packet.TotalLength(), 1, 3, &found) &&
          packet.get_contrib_src_count() >= 0) {
        // An earlier element with id 1 of another length may come first.
      }
    }
  }
  return 0;
}
