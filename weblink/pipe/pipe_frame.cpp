#include "weblink/pipe/pipe_frame.h"

#include <cstring>

namespace {

void PutBigEndian(uint32_t value, char* out) {
  out[0] = static_cast<char>((value >> 24) & 0xFF);
  out[1] = static_cast<char>((value >> 16) & 0xFF);
  out[2] = static_cast<char>((value >> 8) & 0xFF);
  out[3] = static_cast<char>(value & 0xFF);
}

uint32_t GetBigEndian(const char* in) {
  const auto* b = reinterpret_cast<const unsigned char*>(in);
  return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
         (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

}  // namespace

void PipeFrameHeader::WriteTo(char* out) const {
  PutBigEndian(length, out);
  PutBigEndian(kind, out + 4);
}

PipeFrameHeader PipeFrameHeader::ReadFrom(const char* in) {
  PipeFrameHeader header;
  header.length = GetBigEndian(in);
  header.kind = GetBigEndian(in + 4);
  return header;
}

std::string BuildPipeFrame(uint32_t kind, std::string_view payload) {
  std::string frame(PipeFrameHeader::kWireSize + payload.size(), '\0');
  PipeFrameHeader header;
  header.length = static_cast<uint32_t>(payload.size());
  header.kind = kind;
  header.WriteTo(frame.data());
  if (!payload.empty()) {
    std::memcpy(frame.data() + PipeFrameHeader::kWireSize, payload.data(), payload.size());
  }
  return frame;
}
