#include "video/engine/rtp/rtcp_packet_tool.h"

#include <algorithm>
#include <cstring>

#include "platform/big_endian.h"

namespace vz::rtcp {

using vz::Load24;
using vz::Load32;
using vz::Store24;
using vz::Store32;

namespace {

int RoundUp4(int n) { return (n + 3) & ~3; }

bool Room(uint8_t* out, const int* size, int needed) {
  return out != nullptr && size != nullptr && *size > 0 && *size >= needed;
}

void WriteReportBlocks(uint8_t* at, const ReportBlock* blocks, int count) {
  for (int i = 0; i < count; ++i, at += kReportBlockBytes) {
    const ReportBlock& b = blocks[i];
    Store32(at, b.ssrc);
    at[4] = static_cast<uint8_t>(b.lost & 0xFF);
    Store24(at + 5, b.lost >> 8);
    Store32(at + 8, b.highest_sequence);
    Store32(at + 12, b.jitter);
    Store32(at + 16, b.last_sr);
    Store32(at + 20, b.delay_since_last_sr);
  }
}

bool OfType(const uint8_t* data, int size, uint8_t type) {
  return IsValidPacket(data, size) && data[1] == type;
}

// A reader given more bytes than the packet's length field covers reads only
// the packet itself.
int OwnSize(const uint8_t* data, int size) {
  return static_cast<int>(std::min(static_cast<size_t>(size), HeaderLengthBytes(data)));
}

// Where the report blocks of an SR or RR start, or -1.
int ReportsOffset(const uint8_t* data, int size) {
  if (OfType(data, size, kSenderReport)) return kSenderReportHeadBytes;
  if (OfType(data, size, kReceiverReport)) return kReceiverReportHeadBytes;
  return -1;
}

}  // namespace

int BuildSenderReport(uint32_t ssrc, const SenderInfo* info, const ReportBlock* blocks, int count,
                      uint8_t* out, int* size) {
  if (info == nullptr) return BuildReceiverReport(ssrc, blocks, count, out, size);
  if (count < 0 || count > kMaxCount || (count > 0 && blocks == nullptr)) return -1;
  const int bytes = kSenderReportHeadBytes + kReportBlockBytes * count;
  if (!Room(out, size, bytes)) return -1;
  WriteHeader(out, count, kSenderReport, bytes);
  Store32(out + 4, ssrc);
  Store32(out + 8, info->ntp_seconds);
  Store32(out + 12, info->ntp_fraction);
  Store32(out + 16, info->rtp_timestamp);
  Store32(out + 20, info->packet_count);
  Store32(out + 24, info->octet_count);
  WriteReportBlocks(out + kSenderReportHeadBytes, blocks, count);
  *size = bytes;
  return 0;
}

int BuildReceiverReport(uint32_t ssrc, const ReportBlock* blocks, int count, uint8_t* out,
                        int* size) {
  if (count < 0 || count > kMaxCount || (count > 0 && blocks == nullptr)) return -1;
  const int bytes = kReceiverReportHeadBytes + kReportBlockBytes * count;
  if (!Room(out, size, bytes)) return -1;
  WriteHeader(out, count, kReceiverReport, bytes);
  Store32(out + 4, ssrc);
  WriteReportBlocks(out + kReceiverReportHeadBytes, blocks, count);
  *size = bytes;
  return 0;
}

int BuildSdes(const SdesChunk* chunks, int count, uint8_t* out, int* size) {
  if (chunks == nullptr || count < 1 || count > kMaxCount) return -1;
  if (!Room(out, size, kHeaderBytes + kSdesChunkRoom * count)) return -1;
  int at = kHeaderBytes;
  for (int i = 0; i < count; ++i) {
    const int chunk = RoundUp4(kSdesChunkHeadBytes + chunks[i].length);
    std::memset(out + at, 0, static_cast<size_t>(chunk));
    Store32(out + at, chunks[i].ssrc);
    out[at + 4] = chunks[i].item_type;
    out[at + 5] = chunks[i].length;
    std::memcpy(out + at + kSdesChunkHeadBytes, chunks[i].text, chunks[i].length);
    at += chunk;
  }
  WriteHeader(out, count, kSourceDescription, at);
  *size = at;
  return 0;
}

int BuildBye(const uint32_t* ssrcs, int count, uint8_t* out, int* size) {
  if (ssrcs == nullptr || count < 1 || count > kMaxCount) return -1;
  const int bytes = kHeaderBytes + kByeSsrcBytes * count;
  if (!Room(out, size, bytes)) return -1;
  WriteHeader(out, count, kGoodbye, bytes);
  for (int i = 0; i < count; ++i) Store32(out + kHeaderBytes + kByeSsrcBytes * i, ssrcs[i]);
  *size = bytes;
  return 0;
}

int BuildApp(uint32_t ssrc, int subtype, const char name[4], const uint8_t* data, int length,
             uint8_t* out, int* size) {
  if (name == nullptr || length < 0 || (length > 0 && data == nullptr)) return -1;
  const int bytes = kAppHeadBytes + RoundUp4(length);
  if (bytes / 4 > 0xFFFF || !Room(out, size, bytes)) return -1;
  std::memset(out, 0, static_cast<size_t>(bytes));
  WriteHeader(out, subtype, kApplication, bytes);
  Store32(out + 4, ssrc);
  std::memcpy(out + 8, name, 4);
  if (length > 0) std::memcpy(out + kAppHeadBytes, data, static_cast<size_t>(length));
  *size = bytes;
  return 0;
}

int BuildFeedback(uint8_t type, uint32_t sender_ssrc, uint32_t media_ssrc, int format,
                  const uint8_t* fci, int length, uint8_t* out, int* size) {
  if ((type != kTransportFeedback && type != kPayloadFeedback) || format < 0 ||
      format > kMaxCount || length < 0 || (length > 0 && fci == nullptr)) {
    return -1;
  }
  const int bytes = kFeedbackHeadBytes + RoundUp4(length);
  if (bytes / 4 > 0xFFFF || !Room(out, size, bytes)) return -1;
  std::memset(out, 0, static_cast<size_t>(bytes));
  WriteHeader(out, format, type, bytes);
  Store32(out + 4, sender_ssrc);
  Store32(out + kFeedbackMediaSsrcOffset, media_ssrc);
  if (length > 0) std::memcpy(out + kFeedbackHeadBytes, fci, static_cast<size_t>(length));
  *size = bytes;
  return 0;
}

int Concatenate(const uint8_t* const* packets, const int* lengths, int count, uint8_t* out,
                int* size) {
  if (packets == nullptr || lengths == nullptr || count < 0 || out == nullptr || size == nullptr) {
    return -1;
  }
  int total = 0;
  for (int i = 0; i < count; ++i) {
    if (packets[i] == nullptr || lengths[i] < 0 || lengths[i] > *size - total) return -1;
    total += lengths[i];
  }
  int at = 0;
  for (int i = 0; i < count; ++i) {
    std::memcpy(out + at, packets[i], static_cast<size_t>(lengths[i]));
    at += lengths[i];
  }
  *size = total;
  return 0;
}

int WalkCompound(const PacketHandler& handler, const uint8_t* data, int length) {
  if (data == nullptr || length < 0) return -1;
  CompoundWalk walk(data, static_cast<size_t>(length));
  const uint8_t* packet = nullptr;
  size_t bytes = 0;
  while (walk.Next(&packet, &bytes)) {
    if (handler) handler(packet, static_cast<int>(bytes));
  }
  switch (walk.fault()) {
    case CompoundFault::kNone: return 0;
    case CompoundFault::kZeroLength: return -2;
    case CompoundFault::kShortHeader:
    case CompoundFault::kPastEnd: return -3;
  }
  return -3;
}

bool IsValidPacket(const uint8_t* data, int size) {
  if (data == nullptr || size < kHeaderBytes) return false;
  if (HeaderVersion(data) != kVersion || !IsKnownType(HeaderType(data))) return false;
  return static_cast<size_t>(size) >= HeaderLengthBytes(data);
}

int ReadType(const uint8_t* data, int size) { return IsValidPacket(data, size) ? data[1] : -1; }

int ReadCount(const uint8_t* data, int size) {
  return IsValidPacket(data, size) ? HeaderCount(data) : -1;
}

bool ReadSsrc(const uint8_t* data, int size, uint32_t* ssrc) {
  if (ssrc == nullptr || !IsValidPacket(data, size) || size < 8 || data[1] == kApplication) {
    return false;
  }
  *ssrc = Load32(data + 4);
  return true;
}

int ReadSenderInfo(const uint8_t* data, int size, SenderInfo* info) {
  if (info == nullptr || !OfType(data, size, kSenderReport)) return -1;
  if (size < kSenderReportHeadBytes) return -2;
  info->ntp_seconds = Load32(data + 8);
  info->ntp_fraction = Load32(data + 12);
  info->rtp_timestamp = Load32(data + 16);
  info->packet_count = Load32(data + 20);
  info->octet_count = Load32(data + 24);
  return 0;
}

int ReadReportBlocks(const uint8_t* data, int size, ReportBlock* blocks, int max) {
  const int offset = ReportsOffset(data, size);
  if (offset < 0 || blocks == nullptr || max < 0) return -1;
  size = OwnSize(data, size);
  const int present = std::min(static_cast<int>(HeaderCount(data)), std::max(0, (size - offset) / kReportBlockBytes));
  const int count = std::min(present, max);
  for (int i = 0; i < count; ++i) {
    const uint8_t* at = data + offset + i * kReportBlockBytes;
    blocks[i].ssrc = Load32(at);
    blocks[i].lost = (Load24(at + 5) << 8) | at[4];
    blocks[i].highest_sequence = Load32(at + 8);
    blocks[i].jitter = Load32(at + 12);
    blocks[i].last_sr = Load32(at + 16);
    blocks[i].delay_since_last_sr = Load32(at + 20);
  }
  return count;
}

int ReadDataAfterReports(const uint8_t* data, int size, const uint8_t** rest) {
  const int offset = ReportsOffset(data, size);
  if (offset < 0 || rest == nullptr || size < offset) return -1;
  size = OwnSize(data, size);
  const int end = offset + HeaderCount(data) * kReportBlockBytes;
  if (end > size) return -1;
  *rest = data + end;
  return size - end;
}

int ReadSdesChunks(const uint8_t* data, int size, SdesChunk* chunks, int max) {
  if (chunks == nullptr || max < 0 || !OfType(data, size, kSourceDescription)) return -1;
  size = OwnSize(data, size);
  const int count = std::min(static_cast<int>(HeaderCount(data)), max);
  size_t at = kHeaderBytes;
  size_t next = 0;
  int read = 0;
  while (read < count && SdesChunkAt(data, static_cast<size_t>(size), at, &next)) {
    SdesChunk& chunk = chunks[read++];
    chunk.ssrc = Load32(data + at);
    chunk.item_type = data[at + 4];
    chunk.length = data[at + 5];
    std::memcpy(chunk.text, data + at + kSdesChunkHeadBytes, chunk.length);
    chunk.text[chunk.length] = '\0';
    at = next;
  }
  return read;
}

int ReadByeSsrcs(const uint8_t* data, int size, uint32_t* ssrcs, int max) {
  if (ssrcs == nullptr || max < 0 || !OfType(data, size, kGoodbye)) return -1;
  size = OwnSize(data, size);
  const int count = std::min({static_cast<int>(HeaderCount(data)), max, (size - kHeaderBytes) / kByeSsrcBytes});
  for (int i = 0; i < count; ++i) ssrcs[i] = Load32(data + kHeaderBytes + kByeSsrcBytes * i);
  return count;
}

bool ReadApp(const uint8_t* data, int size, int* subtype, char name[4], const uint8_t** app_data,
             int* length) {
  if (!OfType(data, size, kApplication)) return false;
  size = OwnSize(data, size);
  if (size < kAppHeadBytes) return false;
  if (subtype != nullptr) *subtype = HeaderCount(data);
  if (name != nullptr) std::memcpy(name, data + 8, 4);
  if (app_data != nullptr) *app_data = data + kAppHeadBytes;
  if (length != nullptr) *length = size - kAppHeadBytes;
  return true;
}

bool ReadFeedback(const uint8_t* data, int size, int* format, uint32_t* sender_ssrc,
                  uint32_t* media_ssrc, const uint8_t** fci, int* fci_length) {
  if (!IsValidPacket(data, size) || size < kFeedbackHeadBytes ||
      (data[1] != kTransportFeedback && data[1] != kPayloadFeedback)) {
    return false;
  }
  size = OwnSize(data, size);
  if (size < kFeedbackHeadBytes) return false;
  if (format != nullptr) *format = HeaderCount(data);
  if (sender_ssrc != nullptr) *sender_ssrc = Load32(data + 4);
  if (media_ssrc != nullptr) *media_ssrc = Load32(data + kFeedbackMediaSsrcOffset);
  if (fci != nullptr) *fci = data + kFeedbackHeadBytes;
  if (fci_length != nullptr) *fci_length = size - kFeedbackHeadBytes;
  return true;
}

}  // namespace vz::rtcp
