#include "outside/vzwire/relay/relay_frame.h"

#include <algorithm>
#include <cstring>

#include "platform/big_endian.h"

namespace vzrelay {

uint32_t MaxFramePayload(uint16_t kind) {
  switch (static_cast<FrameKind>(kind)) {
    case FrameKind::kJoin: return kMaxJoinPayload;
    case FrameKind::kJoinConfirm: return 8;
    case FrameKind::kJoinRefused: return 4 + 1024;
    case FrameKind::kLeave: return 0;
    case FrameKind::kCommand: return kMaxDataPayload;  // a command message to the end of its record
    case FrameKind::kRtp:
    case FrameKind::kRtcp: return kMaxRecordFramePayload;
    case FrameKind::kDataUtf8:
    case FrameKind::kDataBinary: return kMaxDataPayload;
    case FrameKind::kPing: return 12;
    case FrameKind::kPong: return 20;
    case FrameKind::kSubscribe: return 5;
    case FrameKind::kSessionEnded: return 8;
    case FrameKind::kConsumed: return 8;
  }
  return 0;
}

const char* FrameKindName(uint16_t kind) {
  switch (static_cast<FrameKind>(kind)) {
    case FrameKind::kJoin: return "join";
    case FrameKind::kJoinConfirm: return "join confirm";
    case FrameKind::kJoinRefused: return "join refused";
    case FrameKind::kLeave: return "leave";
    case FrameKind::kCommand: return "command";
    case FrameKind::kRtp: return "rtp";
    case FrameKind::kRtcp: return "rtcp";
    case FrameKind::kDataUtf8: return "text data";
    case FrameKind::kDataBinary: return "binary data";
    case FrameKind::kPing: return "ping";
    case FrameKind::kPong: return "pong";
    case FrameKind::kSubscribe: return "subscribe";
    case FrameKind::kSessionEnded: return "session ended";
    case FrameKind::kConsumed: return "consumed";
  }
  return "unknown";
}

void WriteFrameHeader(uint8_t* at, FrameKind kind, uint32_t size) {
  vz::Store16(at, static_cast<uint16_t>(kind));
  vz::Store32(at + 2, size);
}

bool AppendFrame(std::vector<uint8_t>* out, FrameKind kind, const uint8_t* payload, size_t size) {
  if (size > MaxFramePayload(static_cast<uint16_t>(kind))) return false;
  uint8_t header[kFrameHeaderSize];
  WriteFrameHeader(header, kind, static_cast<uint32_t>(size));
  // Inserted rather than resized and copied over: a resize fills the new
  // bytes with zeros first, a second pass over every relayed packet.
  out->insert(out->end(), header, header + kFrameHeaderSize);
  if (size != 0) out->insert(out->end(), payload, payload + size);
  return true;
}

std::vector<uint8_t> MakeFrame(FrameKind kind, const uint8_t* payload, size_t size) {
  std::vector<uint8_t> out;
  AppendFrame(&out, kind, payload, size);
  return out;
}

void FrameReader::Append(const uint8_t* data, size_t size) {
  if (!error_.empty() || size == 0) return;
  // Drop what was consumed before growing, so the buffer holds at most one
  // frame in progress plus what arrived behind it.
  if (consumed_ != 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  } else if (consumed_ > 64 * 1024 && consumed_ * 2 > buffer_.size()) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(consumed_));
    consumed_ = 0;
  }
  // A large frame grows its room as it arrives, never past its own size
  // (doubling past it would leave half the room unused).
  const size_t needed = buffer_.size() + size;
  if (needed > buffer_.capacity()) {
    const size_t frame_end = consumed_ + FrameInProgress();
    size_t room = std::max(needed, buffer_.capacity() * 2);
    if (frame_end >= needed && room > frame_end) room = frame_end;
    buffer_.reserve(room);
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

void FrameReader::ReleaseRoom() {
  if (Buffered() != 0) return;
  std::vector<uint8_t>().swap(buffer_);
  consumed_ = 0;
}

size_t FrameReader::FrameInProgress() const {
  if (Buffered() < kFrameHeaderSize) return 0;
  const uint8_t* at = buffer_.data() + consumed_;
  return kFrameHeaderSize + vz::Load32(at + 2);
}

FrameReader::Result FrameReader::Next(Frame* frame) {
  if (!error_.empty()) return Result::kBad;
  const size_t available = buffer_.size() - consumed_;
  if (available < kFrameHeaderSize) return Result::kNeedMore;
  const uint8_t* at = buffer_.data() + consumed_;
  const uint16_t kind = vz::Load16(at);
  const uint32_t length = vz::Load32(at + 2);
  const uint32_t max = MaxFramePayload(kind);
  if (max == 0 && kind != static_cast<uint16_t>(FrameKind::kLeave)) {
    error_ = "unknown frame kind " + std::to_string(kind);
    return Result::kBad;
  }
  if (length > max) {
    error_ = std::string("a ") + FrameKindName(kind) + " frame of " + std::to_string(length) +
             " bytes passes its limit of " + std::to_string(max);
    return Result::kBad;
  }
  if (available - kFrameHeaderSize < length) return Result::kNeedMore;
  frame->kind = static_cast<FrameKind>(kind);
  frame->payload.assign(at + kFrameHeaderSize, at + kFrameHeaderSize + length);
  consumed_ += kFrameHeaderSize + length;
  if (consumed_ == buffer_.size()) {
    // Nothing behind it: the room is kept for the next frame. Memory the
    // system hands out afresh costs a page fault a page on first touch
    // (tens of microseconds each on some machines), so a room grown anew
    // for every large frame cost more than the frame's copying; the owner
    // gives it back when the connection goes quiet (ReleaseRoom).
    buffer_.clear();
    consumed_ = 0;
  }
  return Result::kFrame;
}

void PutU16(std::vector<uint8_t>* out, uint16_t value) {
  uint8_t bytes[2];
  vz::Store16(bytes, value);
  out->insert(out->end(), bytes, bytes + sizeof(bytes));
}

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
  uint8_t bytes[4];
  vz::Store32(bytes, value);
  out->insert(out->end(), bytes, bytes + sizeof(bytes));
}

void PutU64(std::vector<uint8_t>* out, uint64_t value) {
  PutU32(out, static_cast<uint32_t>(value >> 32));
  PutU32(out, static_cast<uint32_t>(value));
}

void PutText(std::vector<uint8_t>* out, const std::string& text) {
  const size_t size = text.size() > 0xFFFF ? 0xFFFF : text.size();
  PutU16(out, static_cast<uint16_t>(size));
  out->insert(out->end(), text.begin(), text.begin() + static_cast<ptrdiff_t>(size));
}

bool PayloadReader::GetU8(uint8_t* value) {
  if (Remaining() < 1) return false;
  *value = data_[at_++];
  return true;
}

bool PayloadReader::GetU16(uint16_t* value) {
  if (Remaining() < 2) return false;
  *value = vz::Load16(data_ + at_);
  at_ += 2;
  return true;
}

bool PayloadReader::GetU32(uint32_t* value) {
  if (Remaining() < 4) return false;
  *value = vz::Load32(data_ + at_);
  at_ += 4;
  return true;
}

bool PayloadReader::GetU64(uint64_t* value) {
  uint32_t high = 0, low = 0;
  if (Remaining() < 8) return false;
  GetU32(&high);
  GetU32(&low);
  *value = static_cast<uint64_t>(high) << 32 | low;
  return true;
}

bool PayloadReader::GetText(std::string* text, size_t max_size) {
  const size_t start = at_;
  uint16_t size = 0;
  if (!GetU16(&size) || size > max_size || Remaining() < size) {
    at_ = start;
    return false;
  }
  text->assign(reinterpret_cast<const char*>(data_ + at_), size);
  at_ += size;
  return true;
}

}  // namespace vzrelay
