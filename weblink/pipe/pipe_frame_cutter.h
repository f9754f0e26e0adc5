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

  // The header that was refused, after kOversized.
  PipeFrameHeader RejectedHeader() const { return rejected_; }
  // Bytes buffered and not yet handed out.
  size_t Buffered() const { return end_ - begin_; }

 private:
  void Compact();
  void Reserve(size_t needed);

  const uint32_t max_payload_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t begin_ = 0;  // first byte not yet handed out
  size_t end_ = 0;    // one past the last byte buffered
  bool oversized_ = false;
  PipeFrameHeader rejected_;
};
