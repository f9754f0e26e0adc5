#include "video/engine/rtp/rtp_packet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"
#include "platform/big_endian.h"

using vz::Load16;
using vz::Load32;
using vz::Store16;
using vz::Store32;

CVseRtpPacket::CVseRtpPacket(int capacity) {
  capacity = std::max(capacity, kFixedHeaderLength);
  buffer_ = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(capacity), 1));
  if (buffer_ == nullptr) {
    // Keep a usable object: a fixed header's worth of room.
    VZ_LOG_ERROR("out of memory for %d bytes", capacity);
    static_assert(kFixedHeaderLength <= 16);
    capacity = 16;
    buffer_ = static_cast<uint8_t*>(std::calloc(16, 1));
    if (buffer_ == nullptr) std::abort();
  }
  capacity_ = capacity;
  buffer_[0] = 0x80;
}

CVseRtpPacket::~CVseRtpPacket() { std::free(buffer_); }

void CVseRtpPacket::Reset() {
  std::memset(buffer_, 0, static_cast<size_t>(capacity_));
  payload_length_ = 0;
  total_length_ = 0;
  incomplete_ = 1;
  buffer_[0] = 0x80;
}

bool CVseRtpPacket::Reserve(int capacity) {
  if (capacity <= capacity_) return true;
  auto* grown = static_cast<uint8_t*>(std::realloc(buffer_, static_cast<size_t>(capacity)));
  if (grown == nullptr) {
    VZ_LOG_ERROR("out of memory for %d bytes", capacity);
    return false;
  }
  std::memset(grown + capacity_, 0, static_cast<size_t>(capacity - capacity_));
  buffer_ = grown;
  capacity_ = capacity;
  return true;
}

int CVseRtpPacket::from_buffer(const uint8_t* data, int size) {
  if (data == nullptr || size < kFixedHeaderLength) {
    VZ_LOG_ERROR("len>=(_int32_t)sizeof(_rtp_packet_header_t)");
    Reset();
    return -1;
  }
  if (size > capacity_) {
    auto* replaced = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    if (replaced == nullptr) {
      VZ_LOG_ERROR("out of memory for %d bytes", size);
      Reset();
      return -1;
    }
    std::free(buffer_);
    buffer_ = replaced;
    capacity_ = size;
  }
  std::memcpy(buffer_, data, static_cast<size_t>(size));
  if (size < capacity_) std::memset(buffer_ + size, 0, static_cast<size_t>(capacity_ - size));
  const int header = HeaderLength();
  if (header > size) {
    VZ_LOG_ERROR("header length %d > packet size %d", header, size);
    Reset();
    return -1;
  }
  total_length_ = size;
  payload_length_ = size - header;
  incomplete_ = 1;
  return header;
}

int CVseRtpPacket::HeaderLength() const {
  int length = kFixedHeaderLength + 4 * get_contrib_src_count();
  if (extension()) {
    // The length word lies within the buffer whenever the CSRC list does;
    // from_buffer() rejects bytes that end before it.
    if (length + 4 > capacity_) return capacity_ + 1;
    length += 4 + 4 * Load16(buffer_ + length + 2);
  }
  return length;
}

bool CVseRtpPacket::set_contrib_src_count_for_testing(int count) {
  if (count < 0 || count > kMaxContribSources) {
    VZ_LOG_ERROR("count <= 0xf");
    return false;
  }
  buffer_[0] = static_cast<uint8_t>((buffer_[0] & 0xF0) | count);
  return true;
}

bool CVseRtpPacket::set_payload_type(int type) {
  if (type < 0 || type > 0x7F) {
    VZ_LOG_ERROR("t <= 0x7f");
    return false;
  }
  buffer_[1] = static_cast<uint8_t>((buffer_[1] & 0x80) | type);
  return true;
}

uint16_t CVseRtpPacket::sequence() const { return Load16(buffer_ + 2); }
void CVseRtpPacket::set_sequence(uint16_t sequence) { Store16(buffer_ + 2, sequence); }
uint32_t CVseRtpPacket::timestamp() const { return Load32(buffer_ + 4); }
void CVseRtpPacket::set_timestamp(uint32_t timestamp) { Store32(buffer_ + 4, timestamp); }
uint32_t CVseRtpPacket::ssrc() const { return Load32(buffer_ + 8); }
void CVseRtpPacket::set_ssrc(uint32_t ssrc) { Store32(buffer_ + 8, ssrc); }

uint32_t CVseRtpPacket::get_contrib_source_for_testing(int idx) const {
  if (idx < 0 || idx >= get_contrib_src_count()) {
    VZ_LOG_ERROR("idx < get_contrib_src_count()");
    return 0;
  }
  return Load32(buffer_ + kFixedHeaderLength + 4 * idx);
}

bool CVseRtpPacket::set_contrib_source_for_testing(int idx, uint32_t csrc) {
  if (idx < 0 || idx > kMaxContribSources) {
    VZ_LOG_ERROR("idx <= 15");
    return false;
  }
  const int count = get_contrib_src_count();
  if (idx >= count) {
    if (extension()) {
      VZ_LOG_ERROR("a CSRC cannot be added in front of a header extension");
      return false;
    }
    const int old_header = HeaderLength();
    const int new_header = kFixedHeaderLength + 4 * (idx + 1);
    if (!MovePayload(old_header, new_header)) return false;
    std::memset(buffer_ + old_header, 0, static_cast<size_t>(new_header - old_header));
    buffer_[0] = static_cast<uint8_t>((buffer_[0] & 0xF0) | (idx + 1));
    total_length_ = new_header + payload_length_;
  }
  Store32(buffer_ + kFixedHeaderLength + 4 * idx, csrc);
  return true;
}

bool CVseRtpPacket::MovePayload(int old_header_length, int new_header_length) {
  if (!Reserve(new_header_length + payload_length_)) return false;
  std::memmove(buffer_ + new_header_length, buffer_ + old_header_length,
               static_cast<size_t>(payload_length_));
  return true;
}

bool CVseRtpPacket::GetExtensionForTesting(uint16_t profile, uint8_t* data, int* length) const {
  if (!extension() || data == nullptr || length == nullptr) return false;
  const int at = kFixedHeaderLength + 4 * get_contrib_src_count();
  if (at + 4 > total_length_ || Load16(buffer_ + at) != profile) return false;
  const int available = std::min(4 * Load16(buffer_ + at + 2), total_length_ - at - 4);
  const int copied = std::max(0, std::min(available, *length));
  std::memcpy(data, buffer_ + at + 4, static_cast<size_t>(copied));
  *length = copied;
  return true;
}

bool CVseRtpPacket::SetExtensionForTesting(uint16_t profile, const uint8_t* data, int length) {
  if (extension() || data == nullptr || length <= 0 || length > 4 * 0xFFFF) return false;
  const int words = (length + 3) / 4;
  const int old_header = HeaderLength();
  const int new_header = old_header + 4 + 4 * words;
  if (!MovePayload(old_header, new_header)) return false;
  Store16(buffer_ + old_header, profile);
  Store16(buffer_ + old_header + 2, static_cast<uint16_t>(words));
  std::memcpy(buffer_ + old_header + 4, data, static_cast<size_t>(length));
  std::memset(buffer_ + old_header + 4 + length, 0, static_cast<size_t>(4 * words - length));
  set_extension_bit(true);
  total_length_ = new_header + payload_length_;
  return true;
}

bool CVseRtpPacket::IsValid() const {
  if (version() != 2) return false;
  const int type = payload_type();
  if (type >= 72 && type <= 76) return false;
  const int header = HeaderLength();
  if (total_length_ < header) return false;
  if (padding()) {
    if (total_length_ <= header) return false;
    const int pad = buffer_[total_length_ - 1];
    if (pad == 0 || pad > total_length_ - header) return false;
  }
  return true;
}

bool CVseRtpPacket::SetPayloadLength(int n) {
  if (n < 0) return false;
  const int header = HeaderLength();
  if (!Reserve(header + n)) return false;
  payload_length_ = n;
  total_length_ = header + n;
  return true;
}

bool CVseRtpPacket::SetPayload(const uint8_t* data, int n) {
  if (data == nullptr || n < 0 || !SetPayloadLength(n)) return false;
  std::memcpy(Payload(), data, static_cast<size_t>(n));
  return true;
}
