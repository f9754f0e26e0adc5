// The send side of CMMRTPSession4SVC: payload formats and FEC packets.
#include <algorithm>
#include <cstring>
#include <vector>

#include "contracts/h264_nal_types.h"
#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/rtp/reed_solomon_cache.h"
#include "video/engine/rtp/reed_solomon_codec.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"
#include "video/engine/rtp/serial_order.h"

using namespace vz::rtp;
using vz::Store16;
using vz::Store24;
using vz::Store32;

namespace {
}  // namespace

CMMRTPSession4SVC* CreateVseRTPSession(IRtpSessionSink* sink, uint32_t ssrc, int kind) {
  VZ_LOG("");
  if (kind != kSvcSessionKind) return nullptr;
  return new CMMRTPSession4SVC(sink, ssrc);
}

void DestroyVseRTPSession(CMMRTPSession4SVC* session) {
  VZ_LOG("");
  delete session;
}

CMMRTPSession4SVC::CMMRTPSession4SVC(IRtpSessionSink* sink, uint32_t ssrc)
    : CMMRTPSessionBase(ssrc), sink_(sink) {
  VZ_LOG("");
}

CMMRTPSession4SVC::~CMMRTPSession4SVC() { VZ_LOG(""); }

int CMMRTPSession4SVC::SetPayloadTypes(int media, int fec) {
  if (media == fec || media < 0 || media > 127 || fec < 0 || fec > 127) return -1;
  media_type_ = media;
  fec_type_ = fec;
  return 0;
}

int CMMRTPSession4SVC::SetFecModeForTesting(int mode) {
  if (mode != 0 && mode != 1) return -1;
  fec_mode_ = mode;
  return 0;
}

void CMMRTPSession4SVC::PrepareMediaPacket(uint32_t timestamp, CVseRtpPacket* packet) {
  ++stats_.packets_made;
  packet->Reset();
  packet->set_sequence(media_sequence_++);
  packet->set_payload_type(media_type_);
  packet->set_marker(true);
  packet->set_ssrc(ssrc_);
  packet->set_timestamp(timestamp);
}

void CMMRTPSession4SVC::PrepareFecPacket(uint32_t timestamp, CVseRtpPacket* packet) {
  packet->Reset();
  packet->set_payload_type(fec_type_);
  packet->set_ssrc(ssrc_);
  packet->set_timestamp(timestamp);
}

int CMMRTPSession4SVC::Single(uint32_t timestamp, int length, const uint8_t* nal,
                              CVseRtpPacket* packet) {
  if (packet == nullptr || nal == nullptr || length <= 0) return -1;
  PrepareMediaPacket(timestamp, packet);
  if (!packet->SetPayload(nal, length)) return -1;
  last_nal_header_ = nal[0];
  return 0;
}

int CMMRTPSession4SVC::Fragment(uint32_t timestamp, int length, const uint8_t* nal, int count,
                                CVseRtpPacket* const* packets) {
  if (packets == nullptr || nal == nullptr || length < 2 || count < 1) return -1;
  const int chunk = (length + count - 1) / count;
  last_nal_header_ = nal[0];
  const uint8_t indicator = static_cast<uint8_t>((last_nal_header_ & 0xE0) | kNalFuA);
  const uint8_t type = static_cast<uint8_t>(NalTypeOf(last_nal_header_));
  for (int i = 0; i < count; ++i) {
    CVseRtpPacket* packet = packets[i];
    if (packet == nullptr) return -1;
    const int begin = std::min(length, i * chunk);
    const int end = (i == count - 1) ? length : std::min(length, begin + chunk);
    // The first fragment drops the NAL header byte; the FU header carries it.
    const int data_begin = (i == 0) ? begin + 1 : begin;
    const int data_length = std::max(0, end - data_begin);
    PrepareMediaPacket(timestamp, packet);
    if (!packet->SetPayloadLength(2 + data_length)) return -1;
    uint8_t* payload = packet->Payload();
    payload[0] = indicator;
    payload[1] = static_cast<uint8_t>((i == 0 ? 0x80 : 0) | (i == count - 1 ? 0x40 : 0) | type);
    if (data_length > 0) std::memcpy(payload + 2, nal + data_begin, static_cast<size_t>(data_length));
    packet->set_marker(i == count - 1);
  }
  return 0;
}

int CMMRTPSession4SVC::AggregateForTesting(uint32_t timestamp, int count, const int* lengths,
                                           const uint8_t* const* nals, CVseRtpPacket* packet) {
  if (packet == nullptr || lengths == nullptr || nals == nullptr || count < 1) return -1;
  int total = 1;
  for (int i = 0; i < count; ++i) {
    if (nals[i] == nullptr || lengths[i] < 1 || lengths[i] > 0xFFFF) return -1;
    total += 2 + lengths[i];
  }
  PrepareMediaPacket(timestamp, packet);
  if (!packet->SetPayloadLength(total)) return -1;
  uint8_t* payload = packet->Payload();
  int at = 1;
  for (int i = 0; i < count; ++i) {
    const uint8_t header = nals[i][0];
    // The aggregate carries the greatest NRI of its units.
    if (i == 0 || (header & 0x60) > (payload[0] & 0x60)) {
      payload[0] = static_cast<uint8_t>((header & 0xF8) | kNalStapA);
    }
    Store16(payload + at, static_cast<uint16_t>(lengths[i]));
    std::memcpy(payload + at + 2, nals[i], static_cast<size_t>(lengths[i]));
    at += 2 + lengths[i];
    last_nal_header_ = header;
  }
  return 0;
}

int CMMRTPSession4SVC::MakeReedSolomonFec(CVseRtpPacket* const* media, int k,
                                          CVseRtpPacket* const* fec, int m) {
  if (fec_mode_ != 1) return -2;
  if (media == nullptr || fec == nullptr || k < 1 || m < 1 || k + m > kMaxGroupPackets) return -1;
  // Every entry is checked before any is read, the first included.
  for (int i = 0; i < k; ++i) {
    if (media[i] == nullptr) return -1;
  }
  int longest = 0;
  uint16_t lowest = media[0]->sequence();
  uint16_t highest = lowest;
  uint32_t latest = media[0]->timestamp();
  for (int i = 0; i < k; ++i) {
    longest = std::max(longest, media[i]->TotalLength());
    const uint16_t s = media[i]->sequence();
    if (IsLater16(lowest, s)) lowest = s;
    if (IsLater16(s, highest)) highest = s;
    if (IsLater32(media[i]->timestamp(), latest)) latest = media[i]->timestamp();
  }
  if (static_cast<uint16_t>(highest - lowest) + 1 != k) return -1;
  for (int j = 0; j < m; ++j) {
    if (fec[j] == nullptr) return -1;
    PrepareFecPacket(latest, fec[j]);
    if (!fec[j]->SetPayloadLength(kRsFecHeaderBytes + longest)) return -1;
  }
  auto codec = GetReedSolomonCodec(k, k + m);
  if (!codec) return 1;

  std::vector<const uint8_t*> sources(static_cast<size_t>(k));
  std::vector<int> lengths(static_cast<size_t>(k));
  std::vector<uint8_t> length_bytes(static_cast<size_t>(4 * k));
  std::vector<const uint8_t*> length_sources(static_cast<size_t>(k));
  for (int i = 0; i < k; ++i) {
    sources[i] = media[i]->Data();
    lengths[i] = media[i]->TotalLength();
    // Each total length as a 4-byte little-endian number.
    const uint32_t total = static_cast<uint32_t>(lengths[i]);
    for (int b = 0; b < 4; ++b) length_bytes[4 * i + b] = static_cast<uint8_t>(total >> (8 * b));
    length_sources[i] = length_bytes.data() + 4 * i;
  }
  std::vector<uint8_t*> parities(static_cast<size_t>(m));
  std::vector<uint8_t> length_parity(static_cast<size_t>(4 * m));
  std::vector<uint8_t*> length_parities(static_cast<size_t>(m));
  for (int j = 0; j < m; ++j) {
    parities[j] = fec[j]->Payload() + kRsFecHeaderBytes;
    length_parities[j] = length_parity.data() + 4 * j;
  }
  codec->Encode(sources.data(), lengths.data(), parities.data());
  codec->Encode(length_sources.data(), 4, length_parities.data());
  for (int j = 0; j < m; ++j) {
    uint8_t* header = fec[j]->Payload();
    fec[j]->set_sequence(fec_sequence_++);
    Store16(header, lowest);
    // The low 16 bits of the little-endian length parity, sent big-endian.
    Store16(header + 2, static_cast<uint16_t>(length_parities[j][0] | (length_parities[j][1] << 8)));
    header[4] = static_cast<uint8_t>(j);
    header[5] = static_cast<uint8_t>(m);
    header[6] = static_cast<uint8_t>(k);
    header[7] = 0;
    ++stats_.fec_packets_made;
  }
  return 0;
}

int CMMRTPSession4SVC::MakeXorFecForTesting(CVseRtpPacket* const* media, int count, uint32_t mask,
                                            CVseRtpPacket* fec) {
  if (fec_mode_ != 0) return -2;
  if (media == nullptr || fec == nullptr || count < 1 || count > 32) return -1;
  std::vector<const CVseRtpPacket*> picked;
  for (int i = 0; i < count; ++i) {
    if ((mask >> i) & 1u) {
      if (media[i] == nullptr) return -1;
      picked.push_back(media[i]);
    }
  }
  if (picked.empty()) return -1;
  uint16_t base = picked[0]->sequence();
  for (const CVseRtpPacket* p : picked) {
    if (IsLater16(base, p->sequence())) base = p->sequence();
  }
  // Only packets within 24 of the base fit the 24-bit mask.
  std::vector<const CVseRtpPacket*> kept;
  for (const CVseRtpPacket* p : picked) {
    if (static_cast<uint16_t>(p->sequence() - base) <= 23) kept.push_back(p);
  }
  int longest = 0;
  uint32_t latest = kept[0]->timestamp();
  for (const CVseRtpPacket* p : kept) {
    longest = std::max(longest, p->TotalLength() - CVseRtpPacket::kFixedHeaderLength);
    if (IsLater32(p->timestamp(), latest)) latest = p->timestamp();
  }
  PrepareFecPacket(latest, fec);
  fec->set_sequence(fec_sequence_++);
  // The FEC packet's own header is the bare fixed header: its CC and X bits
  // carry recovery values and must not be read as a CSRC list or extension.
  const int total = CVseRtpPacket::kFixedHeaderLength + kXorFecHeaderBytes + longest;
  if (!fec->Reserve(total)) return -1;
  uint8_t* out = fec->Data();
  std::memset(out + 12, 0, static_cast<size_t>(kXorFecHeaderBytes + longest));
  uint16_t length_recovery = 0;
  uint8_t type_recovery = 0;
  uint32_t mask_bits = 0;
  uint32_t ts_recovery = 0;
  uint8_t bits0 = 0;
  uint8_t marker = 0;
  for (const CVseRtpPacket* p : kept) {
    const uint8_t* in = p->Data();
    bits0 ^= static_cast<uint8_t>(in[0] & 0x3F);
    marker ^= static_cast<uint8_t>(in[1] & 0x80);
    length_recovery ^= static_cast<uint16_t>(p->TotalLength() - 12);
    type_recovery ^= static_cast<uint8_t>(in[1] & 0x7F);
    mask_bits |= 1u << (23 - static_cast<uint16_t>(p->sequence() - base));
    ts_recovery ^= p->timestamp();
    uint8_t* parity = out + 12 + kXorFecHeaderBytes;
    for (int b = 12; b < p->TotalLength(); ++b) parity[b - 12] ^= in[b];
  }
  out[0] = static_cast<uint8_t>((out[0] & 0xC0) | bits0);
  out[1] = static_cast<uint8_t>(marker | (out[1] & 0x7F));
  uint8_t* header = out + 12;
  Store16(header, base);
  Store16(header + 2, length_recovery);
  header[4] = type_recovery;
  Store24(header + 5, mask_bits);
  Store32(header + 8, ts_recovery);
  // To a plain packet the recovery bits would read as a CSRC list or an
  // extension: the lengths are set while they are clear, so TotalLength()
  // stays 12 + payload (receivers read it as a CRTPFECPacket).
  const uint8_t recovery_bits = out[0];
  out[0] = static_cast<uint8_t>(recovery_bits & 0xC0);
  fec->SetPayloadLength(kXorFecHeaderBytes + longest);
  out[0] = recovery_bits;
  ++stats_.fec_packets_made;
  return 0;
}
