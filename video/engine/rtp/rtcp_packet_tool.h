#pragma once
// RTCP packets: builders and readers of SR, RR, SDES, BYE, APP, RTPFB and
// PSFB, compound concatenation and walking.
//
// The length field of every packet here is the packet's size in 32-bit words
// including the header word, rounded up: one more than the standard's
// "words minus one". Peers of this engine write and read it so, so a
// standard RTCP library cannot be used for these packets.
//
// Builders write into the caller's buffer; *size gives its room and receives
// the packet's size; -1 on a missing argument, no room or a count that does
// not fit the 5-bit field. Readers take one packet (data, size), check its
// validity and type first and never read past size.
//
// Threads: none; functions of their arguments.
#include <cstdint>
#include <functional>

#include "contracts/rtcp_compound.h"
#include "contracts/rtcp_packet_types.h"

namespace vz::rtcp {

// The packet types (PacketType) are in contracts/rtcp_packet_types.h; the
// header, the lengths, the fixed parts of each type and the SDES chunk walk,
// which the relay checks by too, in contracts/rtcp_compound.h.
constexpr int kMaxCount = 31;
constexpr int kSdesChunkRoom = 264;  // SSRC, type, length, 255 text bytes, padding
constexpr uint8_t kSdesCname = 1;
constexpr int kApplicationFeedbackFormat = 15;

struct ReportBlock {
  uint32_t ssrc = 0;
  uint32_t lost = 0;  // cumulative count << 8 | fraction lost
  uint32_t highest_sequence = 0;
  uint32_t jitter = 0;
  uint32_t last_sr = 0;
  uint32_t delay_since_last_sr = 0;
};

struct SenderInfo {
  uint32_t ntp_seconds = 0;
  uint32_t ntp_fraction = 0;
  uint32_t rtp_timestamp = 0;
  uint32_t packet_count = 0;
  uint32_t octet_count = 0;
};

struct SdesChunk {
  uint32_t ssrc = 0;
  uint8_t item_type = 0;
  uint8_t length = 0;
  char text[256] = {};  // `length` bytes, then a terminating zero
};

// Builders: 0 on success, -1 on failure (nothing promised about the buffer).
int BuildSenderReport(uint32_t ssrc, const SenderInfo* info, const ReportBlock* blocks, int count,
                      uint8_t* out, int* size);  // an RR when info is null
int BuildReceiverReport(uint32_t ssrc, const ReportBlock* blocks, int count, uint8_t* out,
                        int* size);
// Each chunk is zero-padded to a word boundary.
int BuildSdes(const SdesChunk* chunks, int count, uint8_t* out, int* size);
int BuildBye(const uint32_t* ssrcs, int count, uint8_t* out, int* size);
// The data is zero-padded to whole words.
int BuildApp(uint32_t ssrc, int subtype, const char name[4], const uint8_t* data, int length,
             uint8_t* out, int* size);
// RTPFB (205) and PSFB (206); the FCI may be absent (length 0) and is
// zero-padded to whole words.
int BuildFeedback(uint8_t type, uint32_t sender_ssrc, uint32_t media_ssrc, int format,
                  const uint8_t* fci, int length, uint8_t* out, int* size);

// Concatenates packets into one compound packet; -1 when it does not fit.
int Concatenate(const uint8_t* const* packets, const int* lengths, int count, uint8_t* out,
                int* size);

// Hands each packet of a compound (length x 4 bytes) to the handler in turn,
// by the walk of contracts/rtcp_compound.h. Returns 0 at the end of the data,
// -2 at a length of 0, -3 when a length runs past the data or fewer than 4
// bytes remain (nothing of it is handed on).
using PacketHandler = std::function<void(const uint8_t* packet, int size)>;
int WalkCompound(const PacketHandler& handler, const uint8_t* data, int length);

// Version 2, type 200 to 206, at least a header and not shorter than its
// length field says.
bool IsValidPacket(const uint8_t* data, int size);

// Readers; -1 (or false) when the packet is invalid, of another type, or too
// short for the field.
int ReadType(const uint8_t* data, int size);
int ReadCount(const uint8_t* data, int size);  // the 5-bit count or format
bool ReadSsrc(const uint8_t* data, int size, uint32_t* ssrc);
// SR: 0 with the info, -2 when the packet is too short to hold one.
int ReadSenderInfo(const uint8_t* data, int size, SenderInfo* info);
// SR and RR: the blocks present, up to max and the packet's end.
int ReadReportBlocks(const uint8_t* data, int size, ReportBlock* blocks, int max);
// SR and RR: where the bytes after the report blocks start (0 bytes when none).
int ReadDataAfterReports(const uint8_t* data, int size, const uint8_t** rest);
int ReadSdesChunks(const uint8_t* data, int size, SdesChunk* chunks, int max);
int ReadByeSsrcs(const uint8_t* data, int size, uint32_t* ssrcs, int max);
bool ReadApp(const uint8_t* data, int size, int* subtype, char name[4], const uint8_t** app_data,
             int* length);
// RTPFB and PSFB: format, the two SSRCs and the FCI (size - 12 bytes at 12).
bool ReadFeedback(const uint8_t* data, int size, int* format, uint32_t* sender_ssrc,
                  uint32_t* media_ssrc, const uint8_t** fci, int* fci_length);

}  // namespace vz::rtcp
