#pragma once
// Native messaging with the browser: each message is a 4-byte length in
// native byte order (little-endian here), then that many bytes of UTF-8 JSON
// with no terminating zero, in both directions.
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/byte_streams.h"

struct NativeMessageHeader {
  uint32_t length;  // message bytes that follow; the header is not counted
};
static_assert(sizeof(NativeMessageHeader) == 4, "the header is four bytes");

// The longest message the host takes from the browser (the browser's own
// limit toward a host); a longer announcement ends the input.
inline constexpr uint32_t kNativeMessageMaxLength = 64u * 1024u * 1024u;

enum class NativeReadResult {
  kMessage,   // `text` holds one message
  kEnd,       // the input ended: closed, a zero length, or a header or message cut short
  kTooLong,   // the header announced more than kNativeMessageMaxLength
};

// Reads one message. `announced` gets the header's length (0 when the header
// did not arrive whole).
NativeReadResult ReadNativeMessage(IByteInput& input, std::string* text, uint32_t* announced);

// Writes the header and the text as one write. False when the text is longer
// than a header can announce or the write failed.
bool WriteNativeMessage(IByteOutput& output, std::string_view text);
