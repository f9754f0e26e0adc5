// Fuzz target: the relay's frame reader and the payload decoders it feeds,
// over bytes as a hostile transport could send them, cut at every size.
#include <cstddef>
#include <cstdint>

#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/relay_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the piece size, so frames straddle reads.
  const size_t piece = 1 + data[0] % 64;
  vzrelay::FrameReader reader;
  vzrelay::Frame frame;
  for (size_t at = 1; at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    reader.Append(data + at, n);
    for (;;) {
      const vzrelay::FrameReader::Result result = reader.Next(&frame);
      if (result != vzrelay::FrameReader::Result::kFrame) break;
      if (frame.kind == vzrelay::FrameKind::kJoin) {
        vzrelay::JoinRequest join;
        vzrelay::DecodeJoinRequest(frame.payload.data(), frame.payload.size(), &join);
      }
    }
    if (!reader.Error().empty()) break;
    // A frame in progress is known by its header, and never held past it
    // and what came after.
    const size_t in_progress = reader.FrameInProgress();
    if (in_progress != 0 && (in_progress < vzrelay::kFrameHeaderSize || reader.Buffered() < vzrelay::kFrameHeaderSize)) {
      __builtin_trap();
    }
    // The room kept after whole frames holds what is buffered, and giving
    // it back (as the server does when a connection goes quiet) keeps what
    // is buffered.
    if (reader.Room() < reader.Buffered()) __builtin_trap();
    if (data[0] & 0x80) {
      const size_t buffered = reader.Buffered();
      reader.ReleaseRoom();
      if (reader.Buffered() != buffered || (buffered == 0 && reader.Room() != 0)) __builtin_trap();
    }
  }
  return 0;
}
