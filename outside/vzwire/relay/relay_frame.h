#pragma once
// The frames between the media transport (vzwire) and the local meeting
// server (vzrelay) on a loopback TCP connection, both ways:
//   uint16 kind, uint32 length (both big-endian), then length payload bytes.
// Each kind has its own largest payload; a frame whose kind is unknown or
// whose length passes its kind's limit is refused before anything is
// allocated for it, and the connection that sent it is closed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vzrelay {

enum class FrameKind : uint16_t {
  kJoin = 1,          // client: JoinRequest
  kJoinConfirm = 2,   // server: uint32 ssrc, uint32 members
  kJoinRefused = 3,   // server: uint32 code, UTF-8 reason; the server then closes
  kLeave = 4,         // client: empty
  kCommand = 5,       // both: one command record (kind 7 and the message)
  kRtp = 6,           // both: one RTP record
  kRtcp = 7,          // both: one RTCP record
  kDataUtf8 = 8,      // both: one text payload
  kDataBinary = 9,    // both: one binary payload
  kPing = 10,         // client: uint32 sequence, uint64 sent (monotonic ns)
  kPong = 11,         // server: the ping's 12 bytes, uint32 media dropped for me, uint32 media meant for me
  kSubscribe = 12,    // client: uint32 ssrc, uint8 on
  kSessionEnded = 13, // server: uint32 reason, uint32 arg; the server then closes
  kConsumed = 14,     // both: uint64 bytes of the other side's frames handed on so far (the
                      // server sends it only to a client that sent it)
};

constexpr size_t kFrameHeaderSize = 6;
// The largest data payload (a sharing message with many image tiles).
constexpr uint32_t kMaxDataPayload = 8u << 20;
// The largest join request.
constexpr uint32_t kMaxJoinPayload = 8u << 10;
// A record carries at most 65,535 bytes behind a header of 11.
constexpr uint32_t kMaxRecordFramePayload = 0xFFFF + 16;

// The largest payload of a kind; 0 for an unknown kind.
uint32_t MaxFramePayload(uint16_t kind);
const char* FrameKindName(uint16_t kind);

// Writes a frame's header (kFrameHeaderSize bytes) at `at`.
void WriteFrameHeader(uint8_t* at, FrameKind kind, uint32_t size);
// Appends one whole frame. False (nothing appended) when the payload passes
// its kind's limit.
bool AppendFrame(std::vector<uint8_t>* out, FrameKind kind, const uint8_t* payload, size_t size);
std::vector<uint8_t> MakeFrame(FrameKind kind, const uint8_t* payload, size_t size);

struct Frame {
  FrameKind kind = FrameKind::kLeave;
  std::vector<uint8_t> payload;
};

// One payload held once however many members it is queued for; never
// changed after it is made.
using SharedPayload = std::shared_ptr<const std::vector<uint8_t>>;
inline SharedPayload MakeSharedPayload(std::vector<uint8_t> bytes) {
  return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}
inline SharedPayload MakeSharedPayload(const uint8_t* data, size_t size) {
  return std::make_shared<const std::vector<uint8_t>>(data, data + size);
}

// Cuts frames out of a byte stream that arrives in pieces of any size.
class FrameReader {
 public:
  enum class Result { kFrame, kNeedMore, kBad };

  // The bytes that arrived, in order.
  void Append(const uint8_t* data, size_t size);
  // The next whole frame, kNeedMore until one is complete, or kBad for a
  // frame that must not be accepted (Error() says why; the reader stays bad).
  Result Next(Frame* frame);
  const std::string& Error() const { return error_; }
  // Bytes held for frames not yet complete.
  size_t Buffered() const { return buffer_.size() - consumed_; }
  // The whole size (header and payload) the frame in progress says it has;
  // 0 until its header is in.
  size_t FrameInProgress() const;
  // The memory held for frames: at least Buffered(), and the room the
  // largest recent frame grew, which is kept after it for the next one.
  size_t Room() const { return buffer_.capacity(); }
  // Gives the room back when nothing is buffered (else keeps it).
  void ReleaseRoom();

 private:
  std::vector<uint8_t> buffer_;
  size_t consumed_ = 0;
  std::string error_;
};

// Big-endian helpers for the payloads.
void PutU16(std::vector<uint8_t>* out, uint16_t value);
void PutU32(std::vector<uint8_t>* out, uint32_t value);
void PutU64(std::vector<uint8_t>* out, uint64_t value);
// A reader over a payload; every Get fails (false) past the end.
class PayloadReader {
 public:
  PayloadReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool GetU8(uint8_t* value);
  bool GetU16(uint16_t* value);
  bool GetU32(uint32_t* value);
  bool GetU64(uint64_t* value);
  // A uint16 length and that many bytes, refused above max_size.
  bool GetText(std::string* text, size_t max_size);
  size_t Remaining() const { return size_ - at_; }
  const uint8_t* Rest() const { return data_ + at_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};
void PutText(std::vector<uint8_t>* out, const std::string& text);

}  // namespace vzrelay
