#pragma once
// The three records that cross the media transport, each written into and
// read from a CByteStream in the stream's byte order (network order for the
// sessions' streams). Every record starts with its uint16 kind:
//   7 command: the serialized signalling message to the end of the stream;
//   8 RTP:     uint16 0, uint32 0, uint8 1, uint16 length, length bytes;
//   9 RTCP:    uint16 length, length bytes.
// Lengths are 16-bit, so an RTP or RTCP payload over 65,535 bytes is refused
// (logged, false, nothing written) instead of being cut short.
// Readers fail, leaving the read position where it was, when the stream ends
// early or the kind is not theirs.
#include <cstdint>
#include <vector>

class CByteStream;

constexpr uint16_t kCommandRecordKind = 7;
constexpr uint16_t kRtpRecordKind = 8;
constexpr uint16_t kRtcpRecordKind = 9;
constexpr uint32_t kMaxRecordPayload = 0xFFFF;

// An RTP record as read, with its own copy of the packet.
struct RtpRecord {
  uint16_t kind = 0;
  uint16_t reserved16 = 0;  // written 0, read and ignored
  uint32_t reserved32 = 0;  // written 0, read and ignored
  uint8_t flag = 0;         // written 1, read and ignored
  uint16_t length = 0;
  std::vector<uint8_t> data;
};

// An RTCP record as read, with its own copy of the packet.
struct RtcpRecord {
  uint16_t kind = 0;
  uint16_t length = 0;
  std::vector<uint8_t> data;
};

bool WriteCommandRecord(CByteStream* stream, const uint8_t* message, uint32_t length);
bool WriteRtpRecord(CByteStream* stream, uint8_t flag, const uint8_t* packet, uint32_t length);
bool WriteRtcpRecord(CByteStream* stream, const uint8_t* packet, uint32_t length);

// The kind at the read position without consuming it; false when fewer than
// two bytes remain.
bool PeekRecordKind(const CByteStream& stream, uint16_t* kind);
// Skips the kind and copies the rest of the stream as the message.
bool ReadCommandRecord(CByteStream* stream, std::vector<uint8_t>* message);
bool ReadRtpRecord(CByteStream* stream, RtpRecord* record);
bool ReadRtcpRecord(CByteStream* stream, RtcpRecord* record);
