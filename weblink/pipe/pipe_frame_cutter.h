#pragma once
// Cuts the pipe's byte stream into frames; used by both ends of the pipe, on
// the one thread that reads the stream.
//
// Bytes go in as they are read (PrepareAppend/CommitAppend, or Append); Next
// then hands out every whole frame in order. Frames are cut by offset; the
// bytes of frames already handed out are dropped once per append, not once
// per frame. A header of 8 bytes announcing an empty payload is a whole
// frame. A header announcing more than the limit stops the cutter for good:
// the stream cannot be trusted past it and the link must close.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "weblink/pipe/pipe_frame.h"

struct PipeFrameView {
  uint32_t kind = 0;
  std::string_view payload;  // points into the cutter; see Next
};

class PipeFrameCutter {
 public:
  enum class Result {
    kFrame,      // `frame` holds the next frame
    kNeedMore,   // no whole frame is buffered
    kOversized,  // the next header announces more than the limit (RejectedHeader)
  };

  explicit PipeFrameCutter(uint32_t max_payload = kPipeMaxPayload);
  PipeFrameCutter(const PipeFrameCutter&) = delete;
  PipeFrameCutter& operator=(const PipeFrameCutter&) = delete;

  // Room for up to `max_bytes` more bytes of the stream, so a read can land
  // in place. Drops the frames already handed out first, which ends the life
  // of every payload view. Follow with CommitAppend of the count read.
  char* PrepareAppend(size_t max_bytes);
  void CommitAppend(size_t bytes);
  // PrepareAppend, copy, CommitAppend.
  void Append(const char* data, size_t size);

  // Cuts the next whole frame. The payload view stays valid until the next
  // PrepareAppend or Append. Once kOversized, always kOversized.
  Result Next(PipeFrameView* frame);

  // Large payloads are copied on by the kernel (into another pipe, say),
  // which copies much faster between addresses equally placed within a
  // 64-byte line. `line_offset(kind)` names where within its line the
  // payload of a large frame of that kind should start (0..63); the next
  // frame after a large one is placed for the kind of that large one. Without
  // it (the default) bytes land where they fall.
  void SetPayloadPlacement(std::function<size_t(uint32_t kind)> line_offset);
  // With a placement set and a large frame's header in hand: the bytes that
  // complete that frame, so the reader can stop at its end and the next frame
  // is placed too. Otherwise 0 (read as much as fits).
  size_t LargeFrameRemainder() const;

  // The header that was refused, after kOversized.
  PipeFrameHeader RejectedHeader() const { return rejected_; }
  // Bytes buffered and not yet handed out.
  size_t BufferedForTesting() const { return end_ - begin_; }

 private:
  void Compact();
  void Reserve(size_t needed);
  size_t Lead(const char* buffer) const;  // where buffered bytes start after a compaction

  const uint32_t max_payload_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t begin_ = 0;  // first byte not yet handed out
  size_t end_ = 0;    // one past the last byte buffered
  bool oversized_ = false;
  std::function<size_t(uint32_t)> line_offset_;
  uint32_t placed_kind_ = 0;  // the kind of the last large frame
  PipeFrameHeader rejected_;
};
