// The receive side of CMMRTPSession4SVC: storing, FEC recovery, NAL
// rebuilding and ageing.
#include <algorithm>
#include <cstring>
#include <vector>

#include "contracts/h264_nal_types.h"
#include "platform/big_endian.h"
#include "video/engine/rtp/reed_solomon_cache.h"
#include "video/engine/rtp/reed_solomon_codec.h"
#include "video/engine/rtp/rtp_fec_packet.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"
#include "video/engine/rtp/serial_order.h"

using namespace vz::rtp;
using vz::Load16;
using vz::Load24;
using vz::Load32;
using vz::Store16;
using vz::Store32;

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

int NalType(const CVseRtpPacket& p) { return p.PayloadLength() > 0 ? NalTypeOf(p.Payload()[0]) : 0; }
bool IsFragment(const CVseRtpPacket& p) { return NalType(p) == kNalFuA && p.PayloadLength() >= 2; }
bool FragmentStarts(const CVseRtpPacket& p) { return IsFragment(p) && (p.Payload()[1] & 0x80); }
bool FragmentEnds(const CVseRtpPacket& p) { return IsFragment(p) && (p.Payload()[1] & 0x40); }
// A packet that begins a NAL unit: single, aggregate, or a first fragment.
bool StartsNal(const CVseRtpPacket& p) {
  const int type = NalType(p);
  return (type >= 1 && type <= 24) || FragmentStarts(p);
}
// A packet that ends one: anything but a fragment without E.
bool EndsNal(const CVseRtpPacket& p) {
  const int type = NalType(p);
  return (type >= 1 && type <= 24) || FragmentEnds(p);
}

// A new packet with `header` (the RTP header of `from`) and room for `payload`.
std::unique_ptr<CVseRtpPacket> OutputPacket(const CVseRtpPacket& from, int payload) {
  const int header = from.HeaderLength();
  auto out = std::make_unique<CVseRtpPacket>(header + payload);
  std::memcpy(out->Data(), from.Data(), static_cast<size_t>(header));
  out->SetPayloadLength(payload);
  return out;
}

}  // namespace

const CVseRtpPacket* CMMRTPSession4SVC::Present(uint16_t sequence) const {
  auto m = media_.find(sequence);
  if (m != media_.end()) return m->second.get();
  auto r = recovered_.find(sequence);
  if (r != recovered_.end()) return r->second.get();
  return nullptr;
}

int CMMRTPSession4SVC::Input(const uint8_t* data, int size, uint32_t arrival_ms) {
  if (data == nullptr) return -1;
  if (!have_input_) {
    have_input_ = true;
    first_input_ms_ = arrival_ms;
  }
  latest_input_ms_ = arrival_ms;
  // Frames age by every arrival, not only by packets that are stored: a
  // stream of refused packets or copies must not keep old frames (and their
  // sequence numbers, which a packet then counts as a copy of) for good.
  Age();
  ++stats_.packets_received;
  stats_.bytes_received += static_cast<uint64_t>(std::max(size, 0));
  if (size < CVseRtpPacket::kFixedHeaderLength) return 1;
  const int type = data[1] & 0x7F;
  std::unique_ptr<CVseRtpPacket> packet;
  if (type == fec_type_ && fec_mode_ == 0) {
    packet = std::make_unique<CRTPFECPacket>(std::max(size, CVseRtpPacket::kDefaultCapacity));
  } else {
    packet = std::make_unique<CVseRtpPacket>(std::max(size, CVseRtpPacket::kDefaultCapacity));
  }
  // Nothing of a packet that fails the RTP check is stored or read.
  if (packet->from_buffer(data, size) < 0 || !packet->IsValid()) return 1;
  if (type == fec_type_) {
    FecInput(std::move(packet));
  } else if (type == media_type_) {
    MediaInput(std::move(packet));
  } else {
    return 1;
  }
  return 0;
}

void CMMRTPSession4SVC::MediaInput(std::unique_ptr<CVseRtpPacket> packet) {
  const uint16_t sequence = packet->sequence();
  if (media_.count(sequence) != 0) return;  // a duplicate
  ++stats_.media_received;
  stats_.media_bytes_received += static_cast<uint64_t>(packet->TotalLength());
  // A packet rebuilt earlier is superseded by the real one.
  recovered_.erase(sequence);
  const CVseRtpPacket& stored = *packet;
  media_[sequence] = std::move(packet);
  RecordInFrame(stored);
  ProcessPacket(stored);
  Repair();
}

void CMMRTPSession4SVC::FecInput(std::unique_ptr<CVseRtpPacket> packet) {
  const uint16_t sequence = packet->sequence();
  if (fec_.count(sequence) != 0) return;
  ++stats_.fec_received;
  stats_.fec_bytes_received += static_cast<uint64_t>(packet->TotalLength());
  if (TryRecovery(*packet)) {
    auto [frame, made] = frames_.try_emplace(packet->timestamp());
    if (made) frame->second.arrival_ms = latest_input_ms_;
    frame->second.fec.push_back(sequence);
    fec_[sequence] = std::move(packet);
  }
  ProcessRecovered();
  Repair();
}

void CMMRTPSession4SVC::Repair() {
  // Each recovery can enable another (a rebuilt packet completes a second
  // group); the loop ends because every round consumes recovered packets.
  for (int round = 0; round < kMaxGroupPackets; ++round) {
    FecPass();
    if (recovered_.empty()) break;
    ProcessRecovered();
  }
}

void CMMRTPSession4SVC::FecPass() {
  for (auto it = fec_.begin(); it != fec_.end();) {
    if (TryRecovery(*it->second)) {
      ++it;
      continue;
    }
    auto frame = frames_.find(it->second->timestamp());
    if (frame != frames_.end()) {
      auto& list = frame->second.fec;
      list.erase(std::remove(list.begin(), list.end(), it->first), list.end());
    }
    it = fec_.erase(it);
  }
}

void CMMRTPSession4SVC::ProcessRecovered() {
  while (!recovered_.empty()) {
    auto it = recovered_.begin();
    std::unique_ptr<CVseRtpPacket> packet = std::move(it->second);
    const uint16_t sequence = it->first;
    recovered_.erase(it);
    if (media_.count(sequence) != 0) continue;
    ++stats_.packets_recovered;
    stats_.bytes_recovered += static_cast<uint64_t>(packet->TotalLength());
    const CVseRtpPacket& stored = *packet;
    media_[sequence] = std::move(packet);
    RecordInFrame(stored);
    ProcessPacket(stored);
  }
}

bool CMMRTPSession4SVC::TryRecovery(const CVseRtpPacket& fec) {
  return fec_mode_ == 0 ? TryXor(fec) : TryReedSolomon(fec);
}

bool CMMRTPSession4SVC::TryReedSolomon(const CVseRtpPacket& fec) {
  if (fec.PayloadLength() < kRsFecHeaderBytes) return false;
  const uint8_t* header = fec.Payload();
  const uint16_t base = Load16(header);
  const int j = header[4];
  const int m = header[5];
  const int k = header[6];
  const int parity_length = fec.PayloadLength() - kRsFecHeaderBytes;
  // A header that contradicts itself cannot help.
  if (k < 1 || m < 1 || j >= m || k + m > kMaxGroupPackets) return false;
  const uint16_t first_fec = static_cast<uint16_t>(fec.sequence() - j);

  std::vector<int> missing;
  std::vector<const uint8_t*> buffers;
  std::vector<int> lengths;
  std::vector<int> indices;
  std::vector<uint8_t> length_bytes;  // 4 per buffer, little-endian
  buffers.reserve(static_cast<size_t>(k));
  length_bytes.reserve(static_cast<size_t>(4 * k));
  int longest_media = 0;
  auto add_length = [&length_bytes](uint32_t value) {
    for (int b = 0; b < 4; ++b) length_bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
  };
  for (int i = 0; i < k; ++i) {
    const CVseRtpPacket* media = Present(static_cast<uint16_t>(base + i));
    if (media == nullptr) {
      missing.push_back(i);
      continue;
    }
    buffers.push_back(media->Data());
    lengths.push_back(media->TotalLength());
    indices.push_back(i);
    add_length(static_cast<uint32_t>(media->TotalLength()));
    longest_media = std::max(longest_media, media->TotalLength());
  }
  if (missing.empty()) return false;
  int longest_parity = 0;
  for (int i = 0; i < m && static_cast<int>(buffers.size()) < k; ++i) {
    const uint16_t sequence = static_cast<uint16_t>(first_fec + i);
    const CVseRtpPacket* other = nullptr;
    if (sequence == fec.sequence()) {
      other = &fec;
    } else {
      auto found = fec_.find(sequence);
      if (found == fec_.end()) continue;
      other = found->second.get();
      // Only a packet of the same group counts.
      if (other->PayloadLength() < kRsFecHeaderBytes) continue;
      const uint8_t* h = other->Payload();
      if (Load16(h) != base || h[4] != i || h[5] != m || h[6] != k) continue;
    }
    const int other_parity = other->PayloadLength() - kRsFecHeaderBytes;
    buffers.push_back(other->Payload() + kRsFecHeaderBytes);
    lengths.push_back(other_parity);
    indices.push_back(k + i);
    add_length(Load16(other->Payload() + 2));
    longest_parity = std::max(longest_parity, other_parity);
  }
  if (static_cast<int>(buffers.size()) < k) return true;  // wait for more
  if (parity_length < longest_media || parity_length != longest_parity) return false;
  auto codec = GetReedSolomonCodec(k, k + m);
  if (!codec) return true;

  const int count = static_cast<int>(missing.size());
  std::vector<std::vector<uint8_t>> rebuilt(static_cast<size_t>(count),
                                            std::vector<uint8_t>(static_cast<size_t>(parity_length)));
  std::vector<uint8_t*> outputs;
  for (auto& r : rebuilt) outputs.push_back(r.data());
  std::vector<const uint8_t*> length_buffers;
  for (int i = 0; i < k; ++i) length_buffers.push_back(length_bytes.data() + 4 * i);
  std::vector<uint8_t> decoded_lengths(static_cast<size_t>(4 * count));
  std::vector<uint8_t*> length_outputs;
  for (int i = 0; i < count; ++i) length_outputs.push_back(decoded_lengths.data() + 4 * i);
  if (codec->Decode(buffers.data(), lengths.data(), indices.data(), outputs.data(), missing.data(),
                    count) != 0 ||
      codec->Decode(length_buffers.data(), 4, indices.data(), length_outputs.data(),
                    missing.data(), count) != 0) {
    return false;
  }
  for (int w = 0; w < count; ++w) {
    const uint8_t* l = length_outputs[w];
    const uint32_t length = static_cast<uint32_t>(l[0]) | (static_cast<uint32_t>(l[1]) << 8) |
                            (static_cast<uint32_t>(l[2]) << 16) | (static_cast<uint32_t>(l[3]) << 24);
    // A length beyond what was rebuilt means a corrupt or foreign group.
    if (length < static_cast<uint32_t>(CVseRtpPacket::kFixedHeaderLength) ||
        length > static_cast<uint32_t>(parity_length)) {
      continue;
    }
    auto packet = std::make_unique<CVseRtpPacket>(static_cast<int>(length));
    if (packet->from_buffer(rebuilt[w].data(), static_cast<int>(length)) < 0 ||
        !packet->IsValid()) {
      continue;
    }
    const uint16_t expected = static_cast<uint16_t>(base + missing[w]);
    if (packet->sequence() != expected || Present(expected) != nullptr) continue;
    recovered_[expected] = std::move(packet);
  }
  return false;
}

bool CMMRTPSession4SVC::TryXor(const CVseRtpPacket& fec) {
  if (fec.TotalLength() < CVseRtpPacket::kFixedHeaderLength + kXorFecHeaderBytes) return false;
  const uint8_t* fec_bytes = fec.Data();
  const uint8_t* header = fec_bytes + CVseRtpPacket::kFixedHeaderLength;
  const uint16_t base = Load16(header);
  const uint32_t mask = Load24(header + 5);
  int missing_count = 0;
  uint16_t missing = 0;
  std::vector<const CVseRtpPacket*> present;
  for (int d = 0; d < 24; ++d) {
    if (((mask >> (23 - d)) & 1u) == 0) continue;
    const uint16_t sequence = static_cast<uint16_t>(base + d);
    const CVseRtpPacket* p = Present(sequence);
    if (p == nullptr) {
      ++missing_count;
      missing = sequence;
    } else {
      present.push_back(p);
    }
  }
  if (missing_count == 0) return false;
  if (missing_count > 1) return true;
  const int parity_length = fec.TotalLength() - CVseRtpPacket::kFixedHeaderLength - kXorFecHeaderBytes;
  std::vector<uint8_t> bytes(static_cast<size_t>(CVseRtpPacket::kFixedHeaderLength + parity_length), 0);
  std::memcpy(bytes.data() + 12, header + kXorFecHeaderBytes, static_cast<size_t>(parity_length));
  uint8_t bits0 = fec_bytes[0] & 0x3F;
  uint8_t marker = fec_bytes[1] & 0x80;
  uint8_t type = header[4] & 0x7F;
  uint32_t timestamp = Load32(header + 8);
  uint16_t length = Load16(header + 2);
  for (const CVseRtpPacket* p : present) {
    const uint8_t* in = p->Data();
    bits0 ^= in[0] & 0x3F;
    marker ^= in[1] & 0x80;
    type ^= in[1] & 0x7F;
    timestamp ^= p->timestamp();
    length ^= static_cast<uint16_t>(p->TotalLength() - 12);
    const int n = std::min(parity_length, p->TotalLength() - 12);
    for (int b = 0; b < n; ++b) bytes[12 + b] ^= in[12 + b];
  }
  // A length beyond the parity built means the group does not add up.
  if (length > parity_length) return false;
  bytes[0] = static_cast<uint8_t>(0x80 | bits0);
  bytes[1] = static_cast<uint8_t>(marker | type);
  Store16(bytes.data() + 2, missing);
  Store32(bytes.data() + 4, timestamp);
  Store32(bytes.data() + 8, fec.ssrc());
  auto packet = std::make_unique<CVseRtpPacket>(12 + length);
  if (packet->from_buffer(bytes.data(), 12 + length) < 0 || !packet->IsValid()) return false;
  if (packet->sequence() == missing) recovered_[missing] = std::move(packet);
  return false;
}

void CMMRTPSession4SVC::RecordInFrame(const CVseRtpPacket& packet) {
  auto [it, made] = frames_.try_emplace(packet.timestamp());
  Frame& frame = it->second;
  if (made) frame.arrival_ms = latest_input_ms_;
  frame.media.push_back(packet.sequence());
  uint16_t first = 0;
  if (!FindNalStart(packet.sequence(), &first)) return;
  NalRecord& record = frame.nals[first];
  if (record.complete) return;
  // Follow the run from the first packet while packets are present.
  int run = 0;
  bool end_found = false;
  for (int i = 0; i < kMaxGroupPackets * 256; ++i) {
    const CVseRtpPacket* p = Present(static_cast<uint16_t>(first + i));
    if (p == nullptr || (i > 0 && StartsNal(*p))) break;
    run = i + 1;
    if (EndsNal(*p)) {
      end_found = true;
      break;
    }
  }
  if (run >= record.count) {
    record.count = run;
    record.complete = end_found;
  }
}

bool CMMRTPSession4SVC::FindNalStart(uint16_t sequence, uint16_t* first) const {
  const CVseRtpPacket* p = Present(sequence);
  if (p == nullptr) return false;
  if (StartsNal(*p)) {
    *first = sequence;
    return true;
  }
  if (!IsFragment(*p)) return false;
  // Back through the fragments of this NAL unit: only fragments without E
  // lie before this one; anything else means its start was lost.
  for (uint16_t s = static_cast<uint16_t>(sequence - 1); s != sequence; --s) {
    const CVseRtpPacket* before = Present(s);
    if (before == nullptr || !IsFragment(*before) || FragmentEnds(*before)) return false;
    if (FragmentStarts(*before)) {
      *first = s;
      return true;
    }
  }
  return false;
}

CMMRTPSession4SVC::NalRecord* CMMRTPSession4SVC::FindRecord(uint32_t timestamp, uint16_t first) {
  auto frame = frames_.find(timestamp);
  if (frame == frames_.end()) return nullptr;
  auto record = frame->second.nals.find(first);
  return record == frame->second.nals.end() ? nullptr : &record->second;
}

void CMMRTPSession4SVC::ProcessPacket(const CVseRtpPacket& packet) {
  const int type = NalType(packet);
  if (type >= 1 && type <= 23) {
    NalRecord* record = FindRecord(packet.timestamp(), packet.sequence());
    if (record == nullptr || record->delivered) return;
    auto out = OutputPacket(packet, 4 + packet.PayloadLength());
    std::memcpy(out->Payload(), kStartCode, 4);
    std::memcpy(out->Payload() + 4, packet.Payload(), static_cast<size_t>(packet.PayloadLength()));
    out->set_incomplete(0);
    record->delivered = true;
    Deliver(std::move(out));
  } else if (type == kNalStapA) {
    NalRecord* record = FindRecord(packet.timestamp(), packet.sequence());
    if (record == nullptr || record->delivered) return;
    record->delivered = true;
    DeliverStap(packet, false);
  } else if (type == kNalFuA) {
    uint16_t first = 0;
    if (!FindNalStart(packet.sequence(), &first)) return;
    NalRecord* record = FindRecord(packet.timestamp(), first);
    if (record == nullptr || !record->complete || record->delivered) return;
    if (DeliverFragmented(first, *record, false)) record->delivered = true;
  }
}

void CMMRTPSession4SVC::DeliverStap(const CVseRtpPacket& packet, bool one_output) {
  const uint8_t* payload = packet.Payload();
  const int size = packet.PayloadLength();
  std::vector<std::pair<int, int>> units;  // offset, length
  bool cut = false;
  int at = 1;
  while (at + 2 <= size) {
    int length = Load16(payload + at);
    at += 2;
    if (length > size - at) {
      length = size - at;
      cut = true;
    }
    if (length > 0) units.emplace_back(at, length);
    at += length;
    if (cut) break;
  }
  if (one_output) {
    int total = 0;
    for (auto& u : units) total += 4 + u.second;
    auto out = OutputPacket(packet, total);
    uint8_t* o = out->Payload();
    for (auto& u : units) {
      std::memcpy(o, kStartCode, 4);
      std::memcpy(o + 4, payload + u.first, static_cast<size_t>(u.second));
      o += 4 + u.second;
    }
    out->set_incomplete(cut ? 1 : 0);
    Deliver(std::move(out));
    return;
  }
  for (size_t i = 0; i < units.size(); ++i) {
    auto out = OutputPacket(packet, 4 + units[i].second);
    std::memcpy(out->Payload(), kStartCode, 4);
    std::memcpy(out->Payload() + 4, payload + units[i].first, static_cast<size_t>(units[i].second));
    out->set_incomplete(cut && i + 1 == units.size() ? 1 : 0);
    Deliver(std::move(out));
  }
}

bool CMMRTPSession4SVC::DeliverFragmented(uint16_t first, const NalRecord& record, bool partial) {
  const CVseRtpPacket* head = Present(first);
  if (head == nullptr || !FragmentStarts(*head)) return false;
  // The fragments of this NAL unit only: from the first to the one with E
  // (the record's count), never on into the next NAL unit.
  int total = 5;
  int fragments = 0;
  bool ended = false;
  for (int i = 0; i < record.count; ++i) {
    const CVseRtpPacket* p = Present(static_cast<uint16_t>(first + i));
    if (p == nullptr || !IsFragment(*p) || (i > 0 && FragmentStarts(*p))) break;
    total += p->PayloadLength() - 2;
    ++fragments;
    if (FragmentEnds(*p)) {
      ended = true;
      break;
    }
  }
  const bool whole = ended && fragments == record.count;
  if (!whole && !partial) return false;
  auto out = OutputPacket(*head, total);
  uint8_t* o = out->Payload();
  std::memcpy(o, kStartCode, 4);
  o[4] = static_cast<uint8_t>((head->Payload()[0] & 0xE0) | (head->Payload()[1] & 0x1F));
  o += 5;
  for (int i = 0; i < fragments; ++i) {
    const CVseRtpPacket* p = Present(static_cast<uint16_t>(first + i));
    const int n = p->PayloadLength() - 2;
    std::memcpy(o, p->Payload() + 2, static_cast<size_t>(n));
    o += n;
  }
  out->set_incomplete(whole ? 0 : 1);
  Deliver(std::move(out));
  return true;
}

void CMMRTPSession4SVC::Deliver(std::unique_ptr<CVseRtpPacket> packet) {
  stats_.bytes_delivered += static_cast<uint64_t>(packet->PayloadLength());
  ++stats_.nal_units_delivered;
  if (sink_ != nullptr) sink_->OnNalUnit(std::move(packet));
}

int CMMRTPSession4SVC::FlushFrameForTesting(uint32_t timestamp) {
  auto frame = frames_.find(timestamp);
  if (frame == frames_.end()) return 1;
  bool delivered = false;
  for (auto& [first, record] : frame->second.nals) {
    if (record.delivered) continue;
    const CVseRtpPacket* head = Present(first);
    if (head == nullptr) continue;
    const int type = NalType(*head);
    if (type >= 1 && type <= 23) {
      record.delivered = true;
      ProcessPacketForFlush(*head);
      delivered = true;
    } else if (type == kNalStapA) {
      record.delivered = true;
      DeliverStap(*head, true);
      delivered = true;
    } else if (type == kNalFuA && DeliverFragmented(first, record, true)) {
      record.delivered = true;
      delivered = true;
    }
  }
  return delivered ? 0 : 1;
}

void CMMRTPSession4SVC::ProcessPacketForFlush(const CVseRtpPacket& packet) {
  auto out = OutputPacket(packet, 4 + packet.PayloadLength());
  std::memcpy(out->Payload(), kStartCode, 4);
  std::memcpy(out->Payload() + 4, packet.Payload(), static_cast<size_t>(packet.PayloadLength()));
  out->set_incomplete(0);
  Deliver(std::move(out));
}

void CMMRTPSession4SVC::Age() {
  for (auto it = frames_.begin(); it != frames_.end();) {
    if (latest_input_ms_ - it->second.arrival_ms > kFrameLifetimeMs &&
        IsLater32(latest_input_ms_, it->second.arrival_ms)) {
      auto next = std::next(it);
      DropFrame(it);
      it = next;
    } else {
      ++it;
    }
  }
}

void CMMRTPSession4SVC::DropFrame(std::map<uint32_t, Frame>::iterator frame) {
  for (uint16_t s : frame->second.media) media_.erase(s);
  for (uint16_t s : frame->second.fec) fec_.erase(s);
  frames_.erase(frame);
}
