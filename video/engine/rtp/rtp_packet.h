#pragma once
// CVseRtpPacket: one RTP packet held whole in network byte order, with typed
// accessors for the fixed header, the CSRC list, one header extension and the
// payload. The packer and the sessions build packets in it; received
// datagrams are copied into it and checked with IsValid() before use.
//
// Contract:
// - The buffer always holds the packet from its first header byte; total
//   length == HeaderLength() + PayloadLength() after every operation.
// - Writers that need more room grow the buffer (the payload pointer may then
//   move); an allocation failure leaves the packet unchanged and returns false.
// - Setters given an out-of-range value log and leave the packet unchanged.
// - from_buffer() refuses (returns -1, packet reset) bytes shorter than the
//   fixed header or shorter than the header they describe, so a parsed packet
//   never has a negative payload length.
//
// Threads: none of its own; one thread at a time.
#include <cstdint>

class CVseRtpPacket {
 public:
  static constexpr int kFixedHeaderLength = 12;
  static constexpr int kDefaultCapacity = 1300;
  static constexpr int kMaxContribSources = 15;

  // A zeroed packet of version 2 with `capacity` bytes of room.
  explicit CVseRtpPacket(int capacity = kDefaultCapacity);
  virtual ~CVseRtpPacket();
  CVseRtpPacket(const CVseRtpPacket&) = delete;
  CVseRtpPacket& operator=(const CVseRtpPacket&) = delete;

  // CSRC at idx in host order; 0 (logged) when idx >= CC.
  virtual uint32_t get_contrib_source_for_testing(int idx) const;
  // Stores a CSRC, growing CC to idx + 1 and moving the payload back. Refused
  // (logged, false) when idx > 15 or the packet carries an extension, whose
  // bytes would otherwise be overwritten.
  virtual bool set_contrib_source_for_testing(int idx, uint32_t csrc);
  // 12 + 4 x CC, plus 4 + 4 x L when the extension bit is set.
  virtual int HeaderLength() const;
  // Copies min(4 x L, *length) bytes of extension data when the extension's
  // profile is `profile`; false (nothing copied) otherwise.
  virtual bool GetExtensionForTesting(uint16_t profile, uint8_t* data, int* length) const;
  // Adds an extension (only when there is none); data is zero-padded to whole
  // words and the payload moves back behind it.
  virtual bool SetExtensionForTesting(uint16_t profile, const uint8_t* data, int length);
  // Received-packet check: version 2, not an RTCP type (200-204) in the
  // second byte, the header within the packet and sane padding.
  virtual bool IsValid() const;

  // Copies received bytes; returns the header length, or -1 (logged, packet
  // reset) when they cannot be an RTP packet of that header length.
  int from_buffer(const uint8_t* data, int size);
  // Zeroes the packet: lengths 0, incomplete flag 1, version 2.
  void Reset();

  // Header fields.
  int version() const { return buffer_[0] >> 6; }
  bool padding() const { return (buffer_[0] & 0x20) != 0; }
  void set_padding_for_testing(bool on) { SetBit(0, 0x20, on); }
  bool extension() const { return (buffer_[0] & 0x10) != 0; }
  void set_extension_bit(bool on) { SetBit(0, 0x10, on); }
  int get_contrib_src_count() const { return buffer_[0] & 0x0F; }
  bool set_contrib_src_count_for_testing(int count);
  bool marker_for_testing() const { return (buffer_[1] & 0x80) != 0; }
  void set_marker(bool on) { SetBit(1, 0x80, on); }
  int payload_type() const { return buffer_[1] & 0x7F; }
  bool set_payload_type(int type);
  uint16_t sequence() const;
  void set_sequence(uint16_t sequence);
  uint32_t timestamp() const;
  void set_timestamp(uint32_t timestamp);
  uint32_t ssrc() const;
  void set_ssrc(uint32_t ssrc);

  // Payload.
  uint8_t* Payload() { return buffer_ + HeaderLength(); }
  const uint8_t* Payload() const { return buffer_ + HeaderLength(); }
  int PayloadLength() const { return payload_length_; }
  // Sets the payload length (the caller writes the bytes at Payload()),
  // growing the buffer when needed; false when n < 0 or memory runs out.
  bool SetPayloadLength(int n);
  // Copies n bytes as the payload.
  bool SetPayload(const uint8_t* data, int n);

  // Buffer.
  uint8_t* Data() { return buffer_; }
  const uint8_t* Data() const { return buffer_; }
  int TotalLength() const { return total_length_; }
  int CapacityForTesting() const { return capacity_; }
  // Grows the buffer to at least `capacity` bytes, keeping its contents.
  bool Reserve(int capacity);

  // Not on the wire: 0 when the packet carries one whole NAL unit.
  int incomplete() const { return incomplete_; }
  void set_incomplete(int value) { incomplete_ = value; }

 protected:
  // Moves the payload so that it starts at `new_header_length`; grows first.
  bool MovePayload(int old_header_length, int new_header_length);
  void SetBit(int byte, uint8_t mask, bool on) {
    buffer_[byte] = static_cast<uint8_t>(on ? (buffer_[byte] | mask) : (buffer_[byte] & ~mask));
  }

  uint8_t* buffer_ = nullptr;
  int payload_length_ = 0;
  int total_length_ = 0;
  int capacity_ = 0;
  int incomplete_ = 1;
};
