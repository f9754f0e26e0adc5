#include "weblink/pipe/pipe_frame.h"

#include <cstring>

#include "platform/big_endian.h"

namespace {

void PutBigEndian(uint32_t value, char* out) { vz::Store32(reinterpret_cast<uint8_t*>(out), value); }

uint32_t GetBigEndian(const char* in) { return vz::Load32(reinterpret_cast<const uint8_t*>(in)); }

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
