#pragma once
// The host's side of native messaging (common/native_message_framing.h) on
// its byte streams: messages in from the browser, capped at 64 MiB, and out
// to it, capped at the browser's 1 MiB.
#include <string_view>

#include "bridge/byte_streams.h"
#include "common/native_message_framing.h"

// Reads one message from the stream into the reused buffer.
NativeReadResult ReadNativeMessage(IByteInput& input, NativeMessageBuffer* message, uint32_t* announced);

enum class NativeWriteResult {
  kWritten,
  kTooLong,  // over kNativeMessageMaxToBrowser: nothing was written
  kFailed,   // the stream failed
};

// Writes the header and the text as one (gathered) write, the text from
// where it lies. Nothing longer than the browser takes is ever written.
NativeWriteResult WriteNativeMessage(IByteOutput& output, std::string_view text);
// The same for a message made of `count` parts, written one after another
// behind one header (at most 8 parts).
NativeWriteResult WriteNativeMessage(IByteOutput& output, const std::string_view* parts, size_t count);
