#include "bridge/native_message.h"

#include <cstring>

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

NativeWriteResult WriteNativeMessage(IByteOutput& output, std::string_view text, NativeMessageBuffer* scratch) {
  if (text.size() > kNativeMessageMaxToBrowser) return NativeWriteResult::kTooLong;
  const size_t size = sizeof(NativeMessageHeader) + text.size();
  if (!scratch->Reserve(size, 0)) return NativeWriteResult::kFailed;
  FormatNativeMessageHeader(static_cast<uint32_t>(text.size()), scratch->writable());
  std::memcpy(scratch->writable() + sizeof(NativeMessageHeader), text.data(), text.size());
  scratch->SetSize(size);
  return output.Write(scratch->data(), scratch->size()) ? NativeWriteResult::kWritten : NativeWriteResult::kFailed;
}
