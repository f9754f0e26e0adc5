#pragma once
// The frame format of the pipe between vzlink and vzbridge, both directions:
// an 8-byte header (payload length, then kind, each a big-endian uint32)
// followed directly by the payload bytes. No terminating NUL, no padding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Message kinds.
enum PipeMessageKind : uint32_t {
  PIPE_KIND_BASE64_DATA = 1,      // vzlink -> vzbridge: base64 of a sharing-engine block
  PIPE_KIND_JSON_TEXT = 1000,     // both: one UTF-8 JSON text
  PIPE_KIND_TRACE_LOG = 1001,     // vzlink -> vzbridge: one log line
  PIPE_KIND_CRASH_REPORT = 1002,  // vzlink -> vzbridge: "<file name>*<report>"
  PIPE_KIND_VALUE1 = 1011,        // vzlink -> vzbridge: decimal text of a uint32
  PIPE_KIND_VALUE2 = 1012,        // as PIPE_KIND_VALUE1
};

// The largest payload either end accepts. A header announcing more is a
// corrupt or hostile stream and closes the link; senders refuse to build one.
inline constexpr uint32_t kPipeMaxPayload = 64u * 1024u * 1024u;

// The header in host order; the wire form is written and read with the
// functions below.
struct PipeFrameHeader {
  static constexpr size_t kWireSize = 8;

  uint32_t length = 0;  // payload bytes after the header
  uint32_t kind = 0;    // a PipeMessageKind, or any other number

  // Writes the 8 wire bytes to `out`.
  void WriteTo(char* out) const;
  // Reads the 8 wire bytes at `in`.
  static PipeFrameHeader ReadFrom(const char* in);
};
static_assert(sizeof(PipeFrameHeader) == PipeFrameHeader::kWireSize);

// Header plus payload, ready to write. The caller checks the payload size
// against kPipeMaxPayload.
std::string BuildPipeFrame(uint32_t kind, std::string_view payload);
