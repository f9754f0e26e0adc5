#include "video/engine/rtp/rtp_header_extension.h"

#include <cstring>
#include <vector>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/rtp/rtp_packet.h"

namespace vz::rtp {

namespace {

// The elements of an existing block without their padding, or false when an
// element overruns the block.
bool CollectElements(const uint8_t* block, int size, std::vector<uint8_t>* out) {
  int at = 0;
  while (at < size) {
    if (block[at] == 0) {
      ++at;
      continue;
    }
    const int length = (block[at] & 0x0F) + 2;
    if (at + length > size) return false;
    out->insert(out->end(), block + at, block + at + length);
    at += length;
  }
  return true;
}

}  // namespace

bool AddOneByteElements(CVseRtpPacket* packet, const uint8_t* const* elements, const int* lengths,
                        int count) {
  if (packet == nullptr || elements == nullptr || lengths == nullptr || count <= 0) return false;
  std::vector<uint8_t> block;
  const int extension_at = CVseRtpPacket::kFixedHeaderLength + 4 * packet->get_contrib_src_count();
  const int old_header = packet->HeaderLength();
  if (packet->extension()) {
    const uint8_t* data = packet->Data();
    if (old_header > packet->TotalLength() ||
        Load16(data + extension_at) != kOneByteExtensionProfile) {
      return false;
    }
    if (!CollectElements(data + extension_at + 4, old_header - extension_at - 4, &block)) {
      VZ_LOG_ERROR("an element of the existing extension runs past its block");
      return false;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (elements[i] == nullptr || lengths[i] < kMinElementLength || lengths[i] > kMaxElementLength) {
      VZ_LOG_ERROR("element %d of %d has length %d", i, count, lengths[i]);
      return false;
    }
    block.insert(block.end(), elements[i], elements[i] + lengths[i]);
  }
  const int words = static_cast<int>((block.size() + 3) / 4);
  if (words > 0xFFFF) return false;
  block.resize(static_cast<size_t>(4 * words), 0);

  const int payload = packet->PayloadLength();
  const int new_header = extension_at + 4 + 4 * words;
  if (!packet->Reserve(new_header + payload)) return false;
  uint8_t* data = packet->Data();
  std::memmove(data + new_header, data + old_header, static_cast<size_t>(payload));
  Store16(data + extension_at, kOneByteExtensionProfile);
  Store16(data + extension_at + 2, static_cast<uint16_t>(words));
  std::memcpy(data + extension_at + 4, block.data(), block.size());
  packet->set_extension_bit(true);
  packet->SetPayloadLength(payload);
  return true;
}

bool FindOneByteElement(const uint8_t* packet, int size, int id, const uint8_t** element,
                        int* length) {
  if (packet == nullptr || element == nullptr || length == nullptr) return false;
  if (size < CVseRtpPacket::kFixedHeaderLength || (packet[0] & 0x10) == 0) return false;
  const int at = CVseRtpPacket::kFixedHeaderLength + 4 * (packet[0] & 0x0F);
  if (at + 4 > size) return false;
  const int block_size = 4 * Load16(packet + at + 2);
  if (at + 4 + block_size > size || Load16(packet + at) != kOneByteExtensionProfile) return false;
  const uint8_t* block = packet + at + 4;
  int i = 0;
  while (i < block_size) {
    if (block[i] == 0) {
      ++i;
      continue;
    }
    const int element_length = (block[i] & 0x0F) + 2;
    // An element whose data runs past the block is malformed; nothing after
    // it can be trusted either.
    if (i + element_length > block_size) return false;
    if ((block[i] >> 4) == id) {
      *element = block + i;
      *length = element_length;
      return true;
    }
    i += element_length;
  }
  return false;
}

bool FindOneByteElementOfLength(const uint8_t* packet, int size, int id, int expected_length,
                                const uint8_t** element) {
  const uint8_t* found = nullptr;
  int length = 0;
  if (!FindOneByteElement(packet, size, id, &found, &length) || length != expected_length) {
    return false;
  }
  *element = found;
  return true;
}

}  // namespace vz::rtp
