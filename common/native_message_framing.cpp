#include "common/native_message_framing.h"

#include <algorithm>
#include <cstring>
#include <new>

void NativeMessageBuffer::clear() { size_ = 0; }

bool NativeMessageBuffer::Reserve(size_t size, size_t keep) {
  if (size <= capacity_ && data_) return true;
  // Doubling keeps the copies few while a message grows; it never passes
  // twice the bytes that arrived.
  const size_t capacity = std::max(size, std::min(capacity_ * 2, size_t{1} << 31));
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + 1]);
  if (!grown) return false;
  if (keep > 0) std::memcpy(grown.get(), data_.get(), std::min(keep, capacity_));
  data_ = std::move(grown);
  capacity_ = capacity;
  return true;
}

void NativeMessageBuffer::SetSize(size_t size) {
  size_ = std::min(size, capacity_);
  if (data_) data_[size_] = '\0';
}

NativeReadResult ReadNativeMessage(NativeMessageSource& source, NativeMessageBuffer* message, uint32_t* announced,
                                   uint32_t max_length) {
  *announced = 0;
  message->clear();
  char header_bytes[sizeof(NativeMessageHeader)];
  if (!source.ReadExactly(header_bytes, sizeof(header_bytes))) return NativeReadResult::kEnd;
  NativeMessageHeader header;
  std::memcpy(&header, header_bytes, sizeof(header));
  *announced = header.length;
  if (header.length == 0) return NativeReadResult::kEnd;
  if (header.length > max_length) return NativeReadResult::kTooLong;
  constexpr size_t kStep = 256 * 1024;
  size_t done = 0;
  while (done < header.length) {
    const size_t chunk = std::min<size_t>(kStep, header.length - done);
    if (!message->Reserve(done + chunk, done)) {
      message->SetSize(0);
      return NativeReadResult::kNoMemory;
    }
    if (!source.ReadExactly(message->writable() + done, chunk)) {
      message->SetSize(0);
      return NativeReadResult::kEnd;
    }
    done += chunk;
  }
  message->SetSize(done);
  return NativeReadResult::kMessage;
}

void FormatNativeMessageHeader(uint32_t length, char bytes[sizeof(NativeMessageHeader)]) {
  const NativeMessageHeader header{length};
  std::memcpy(bytes, &header, sizeof(header));
}

std::string FrameNativeMessage(std::string_view text) {
  std::string bytes(sizeof(NativeMessageHeader), '\0');
  FormatNativeMessageHeader(static_cast<uint32_t>(text.size()), bytes.data());
  bytes.append(text);
  return bytes;
}
