#include "bridge/byte_streams.h"

#include <string>

#include "common/trace_client.h"
#include "platform/standard_io.h"

namespace {
constexpr int kStandardInputFd = 0;
}  // namespace

long StandardInput::Read(void* buffer, size_t size) {
  if (interrupted_.load(std::memory_order_acquire)) return 0;
  if (waker_.IsValid()) {
    // Wait for input or the waker, so that an end asked for by another
    // thread does not wait for the browser's next message.
    vz::PollItem items[2];
    items[0].fd = kStandardInputFd;
    items[0].wanted = vz::kPollReadable;
    items[1].fd = waker_.Fd();
    items[1].wanted = vz::kPollReadable;
    for (;;) {
      int error = 0;
      const int ready = vz::PollDescriptors(items, 2, -1, &error);
      if (interrupted_.load(std::memory_order_acquire)) return 0;
      if (ready < 0) {
        VZ_LOG_ERROR("cannot wait for standard input: error=%d", error);
        return -1;
      }
      if (items[0].ready != 0) break;  // readable, closed or failed: the read says which
    }
  }
  return vz::ReadStandardInput(buffer, size);
}

void StandardInput::Interrupt() {
  interrupted_.store(true, std::memory_order_release);
  if (waker_.IsValid()) waker_.Signal();
}

bool StandardOutput::Write(const void* data, size_t size) { return vz::WriteStandardOutput(data, size); }

bool IByteOutput::WriteGathered(const std::string_view* parts, size_t count) {
  std::string joined;
  for (size_t i = 0; i < count; ++i) joined.append(parts[i]);
  return Write(joined.data(), joined.size());
}

bool StandardOutput::WriteGathered(const std::string_view* parts, size_t count) {
  return vz::WriteStandardOutputGathered(parts, count);
}
