// The relay's check of an RTCP record, which every member's every RTCP record
// passes before it is relayed: the record walked whole and every stream its
// packets speak for read, as MeetingHub does. "Before" is the relay's own walk
// as it was before it took the engine's (contracts/rtcp_compound.h), copied
// here only to be measured beside it in one run. Two records: what an engine
// sends a second (SR with a report block, SDES with its CNAME, application
// feedback), and the largest counts (RR of 31 blocks, SDES of 31 chunks, BYE
// of 31 streams). The old walk's functions that lived in the relay's library
// are kept out of line here as they were there, so that both are called alike.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "common/transport_records.h"
#include "outside/vzwire/relay/relay_records_testlib.h"
#include "outside/vzwire/relay/rtcp_record.h"
#include "platform/big_endian.h"

namespace before {

constexpr size_t kHeaderBytes = 4;
constexpr size_t kReportBlockBytes = 24;
constexpr size_t kSenderReportBytes = 28;
constexpr size_t kChunkHeadBytes = 6;
constexpr size_t kFeedbackBytes = 12;

size_t ChunkEnd(const uint8_t* packet, size_t at) { return (at + kChunkHeadBytes + packet[at + 5] + 3) & ~size_t{3}; }

const char* ShortForType(const uint8_t* packet, size_t bytes) {
  const size_t count = packet[0] & 0x1F;
  switch (packet[1]) {
    case vz::rtcp::kSenderReport:
      return bytes < kSenderReportBytes + kReportBlockBytes * count ? "an SR shorter than its reports" : nullptr;
    case vz::rtcp::kReceiverReport:
      return bytes < 8 + kReportBlockBytes * count ? "an RR shorter than its reports" : nullptr;
    case vz::rtcp::kSourceDescription: {
      if (count == 0) return "an SDES of no chunk";
      size_t at = kHeaderBytes;
      for (size_t i = 0; i < count; ++i) {
        if (at + kChunkHeadBytes > bytes) return "an SDES shorter than its chunks";
        at = ChunkEnd(packet, at);
        if (at > bytes) return "an SDES shorter than its chunks";
      }
      return nullptr;
    }
    case vz::rtcp::kGoodbye:
      if (count == 0) return "a BYE of no stream";
      return bytes < kHeaderBytes + 4 * count ? "a BYE shorter than its streams" : nullptr;
    default:
      return bytes < kFeedbackBytes ? "a packet shorter than its type" : nullptr;
  }
}

const char* PacketAt(const uint8_t* compound, size_t size, size_t at, size_t* bytes) {
  const uint8_t* packet = compound + at;
  const size_t left = size - at;
  if (left < kHeaderBytes) return "bytes after the last packet";
  if ((packet[0] >> 6) != 2) return "a packet of another version";
  if (packet[1] < vz::rtcp::kSenderReport || packet[1] > vz::rtcp::kPayloadFeedback) {
    return "a packet of an unknown type";
  }
  *bytes = size_t{vz::Load16(packet + 2)} * 4;
  if (*bytes == 0) return "a length of 0";
  if (*bytes > left) return "a length past the compound's end";
  return ShortForType(packet, *bytes);
}

struct RtcpPacket {
  const uint8_t* data = nullptr;
  size_t bytes = 0;
  uint8_t Type() const { return data[1]; }
  uint8_t Count() const { return data[0] & 0x1F; }
};

class RtcpCompound {
 public:
  [[gnu::noinline]] RtcpCompound(const uint8_t* record, size_t size) {
    if (record == nullptr || size < vzrelay::kRtcpRecordHeaderSize || vz::Load16(record) != kRtcpRecordKind) {
      fault_ = "not an RTCP record";
      return;
    }
    compound_ = record + vzrelay::kRtcpRecordHeaderSize;
    size_ = size - vzrelay::kRtcpRecordHeaderSize;
    if (vz::Load16(record + 2) != size_) {
      fault_ = "a record whose length is not its size";
      return;
    }
    if (size_ == 0) {
      fault_ = "no packet";
      return;
    }
    for (size_t at = 0, bytes = 0; at < size_ && fault_ == nullptr; at += bytes) {
      fault_ = PacketAt(compound_, size_, at, &bytes);
    }
  }
  bool whole() const { return fault_ == nullptr; }
  [[gnu::noinline]] bool Next(RtcpPacket* packet) {
    if (fault_ != nullptr || at_ >= size_) return false;
    packet->data = compound_ + at_;
    packet->bytes = size_t{vz::Load16(packet->data + 2)} * 4;
    at_ += packet->bytes;
    return true;
  }

 private:
  const uint8_t* compound_ = nullptr;
  size_t size_ = 0;
  size_t at_ = 0;
  const char* fault_ = nullptr;
};

[[gnu::noinline]] uint32_t RtcpWord(const RtcpPacket& packet, size_t offset) {
  return vz::Load32(packet.data + offset);
}
[[gnu::noinline]] size_t RtcpNextChunk(const RtcpPacket& packet, size_t chunk) { return ChunkEnd(packet.data, chunk); }

template <typename Source>
bool ForEachSource(const RtcpPacket& packet, Source source) {
  switch (packet.Type()) {
    case vz::rtcp::kSourceDescription:
      for (size_t i = 0, at = 4; i < packet.Count(); ++i, at = RtcpNextChunk(packet, at)) {
        if (!source(RtcpWord(packet, at))) return false;
      }
      return true;
    case vz::rtcp::kGoodbye:
      for (size_t i = 0; i < packet.Count(); ++i) {
        if (!source(RtcpWord(packet, 4 + 4 * i))) return false;
      }
      return true;
    case vz::rtcp::kTransportFeedback:
    case vz::rtcp::kPayloadFeedback:
      return RtcpWord(packet, 4) == 0 || source(RtcpWord(packet, 4));
    default:
      return source(RtcpWord(packet, 4));
  }
}

}  // namespace before

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kOwnSsrc = 0x1234;

void Append(Bytes* compound, const Bytes& packet) { compound->insert(compound->end(), packet.begin(), packet.end()); }

// SR with one report block, SDES with a 20-byte CNAME, PSFB with a 16-byte FCI.
Bytes EverySecond() {
  using vzrelay_test::RtcpPacketBytes;
  Bytes compound;
  std::vector<uint32_t> sr = {kOwnSsrc, 1, 2, 3, 4, 5, 77, 0, 0, 0, 0, 0};
  Append(&compound, RtcpPacketBytes(vz::rtcp::kSenderReport, 1, 13, sr));
  Append(&compound, RtcpPacketBytes(vz::rtcp::kSourceDescription, 1, 8,
                                    {kOwnSsrc, 0x01146162, 0x63646566, 0x6768696A, 0x6B6C6D6E, 0x6F707172, 0x73740000}));
  Append(&compound, RtcpPacketBytes(vz::rtcp::kPayloadFeedback, 15, 7, {kOwnSsrc, 77, 1, 2, 3, 4}));
  return vzrelay_test::RtcpRecord(compound);
}

// RR of 31 blocks, SDES of 31 chunks with 6-byte texts, BYE of 31 streams.
Bytes LargestCounts() {
  using vzrelay_test::RtcpPacketBytes;
  Bytes compound;
  std::vector<uint32_t> rr = {kOwnSsrc};
  for (int i = 0; i < 31 * 6; ++i) rr.push_back(static_cast<uint32_t>(i));
  Append(&compound, RtcpPacketBytes(vz::rtcp::kReceiverReport, 31, static_cast<uint16_t>(1 + rr.size()), rr));
  std::vector<uint32_t> sdes;
  for (int i = 0; i < 31; ++i) {
    sdes.insert(sdes.end(), {kOwnSsrc, 0x01066162, 0x63646566});
  }
  Append(&compound, RtcpPacketBytes(vz::rtcp::kSourceDescription, 31, static_cast<uint16_t>(1 + sdes.size()), sdes));
  Append(&compound, RtcpPacketBytes(vz::rtcp::kGoodbye, 31, 32, std::vector<uint32_t>(31, kOwnSsrc)));
  return vzrelay_test::RtcpRecord(compound);
}

Bytes Record(int which) { return which == 0 ? EverySecond() : LargestCounts(); }

template <typename Compound, typename Packet, typename Each>
bool Own(const Bytes& record, Each each) {
  Compound compound(record.data(), record.size());
  bool own = compound.whole();
  Packet packet;
  while (own && compound.Next(&packet)) {
    own = each(packet, [](uint32_t ssrc) { return ssrc == kOwnSsrc; });
  }
  return own;
}

void BM_RtcpRecordCheckBefore(benchmark::State& state) {
  const Bytes record = Record(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(record.data());
    const bool own = Own<before::RtcpCompound, before::RtcpPacket>(
        record, [](const before::RtcpPacket& p, auto source) { return before::ForEachSource(p, source); });
    if (!own) state.SkipWithError("the record is not whole");
    benchmark::DoNotOptimize(own);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record.size()));
}

void BM_RtcpRecordCheck(benchmark::State& state) {
  const Bytes record = Record(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(record.data());
    const bool own = Own<vzrelay::RtcpCompound, vzrelay::RtcpPacket>(
        record, [](const vzrelay::RtcpPacket& p, auto source) { return vzrelay::ForEachSource(p, source); });
    if (!own) state.SkipWithError("the record is not whole");
    benchmark::DoNotOptimize(own);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record.size()));
}

BENCHMARK(BM_RtcpRecordCheckBefore)->Arg(0)->Arg(1);
BENCHMARK(BM_RtcpRecordCheck)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
