// Fuzz target for the pipe's frame cutter. The first byte picks a chunk size;
// the rest is the stream. The frames cut from the stream in chunks must be
// exactly those cut from it in one piece, and every byte must be accounted
// for. A small limit makes the oversized path reachable. Bit 6 of the first
// byte has the chunked cutter place payloads within their line (which moves
// the buffered bytes at every compaction), and reads stop at a frame's end
// as the stream channel's do.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "weblink/pipe/pipe_frame_cutter.h"

namespace {

constexpr uint32_t kFuzzLimit = 4096;

struct Outcome {
  std::vector<std::pair<uint32_t, std::string>> frames;
  bool oversized = false;
  size_t buffered = 0;
};

Outcome CutInChunks(const char* data, size_t size, size_t chunk, bool placed) {
  PipeFrameCutter cutter(kFuzzLimit);
  if (placed) cutter.SetPayloadPlacement([](uint32_t kind) { return size_t{kind}; });
  Outcome outcome;
  for (size_t at = 0; at < size && !outcome.oversized;) {
    const size_t remainder = cutter.LargeFrameRemainder();
    const size_t wanted = remainder > 0 && remainder < chunk ? remainder : chunk;
    const size_t n = size - at < wanted ? size - at : wanted;
    char* room = cutter.PrepareAppend(n);
    for (size_t i = 0; i < n; ++i) room[i] = data[at + i];
    cutter.CommitAppend(n);
    at += n;
    PipeFrameView view;
    PipeFrameCutter::Result result;
    while ((result = cutter.Next(&view)) == PipeFrameCutter::Result::kFrame) {
      if (view.payload.size() > kFuzzLimit) std::abort();
      outcome.frames.emplace_back(view.kind, std::string(view.payload));
    }
    outcome.oversized = result == PipeFrameCutter::Result::kOversized;
  }
  outcome.buffered = cutter.BufferedForTesting();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk = 1 + data[0] % 64;
  const char* stream = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;

  const Outcome chunked = CutInChunks(stream, length, chunk, (data[0] & 0x40) != 0);
  const Outcome whole = CutInChunks(stream, length, length == 0 ? 1 : length, false);
  if (chunked.frames != whole.frames || chunked.oversized != whole.oversized) std::abort();
  if (!chunked.oversized) {
    size_t consumed = 0;
    for (const auto& frame : chunked.frames) consumed += 8 + frame.second.size();
    if (consumed + chunked.buffered != length) std::abort();
  }
  return 0;
}
