#pragma once
// The four one-byte extension elements the engine writes, each operating on a
// caller's element buffer (header byte first). Media packets carry priority,
// frame flags and timing; FEC packets priority, FEC level and timing.
//
// Threads: none; functions of their arguments.
#include <cstdint>

// Id 1, 3 bytes: four 4-bit drop priorities, one per receiver class (slot 0
// = high nibble of data byte 0 ... slot 3 = low nibble of data byte 1).
// 0 is the most needed, 15 means "not needed by that class".
class CRtpOneByteHeaderExtend_Priority {
 public:
  static constexpr uint8_t kHeader = 0x11;
  static constexpr int kLength = 3;
  static constexpr int kNotNeeded = 15;
  static void Init(uint8_t* element) { element[0] = kHeader; element[1] = element[2] = 0; }
  // Writes the low 4 bits of value; a slot outside 0-3 logs and changes
  // nothing.
  static void SetPriority(uint8_t* element, int slot, int value);
  // The slot's nibble; 15 (logged) for a slot outside 0-3.
  static int GetPriority(const uint8_t* element, int slot);
};

// Id 2, 9 bytes: 16-bit send counter, 32-bit time in ms, 16-bit round-trip
// time in ms, big-endian.
class CRtpOneByteHeaderExtend_Timing {
 public:
  static constexpr uint8_t kHeader = 0x27;
  static constexpr int kLength = 9;
  static void Init(uint8_t* element);
  static void SetCounter(uint8_t* element, uint16_t counter);
  static void SetTimeMs(uint8_t* element, uint32_t time_ms);
  static void SetRoundTripMs(uint8_t* element, uint16_t rtt_ms);
  static uint32_t GetTimeMsForTesting(const uint8_t* element);
};

// Id 3, 2 bytes: bit 0 FEC class present, bits 3-1 FEC class, bit 4 first
// packet of the NAL unit, bit 5 last packet.
class CRtpOneByteHeaderExtend_FrameFlags {
 public:
  static constexpr uint8_t kHeader = 0x30;
  static constexpr int kLength = 2;
  static void Init(uint8_t* element) { element[0] = kHeader; element[1] = 0; }
  static void SetClassPresent(uint8_t* element, bool on) { SetBits(element, 0x01, on ? 0x01 : 0); }
  static void SetClass(uint8_t* element, int fec_class) {
    SetBits(element, 0x0E, static_cast<uint8_t>((fec_class & 7) << 1));
  }
  static void SetFirst(uint8_t* element, bool on) { SetBits(element, 0x10, on ? 0x10 : 0); }
  static void SetLast(uint8_t* element, bool on) { SetBits(element, 0x20, on ? 0x20 : 0); }
  static bool ClassPresentForTesting(const uint8_t* element) { return (element[1] & 0x01) != 0; }
  static bool FirstForTesting(const uint8_t* element) { return (element[1] & 0x10) != 0; }
  static bool LastForTesting(const uint8_t* element) { return (element[1] & 0x20) != 0; }

 private:
  static void SetBits(uint8_t* element, uint8_t mask, uint8_t bits) {
    element[1] = static_cast<uint8_t>((element[1] & ~mask) | bits);
  }
};

// Id 4, 2 bytes: the FEC level (0-7) from which a repair packet is sent.
class CRtpOneByteHeaderExtend_FecLevel {
 public:
  static constexpr uint8_t kHeader = 0x40;
  static constexpr int kLength = 2;
  static void Init(uint8_t* element) { element[0] = kHeader; element[1] = 0; }
  static void SetLevel(uint8_t* element, int level) { element[1] = static_cast<uint8_t>(level); }
};
