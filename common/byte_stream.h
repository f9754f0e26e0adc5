#pragma once
// A growable byte buffer with a read and a write position and an explicit
// byte order, in which signalling, RTP and RTCP records cross the media
// transport. Both the transport and the sessions compile this one class, so
// nothing depends on its object layout; only the record bytes are fixed.
//
// Reads fail (false, position unchanged) when fewer bytes remain than asked
// for, or when the destination is null. Writes grow the buffer and fail only
// when the stream would pass 4 GiB or memory runs out (logged).
//
// Threads: none of its own; one thread at a time.
#include <cstddef>
#include <cstdint>

class CByteStream {
 public:
  // A length of 0 allocates nothing. A non-zero length allocates that
  // capacity and, when initial bytes are given, copies them and sets the
  // write position to the length. host_order true stores integers as this
  // machine does; false (the usual) in network byte order.
  CByteStream(const uint8_t* initial, uint32_t length, bool host_order);
  // Reads the caller's bytes in place without copying or freeing them (the
  // not-owned form). The bytes must outlive the stream; writing to it first
  // copies them into a buffer of its own.
  static CByteStream Borrow(const uint8_t* bytes, uint32_t length, bool host_order);
  ~CByteStream();
  CByteStream(CByteStream&& other) noexcept;
  CByteStream& operator=(CByteStream&& other) noexcept;
  CByteStream(const CByteStream&) = delete;
  CByteStream& operator=(const CByteStream&) = delete;

  // Bytes written and not yet read.
  uint32_t GetDataLength() const { return write_pos_ - read_pos_; }
  // The unread bytes (valid until the next write).
  const uint8_t* ReadPointer() const { return data_ + read_pos_; }
  uint32_t CapacityForTesting() const { return capacity_; }
  uint32_t ReadPosition() const { return read_pos_; }
  bool IsHostOrder() const { return host_order_; }
  bool IsOwnedForTesting() const { return !not_owned_; }
  // Forgets every byte; keeps the buffer for reuse.
  void Clear() { read_pos_ = write_pos_ = 0; }
  // Moves the read position back to a value returned by ReadPosition().
  void RewindTo(uint32_t read_position);

  // Reading.
  bool Skip(uint32_t n);
  bool Read(void* dst, uint32_t n);
  bool ReadUInt8(uint8_t* value);
  bool ReadUInt16(uint16_t* value);
  bool ReadUInt32(uint32_t* value);

  // Writing. Reserve returns where n bytes go and advances the write
  // position past them (null on failure, nothing changed).
  uint8_t* Reserve(uint32_t n);
  bool Write(const void* src, uint32_t n);
  bool WriteUInt8(uint8_t value);
  bool WriteUInt16(uint16_t value);
  bool WriteUInt32(uint32_t value);

 private:
  CByteStream() = default;
  void Reset();

  uint8_t* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t read_pos_ = 0;
  uint32_t write_pos_ = 0;
  bool host_order_ = false;
  bool not_owned_ = false;
};
