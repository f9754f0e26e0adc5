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
constexpr size_t kLine = 64;
// Frames from this size on are placed and read up to their end; smaller ones
// cost more in reads than the copy would gain.
constexpr size_t kPlacedFrameMin = 16 * 1024;

}  // namespace

PipeFrameCutter::PipeFrameCutter(uint32_t max_payload) : max_payload_(max_payload) {}

size_t PipeFrameCutter::Lead(const char* buffer) const {
  if (!line_offset_ || buffer == nullptr) return 0;
  const size_t wanted = line_offset_(placed_kind_) % kLine;
  const size_t header_end = (reinterpret_cast<uintptr_t>(buffer) + PipeFrameHeader::kWireSize) % kLine;
  return (wanted + kLine - header_end) % kLine;
}

void PipeFrameCutter::Compact() {
  const size_t left = end_ - begin_;
  if (left == 0 && capacity_ > kRetainedCapacity) {
    buffer_.reset();
    capacity_ = 0;
    begin_ = end_ = 0;
    return;
  }
  const size_t lead = Lead(buffer_.get());
  if (begin_ == lead) return;
  if (left > 0) std::memmove(buffer_.get() + lead, buffer_.get() + begin_, left);
  begin_ = lead;
  end_ = lead + left;
}

void PipeFrameCutter::Reserve(size_t needed) {
  // Room for a lead of up to a line besides.
  if (needed + kLine <= capacity_) return;
  const size_t capacity = std::max({needed + kLine, capacity_ * 2, kInitialCapacity});
  std::unique_ptr<char[]> grown(new char[capacity]);
  const size_t left = end_ - begin_;
  const size_t lead = Lead(grown.get());
  if (left > 0) std::memcpy(grown.get() + lead, buffer_.get() + begin_, left);
  buffer_ = std::move(grown);
  capacity_ = capacity;
  begin_ = lead;
  end_ = lead + left;
}

char* PipeFrameCutter::PrepareAppend(size_t max_bytes) {
  Compact();
  Reserve((end_ - begin_) + max_bytes);
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
  if (header.length >= kPlacedFrameMin) placed_kind_ = header.kind;
  frame->kind = header.kind;
  frame->payload = std::string_view(buffer_.get() + begin_ + PipeFrameHeader::kWireSize, header.length);
  begin_ += PipeFrameHeader::kWireSize + header.length;
  return Result::kFrame;
}

void PipeFrameCutter::SetPayloadPlacement(std::function<size_t(uint32_t kind)> line_offset) {
  line_offset_ = std::move(line_offset);
}

size_t PipeFrameCutter::LargeFrameRemainder() const {
  if (!line_offset_ || oversized_) return 0;
  const size_t buffered = end_ - begin_;
  if (buffered < PipeFrameHeader::kWireSize) return 0;
  const PipeFrameHeader header = PipeFrameHeader::ReadFrom(buffer_.get() + begin_);
  if (header.length < kPlacedFrameMin || header.length > max_payload_) return 0;
  const size_t whole = PipeFrameHeader::kWireSize + header.length;
  return whole > buffered ? whole - buffered : 0;
}
