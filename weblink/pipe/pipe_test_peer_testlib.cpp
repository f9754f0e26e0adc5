#include "weblink/pipe/pipe_test_peer_testlib.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "platform/local_socket_poll.h"
#include "platform/pipe_name.h"
#include "platform/process.h"

namespace {

constexpr size_t kReadBytes = 64 * 1024;

// Milliseconds left before `deadline_ms`, at least 0.
int LeftMs(uint64_t deadline_ms) {
  const uint64_t now = vz::MonotonicMs();
  return now >= deadline_ms ? 0 : static_cast<int>(deadline_ms - now);
}

}  // namespace

std::u16string NextTestPipeName() {
  static std::atomic<int> counter{0};
  const std::string name = "\\\\.\\pipe\\vzpipe-test-" + std::to_string(vz::ProcessId()) + "-" +
                           std::to_string(counter.fetch_add(1));
  return std::u16string(name.begin(), name.end());
}

PipeTestPeer::PipeTestPeer(std::u16string_view pipe_name) {
  if (!vz::PipeNameToSocketPath(pipe_name, &path_)) std::fprintf(stderr, "PipeTestPeer: bad pipe name\n");
}

bool PipeTestPeer::Bind() { return !path_.empty() && listener_.Bind(path_); }

bool PipeTestPeer::Listen() { return listener_.Listen(4); }

bool PipeTestPeer::Accept(int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    const vz::IoResult result = listener_.Accept(&connection_);
    if (result.status == vz::IoStatus::kOk) {
      cutter_ = std::make_unique<PipeFrameCutter>();
      return true;
    }
    if (result.status != vz::IoStatus::kWouldBlock || LeftMs(deadline) == 0) return false;
    vz::PollItem item;
    item.fd = listener_.Fd();
    item.wanted = vz::kPollReadable;
    vz::PollDescriptors(&item, 1, LeftMs(deadline));
  }
}

bool PipeTestPeer::WriteAll(std::string_view bytes, int timeout_ms) {
  return Exchange(bytes, 0, nullptr, timeout_ms);
}

bool PipeTestPeer::WaitConsumed(int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    size_t unread = 0;
    if (!connection_.UnreadSentBytesForTesting(&unread)) return false;
    if (unread == 0) return true;
    if (LeftMs(deadline) == 0) return false;
    // No event tells that the peer has read; look again shortly.
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

bool PipeTestPeer::ReadFrames(size_t count, std::vector<PipeTestFrame>* frames, int timeout_ms) {
  return Exchange({}, count, frames, timeout_ms);
}

bool PipeTestPeer::Exchange(std::string_view bytes, size_t count, std::vector<PipeTestFrame>* frames,
                            int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  const size_t wanted = (frames ? frames->size() : 0) + count;
  size_t written = 0;
  for (;;) {
    const bool reading = frames && frames->size() < wanted;
    const bool writing = written < bytes.size();
    if (!reading && !writing) return true;
    if (LeftMs(deadline) == 0) return false;
    vz::PollItem item;
    item.fd = connection_.Fd();
    item.wanted = (reading ? vz::kPollReadable : 0u) | (writing ? vz::kPollWritable : 0u);
    if (vz::PollDescriptors(&item, 1, LeftMs(deadline)) < 0) return false;
    if (reading && (item.ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError))) {
      bool end = false;
      if (!ReadSome(frames, &end) || end) return false;
    }
    if (writing && (item.ready & (vz::kPollWritable | vz::kPollError))) {
      const vz::IoResult result = connection_.Write(bytes.data() + written, bytes.size() - written);
      if (result.status == vz::IoStatus::kError) return false;
      written += result.bytes;
    } else if (writing && (item.ready & vz::kPollHangup)) {
      return false;
    }
  }
}

bool PipeTestPeer::WaitEndOfStream(int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  std::vector<PipeTestFrame> ignored;
  for (;;) {
    vz::PollItem item;
    item.fd = connection_.Fd();
    item.wanted = vz::kPollReadable;
    if (vz::PollDescriptors(&item, 1, LeftMs(deadline)) < 0) return false;
    if (item.ready) {
      bool end = false;
      if (!ReadSome(&ignored, &end)) return false;
      if (end) return true;
    }
    if (LeftMs(deadline) == 0) return false;
  }
}

bool PipeTestPeer::ReadSome(std::vector<PipeTestFrame>* frames, bool* end_of_stream) {
  char* room = cutter_->PrepareAppend(kReadBytes);
  const vz::IoResult result = connection_.Read(room, kReadBytes);
  if (result.status == vz::IoStatus::kEndOfStream) {
    *end_of_stream = true;
    return true;
  }
  if (result.status == vz::IoStatus::kWouldBlock) return true;
  if (result.status != vz::IoStatus::kOk) return false;
  cutter_->CommitAppend(result.bytes);
  PipeFrameView view;
  PipeFrameCutter::Result cut;
  while ((cut = cutter_->Next(&view)) == PipeFrameCutter::Result::kFrame) {
    frames->push_back(PipeTestFrame{view.kind, std::string(view.payload)});
  }
  return cut == PipeFrameCutter::Result::kNeedMore;
}
