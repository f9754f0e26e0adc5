#pragma once
// Native messaging between a browser and the host it starts: each message is
// a 4-byte length in native byte order (little-endian here), then that many
// bytes of UTF-8 JSON with no terminating zero, in both directions. The one
// framing for the host and for the programs that play the browser.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

struct NativeMessageHeader {
  uint32_t length;  // message bytes that follow; the header is not counted
};
static_assert(sizeof(NativeMessageHeader) == 4, "the header is four bytes");

// The longest message a host takes from the browser (the browser's own limit
// toward a host); a longer announcement ends the input.
inline constexpr uint32_t kNativeMessageMaxLength = 64u * 1024u * 1024u;
// The longest message the browser takes from a host: it drops the connection
// on a longer one.
inline constexpr uint32_t kNativeMessageMaxToBrowser = 1024u * 1024u;

// Where the bytes come from: reads exactly `size` bytes, or false when the
// stream ended or failed first.
class NativeMessageSource {
 public:
  virtual ~NativeMessageSource() = default;
  virtual bool ReadExactly(void* buffer, size_t size) = 0;
};

// A source over any call that reads exactly: `read(buffer, size)` returns
// ReadExactly's answer. For readers whose bytes come from elsewhere, such as
// a child's output read with a deadline.
template <typename Read>
class NativeMessageSourceOf final : public NativeMessageSource {
 public:
  explicit NativeMessageSourceOf(Read read) : read_(std::move(read)) {}
  bool ReadExactly(void* buffer, size_t size) override { return read_(buffer, size); }

 private:
  Read read_;
};

// The room one message is read into, kept across messages so that a relay of
// many messages allocates (and clears) nothing once it has grown. The text is
// zero-terminated behind its bytes. Not thread-safe.
class NativeMessageBuffer {
 public:
  const char* data() const { return data_ ? data_.get() : ""; }
  size_t size() const { return size_; }
  std::string_view view() const { return std::string_view(data(), size_); }
  void clear();
  // Makes room for `size` bytes and a terminating zero, keeping the first
  // `keep` bytes; the new bytes are not cleared. False when memory ran out
  // (the buffer is then unchanged).
  bool Reserve(size_t size, size_t keep);
  char* writable() { return data_.get(); }
  void SetSize(size_t size);

 private:
  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;  // bytes of text room; one more holds the zero
  size_t size_ = 0;
};

enum class NativeReadResult {
  kMessage,   // the buffer holds one message
  kEnd,       // the input ended: closed, a zero length, or a header or message cut short
  kTooLong,   // the header announced more than the limit
  kNoMemory,  // the room for the message could not be made (the input is then out of step: treat as its end)
};

// Reads one message. `announced` gets the header's length (0 when the header
// did not arrive whole). The room grows with the bytes that arrive, not with
// what the header claims, so a header that lies costs no more than the bytes
// behind it.
NativeReadResult ReadNativeMessage(NativeMessageSource& source, NativeMessageBuffer* message, uint32_t* announced,
                                   uint32_t max_length = kNativeMessageMaxLength);

// The four header bytes for a message of `length` bytes.
void FormatNativeMessageHeader(uint32_t length, char bytes[sizeof(NativeMessageHeader)]);
// The header and the text as one byte string. The text must be shorter than
// 4 GiB (a header cannot announce more).
std::string FrameNativeMessage(std::string_view text);
