#include "bridge/native_message.h"

#include <algorithm>
#include <cstring>

namespace {

// Reads exactly `size` bytes, across as many reads as the stream needs. False
// when the stream ended or failed first.
bool ReadExactly(IByteInput& input, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const long n = input.Read(buffer + done, size - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

NativeReadResult ReadNativeMessage(IByteInput& input, std::string* text, uint32_t* announced) {
  *announced = 0;
  text->clear();
  char header_bytes[sizeof(NativeMessageHeader)];
  if (!ReadExactly(input, header_bytes, sizeof(header_bytes))) return NativeReadResult::kEnd;
  NativeMessageHeader header;
  std::memcpy(&header, header_bytes, sizeof(header));
  *announced = header.length;
  if (header.length == 0) return NativeReadResult::kEnd;
  if (header.length > kNativeMessageMaxLength) return NativeReadResult::kTooLong;
  // The room grows with the bytes that arrive, not with what the header
  // claims, so a header that lies costs no more than the bytes behind it.
  constexpr size_t kStep = 64 * 1024;
  size_t done = 0;
  while (done < header.length) {
    const size_t chunk = std::min<size_t>(kStep, header.length - done);
    text->resize(done + chunk);
    if (!ReadExactly(input, text->data() + done, chunk)) {
      text->clear();
      return NativeReadResult::kEnd;
    }
    done += chunk;
  }
  return NativeReadResult::kMessage;
}

bool WriteNativeMessage(IByteOutput& output, std::string_view text) {
  if (text.size() > UINT32_MAX) return false;
  NativeMessageHeader header{static_cast<uint32_t>(text.size())};
  std::string bytes(sizeof(header) + text.size(), '\0');
  std::memcpy(bytes.data(), &header, sizeof(header));
  std::memcpy(bytes.data() + sizeof(header), text.data(), text.size());
  return output.Write(bytes.data(), bytes.size());
}
