#include "bridge/native_message.h"

#include <string_view>

namespace {

class ByteInputSource : public NativeMessageSource {
 public:
  explicit ByteInputSource(IByteInput& input) : input_(input) {}
  bool ReadExactly(void* buffer, size_t size) override {
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
      const long n = input_.Read(bytes + done, size - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  IByteInput& input_;
};

}  // namespace

NativeReadResult ReadNativeMessage(IByteInput& input, NativeMessageBuffer* message, uint32_t* announced) {
  ByteInputSource source(input);
  return ReadNativeMessage(source, message, announced, kNativeMessageMaxLength);
}

NativeWriteResult WriteNativeMessage(IByteOutput& output, std::string_view text) {
  return WriteNativeMessage(output, &text, 1);
}

NativeWriteResult WriteNativeMessage(IByteOutput& output, const std::string_view* parts, size_t count) {
  constexpr size_t kMaxParts = 8;
  if (count > kMaxParts) return NativeWriteResult::kFailed;
  size_t size = 0;
  for (size_t i = 0; i < count; ++i) size += parts[i].size();
  if (size > kNativeMessageMaxToBrowser) return NativeWriteResult::kTooLong;
  char header[sizeof(NativeMessageHeader)];
  FormatNativeMessageHeader(static_cast<uint32_t>(size), header);
  std::string_view all[kMaxParts + 1];
  all[0] = std::string_view(header, sizeof(header));
  for (size_t i = 0; i < count; ++i) all[i + 1] = parts[i];
  return output.WriteGathered(all, count + 1) ? NativeWriteResult::kWritten : NativeWriteResult::kFailed;
}
