// The engine's reading of a received compound RTCP packet: the compound
// walked, each packet's type read and an SDES's chunks read, as the RTCP
// channel does. "Before" is the engine's walk and chunk reading as they were
// before the relay and the engine took one walk (contracts/rtcp_compound.h),
// copied here only to be measured beside them in one run. Two compounds: what
// an engine sends a second (SR with a report block, SDES with its CNAME,
// application feedback), and SDES of 31 chunks beside BYE of 31 streams. The
// old functions are kept out of line as they were in the engine's library, so
// that both are called alike.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/big_endian.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

namespace before {

using vz::rtcp::PacketHandler;
using vz::rtcp::SdesChunk;

int RoundUp4(int n) { return (n + 3) & ~3; }

[[gnu::noinline]] int WalkCompound(const PacketHandler& handler, const uint8_t* data, int length) {
  if (data == nullptr || length < 0) return -1;
  int at = 0;
  while (at < length) {
    const int remaining = length - at;
    if (remaining < 4) return -3;
    const int words = vz::Load16(data + at + 2);
    if (words == 0) return -2;
    if (words * 4 > remaining) return -3;
    if (handler) handler(data + at, words * 4);
    at += words * 4;
  }
  return 0;
}

bool IsValidPacket(const uint8_t* data, int size) {
  if (data == nullptr || size < 4) return false;
  if ((data[0] >> 6) != 2) return false;
  if (data[1] < vz::rtcp::kSenderReport || data[1] > vz::rtcp::kPayloadFeedback) return false;
  return size >= vz::Load16(data + 2) * 4;
}

[[gnu::noinline]] int ReadType(const uint8_t* data, int size) { return IsValidPacket(data, size) ? data[1] : -1; }

[[gnu::noinline]] int ReadSdesChunks(const uint8_t* data, int size, SdesChunk* chunks, int max) {
  if (chunks == nullptr || max < 0 || ReadType(data, size) != vz::rtcp::kSourceDescription) return -1;
  size = std::min(size, vz::Load16(data + 2) * 4);
  const int count = std::min(data[0] & 0x1F, max);
  int at = 4;
  int read = 0;
  while (read < count && at + 6 <= size) {
    const int length = data[at + 5];
    if (at + 6 + length > size) break;
    SdesChunk& chunk = chunks[read++];
    chunk.ssrc = vz::Load32(data + at);
    chunk.item_type = data[at + 4];
    chunk.length = static_cast<uint8_t>(length);
    std::memcpy(chunk.text, data + at + 6, static_cast<size_t>(length));
    chunk.text[length] = '\0';
    at += RoundUp4(6 + length);
  }
  return read;
}

}  // namespace before

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kSsrc = 0x1234;
constexpr int kMostChunks = 31;

void Append(Bytes* compound, const uint8_t* packet, int size) { compound->insert(compound->end(), packet, packet + size); }

Bytes Compound(int which) {
  using namespace vz::rtcp;
  Bytes compound;
  uint8_t buffer[kHeaderBytes + kSdesChunkRoom * kMostChunks];
  int size = sizeof(buffer);
  SdesChunk chunks[kMostChunks];
  for (SdesChunk& chunk : chunks) {
    chunk.ssrc = kSsrc;
    chunk.item_type = kSdesCname;
    chunk.length = which == 0 ? 20 : 6;
    std::memset(chunk.text, 'a', chunk.length);
  }
  if (which == 0) {
    SenderInfo info;
    ReportBlock block;
    BuildSenderReport(kSsrc, &info, &block, 1, buffer, &size);
    Append(&compound, buffer, size);
    size = sizeof(buffer);
    BuildSdes(chunks, 1, buffer, &size);
    Append(&compound, buffer, size);
    const uint8_t fci[16] = {};
    size = sizeof(buffer);
    BuildFeedback(kPayloadFeedback, kSsrc, 77, kApplicationFeedbackFormat, fci, 16, buffer, &size);
    Append(&compound, buffer, size);
  } else {
    BuildSdes(chunks, kMostChunks, buffer, &size);
    Append(&compound, buffer, size);
    const std::vector<uint32_t> ssrcs(kMostChunks, kSsrc);
    size = sizeof(buffer);
    BuildBye(ssrcs.data(), kMostChunks, buffer, &size);
    Append(&compound, buffer, size);
  }
  return compound;
}

template <typename Walk, typename Type, typename Chunks>
int Read(const Bytes& compound, Walk walk, Type type, Chunks read_chunks) {
  int chunks_read = 0;
  vz::rtcp::SdesChunk chunks[kMostChunks];
  const int end = walk(
      [&](const uint8_t* packet, int size) {
        if (type(packet, size) == vz::rtcp::kSourceDescription) {
          chunks_read += read_chunks(packet, size, chunks, kMostChunks);
        }
      },
      compound.data(), static_cast<int>(compound.size()));
  return end == 0 ? chunks_read : -1;
}

void BM_RtcpCompoundReadBefore(benchmark::State& state) {
  const Bytes compound = Compound(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(compound.data());
    const int read = Read(compound, before::WalkCompound, before::ReadType, before::ReadSdesChunks);
    if (read <= 0) state.SkipWithError("no chunk read");
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * compound.size()));
}

void BM_RtcpCompoundRead(benchmark::State& state) {
  const Bytes compound = Compound(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(compound.data());
    const int read = Read(compound, vz::rtcp::WalkCompound, vz::rtcp::ReadType, vz::rtcp::ReadSdesChunks);
    if (read <= 0) state.SkipWithError("no chunk read");
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * compound.size()));
}

BENCHMARK(BM_RtcpCompoundReadBefore)->Arg(0)->Arg(1);
BENCHMARK(BM_RtcpCompoundRead)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
