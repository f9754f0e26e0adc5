#include "bridge/raw_pipe_client_testlib.h"

#include "platform/clock.h"
#include "platform/local_socket_poll.h"
#include "platform/pipe_name.h"

namespace {

// Milliseconds left until `deadline`, at least 0.
int Left(uint64_t deadline) {
  const uint64_t now = vz::MonotonicMs();
  return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

}  // namespace

bool RawPipeClient::Connect(std::string_view pipe_name, int timeout_ms) {
  std::string path;
  if (!vz::PipeNameToSocketPath(pipe_name, &path)) return false;
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    const vz::ConnectResult result = vz::ConnectLocalSocket(path, &socket_);
    if (result.status == vz::ConnectStatus::kConnected) return true;
    if (result.status == vz::ConnectStatus::kFailed || Left(deadline) == 0) return false;
    vz::SleepMs(5);
  }
}

bool RawPipeClient::WriteAll(std::string_view bytes, int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (!bytes.empty()) {
    const vz::IoResult result = socket_.Write(bytes.data(), bytes.size());
    if (result.status == vz::IoStatus::kOk) {
      bytes.remove_prefix(result.bytes);
      continue;
    }
    if (result.status != vz::IoStatus::kWouldBlock || Left(deadline) == 0) return false;
    vz::PollItem item;
    item.fd = socket_.Fd();
    item.wanted = vz::kPollWritable;
    vz::PollDescriptors(&item, 1, Left(deadline));
  }
  return true;
}

bool RawPipeClient::ReadFrame(RawPipeFrame* frame, int timeout_ms, bool* end_of_stream) {
  if (end_of_stream) *end_of_stream = false;
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    PipeFrameView view;
    const PipeFrameCutter::Result cut = cutter_.Next(&view);
    if (cut == PipeFrameCutter::Result::kFrame) {
      frame->kind = view.kind;
      frame->payload.assign(view.payload);
      return true;
    }
    if (cut == PipeFrameCutter::Result::kOversized) return false;
    char* room = cutter_.PrepareAppend(0x10000);
    const vz::IoResult result = socket_.Read(room, 0x10000);
    if (result.status == vz::IoStatus::kOk) {
      cutter_.CommitAppend(result.bytes);
      continue;
    }
    if (result.status == vz::IoStatus::kEndOfStream) {
      if (end_of_stream) *end_of_stream = true;
      return false;
    }
    if (result.status != vz::IoStatus::kWouldBlock || Left(deadline) == 0) return false;
    vz::PollItem item;
    item.fd = socket_.Fd();
    item.wanted = vz::kPollReadable;
    vz::PollDescriptors(&item, 1, Left(deadline));
  }
}

bool RawPipeClient::WaitEndOfStream(int timeout_ms) {
  RawPipeFrame frame;
  bool end = false;
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (ReadFrame(&frame, Left(deadline), &end)) {
  }
  return end;
}
