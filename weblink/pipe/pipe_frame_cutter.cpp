#include "weblink/pipe/pipe_frame_cutter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kInitialCapacity = 64 * 1024;
// A buffer that grew for a large frame is kept up to this size, so a stream
// of large frames does not reallocate for each one; beyond it, it is given
// back once it runs empty.
constexpr size_t kRetainedCapacity = 4 * 1024 * 1024;

}  // namespace

PipeFrameCutter::PipeFrameCutter(uint32_t max_payload) : max_payload_(max_payload) {}

void PipeFrameCutter::Compact() {
  if (begin_ == 0) return;
  const size_t left = end_ - begin_;
  if (left == 0 && capacity_ > kRetainedCapacity) {
    buffer_.reset();
    capacity_ = 0;
  } else if (left > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, left);
  }
  begin_ = 0;
  end_ = left;
}

void PipeFrameCutter::Reserve(size_t needed) {
  if (needed <= capacity_) return;
  const size_t capacity = std::max({needed, capacity_ * 2, kInitialCapacity});
  std::unique_ptr<char[]> grown(new char[capacity]);
  if (end_ > 0) std::memcpy(grown.get(), buffer_.get(), end_);
  buffer_ = std::move(grown);
  capacity_ = capacity;
}

char* PipeFrameCutter::PrepareAppend(size_t max_bytes) {
  Compact();
  Reserve(end_ + max_bytes);
  return buffer_.get() + end_;
}

void PipeFrameCutter::CommitAppend(size_t bytes) { end_ = std::min(end_ + bytes, capacity_); }

void PipeFrameCutter::Append(const char* data, size_t size) {
  char* room = PrepareAppend(size);
  if (size > 0) std::memcpy(room, data, size);
  CommitAppend(size);
}

PipeFrameCutter::Result PipeFrameCutter::Next(PipeFrameView* frame) {
  if (oversized_) return Result::kOversized;
  const size_t buffered = end_ - begin_;
  if (buffered < PipeFrameHeader::kWireSize) return Result::kNeedMore;
  const PipeFrameHeader header = PipeFrameHeader::ReadFrom(buffer_.get() + begin_);
  if (header.length > max_payload_) {
    oversized_ = true;
    rejected_ = header;
    return Result::kOversized;
  }
  if (buffered - PipeFrameHeader::kWireSize < header.length) return Result::kNeedMore;
  frame->kind = header.kind;
  frame->payload = std::string_view(buffer_.get() + begin_ + PipeFrameHeader::kWireSize, header.length);
  begin_ += PipeFrameHeader::kWireSize + header.length;
  return Result::kFrame;
}
