#pragma once
// The one-byte header extension (profile 0xBEDE) inside an RTP packet: adding
// elements to a packet and finding one in received bytes.
//
// An element is one header byte (id in bits 7-4, data length - 1 in bits 3-0)
// followed by its data, 2 to 17 bytes in all; zero bytes between elements are
// padding. The block is zero-padded to whole words.
//
// Threads: none; pure functions of their arguments.
#include <cstdint>

class CVseRtpPacket;

namespace vz::rtp {

constexpr uint16_t kOneByteExtensionProfile = 0xBEDE;
constexpr int kMinElementLength = 2;
constexpr int kMaxElementLength = 17;

// Appends elements (each given whole, header byte first) to the packet's
// one-byte extension, creating it when the packet has none and moving the
// payload behind the grown block. Refuses (false, packet unchanged) a missing
// element, a length outside 2..17, or an existing extension of another
// profile.
bool AddOneByteElements(CVseRtpPacket* packet, const uint8_t* const* elements, const int* lengths,
                        int count);

// Finds the first element with `id` in the packet bytes. Succeeds only when
// the extension bit is set, the whole header lies within `size`, the profile
// is 0xBEDE and the element's data ends inside the block; gives a pointer to
// its header byte and its length including that byte.
bool FindOneByteElement(const uint8_t* packet, int size, int id, const uint8_t** element,
                        int* length);

// The same, and the element must be exactly `expected_length` bytes long:
// what a reader of a fixed-size element uses.
bool FindOneByteElementOfLength(const uint8_t* packet, int size, int id, int expected_length,
                                const uint8_t** element);

}  // namespace vz::rtp
