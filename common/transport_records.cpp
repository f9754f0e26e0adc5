#include "common/transport_records.h"

#include "common/byte_stream.h"
#include "common/trace_client.h"

namespace {

bool PayloadFits(uint32_t length, const char* what) {
  if (length <= kMaxRecordPayload) return true;
  VZ_LOG_ERROR("refused a %s payload of %u bytes: a record carries at most %u", what, length,
               kMaxRecordPayload);
  return false;
}

// Reads `length` bytes into `out`, failing without allocating when the stream
// holds fewer.
bool ReadPayload(CByteStream* stream, uint16_t length, std::vector<uint8_t>* out) {
  if (stream->GetDataLength() < length) return false;
  out->resize(length);
  return stream->Read(out->data(), length);
}

}  // namespace

bool WriteCommandRecord(CByteStream* stream, const uint8_t* message, uint32_t length) {
  if (stream == nullptr || (message == nullptr && length != 0)) return false;
  return stream->WriteUInt16(kCommandRecordKind) && stream->Write(message, length);
}

bool WriteRtpRecord(CByteStream* stream, uint8_t flag, const uint8_t* packet, uint32_t length) {
  if (stream == nullptr || (packet == nullptr && length != 0) || !PayloadFits(length, "RTP")) {
    return false;
  }
  return stream->WriteUInt16(kRtpRecordKind) && stream->WriteUInt16(0) && stream->WriteUInt32(0) &&
         stream->WriteUInt8(flag) && stream->WriteUInt16(static_cast<uint16_t>(length)) &&
         stream->Write(packet, length);
}

bool WriteRtcpRecord(CByteStream* stream, const uint8_t* packet, uint32_t length) {
  if (stream == nullptr || (packet == nullptr && length != 0) || !PayloadFits(length, "RTCP")) {
    return false;
  }
  return stream->WriteUInt16(kRtcpRecordKind) &&
         stream->WriteUInt16(static_cast<uint16_t>(length)) && stream->Write(packet, length);
}

bool PeekRecordKind(const CByteStream& stream, uint16_t* kind) {
  if (kind == nullptr || stream.GetDataLength() < 2) return false;
  CByteStream view = CByteStream::Borrow(stream.ReadPointer(), 2, stream.IsHostOrder());
  return view.ReadUInt16(kind);
}

bool ReadCommandRecord(CByteStream* stream, std::vector<uint8_t>* message) {
  if (stream == nullptr || message == nullptr) return false;
  const uint32_t start = stream->ReadPosition();
  uint16_t kind = 0;
  if (!stream->ReadUInt16(&kind) || kind != kCommandRecordKind) {
    stream->RewindTo(start);
    return false;
  }
  const uint32_t length = stream->GetDataLength();
  message->assign(stream->ReadPointer(), stream->ReadPointer() + length);
  stream->Skip(length);
  return true;
}

bool ReadRtpRecord(CByteStream* stream, RtpRecord* record) {
  if (stream == nullptr || record == nullptr) return false;
  const uint32_t start = stream->ReadPosition();
  if (stream->ReadUInt16(&record->kind) && record->kind == kRtpRecordKind &&
      stream->ReadUInt16(&record->reserved16) && stream->ReadUInt32(&record->reserved32) &&
      stream->ReadUInt8(&record->flag) && stream->ReadUInt16(&record->length) &&
      ReadPayload(stream, record->length, &record->data)) {
    return true;
  }
  stream->RewindTo(start);
  return false;
}

bool ReadRtcpRecord(CByteStream* stream, RtcpRecord* record) {
  if (stream == nullptr || record == nullptr) return false;
  const uint32_t start = stream->ReadPosition();
  if (stream->ReadUInt16(&record->kind) && record->kind == kRtcpRecordKind &&
      stream->ReadUInt16(&record->length) && ReadPayload(stream, record->length, &record->data)) {
    return true;
  }
  stream->RewindTo(start);
  return false;
}
