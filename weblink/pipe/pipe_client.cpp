#include "weblink/pipe/pipe_client.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/pipe_name.h"

namespace {

// Writes of one loop round stop here, so a long queue does not hold off
// reading; the next round goes on where this one stopped.
constexpr size_t kMaxWriteBytesPerRound = 256 * 1024;

}  // namespace

CPipeClient::CPipeClient(CWebSocketClientCallback* callback, const vz::Clock& clock)
    : clock_(clock), callback_(callback) {
  VZ_LOG_OBJ("");
}

CPipeClient::~CPipeClient() {
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Deleted from its own callback: nothing can wait for the thread here.
      VZ_LOG_ERROR("deleted on its own I/O thread");
      thread_.detach();
    } else {
      Stop();
    }
  }
}

bool CPipeClient::Start(std::u16string_view pipe_name) {
  CScopedLock lock(lock_);
  if (started_) {
    VZ_LOG_ERROR("->already started");
    return false;
  }
  pipe_name_ = pipe_name;
  auto waker = std::make_unique<vz::LocalSocketWaker>();
  if (!waker->IsValid()) {
    VZ_LOG_ERROR("->CreateEvent_i failed error=%d", waker->Error());
    return false;
  }
  waker_ = std::move(waker);
  try {
    thread_ = std::thread(&CPipeClient::ThreadRun, this);
  } catch (const std::system_error& error) {
    VZ_LOG_ERROR("->CreateThread_i failed error=%d", error.code().value());
    return false;
  }
  started_ = true;
  return true;
}

bool CPipeClient::Send(std::string_view payload, uint32_t kind) {
  if (payload.empty()) return false;
  if (payload.size() > kPipeMaxPayload) {
    VZ_LOG_ERROR("payload of %zu bytes is over the limit of %u bytes", payload.size(), kPipeMaxPayload);
    return false;
  }
  std::string frame = BuildPipeFrame(kind, payload);
  CScopedLock lock(lock_);
  if (closed_) return false;
  const bool was_empty = send_queue_.empty();
  send_queue_.push_back(std::move(frame));
  // The loop looks at the queue before each wait; only the first frame of a
  // batch needs to cut a wait short.
  if (was_empty && waker_) waker_->Signal();
  return true;
}

void CPipeClient::Stop() {
  VZ_LOG(" begin");
  {
    CScopedLock lock(lock_);
    callback_ = nullptr;
    closed_ = true;
    stop_ = true;
    if (waker_) waker_->Signal();
  }
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Called from a callback: the thread ends when the callback returns.
      VZ_LOG_ERROR("->Stop on the I/O thread does not wait");
    } else {
      thread_.join();
    }
  }
  VZ_LOG(" end");
}

void CPipeClient::ThreadRun() {
  VZ_LOG("begin");
  if (!ConnectServer()) {
    VZ_LOG("-> exit");
    socket_.Close();
    NotifyDisconnect();
    return;
  }
  if (NotifyConnect()) RunLoop();
  socket_.Close();
  NotifyDisconnect();
  VZ_LOG(" end");
}

bool CPipeClient::ConnectServer() {
  std::string path;
  if (!vz::PipeNameToSocketPath(pipe_name_, &path)) {
    VZ_LOG_ERROR(" open pipe failed error=%d", EINVAL);
    return false;
  }
  const uint64_t started_ms = clock_.NowMs();
  while (!stop_) {
    const vz::ConnectResult result = vz::ConnectLocalSocket(path, &socket_);
    switch (result.status) {
      case vz::ConnectStatus::kConnected:
        VZ_LOG(" success pipe=%d", socket_.Fd());
        return true;
      case vz::ConnectStatus::kBusy: {
        const uint64_t now_ms = clock_.NowMs();
        if (now_ms >= started_ms && now_ms - started_ms >= kBusyWaitMs) {
          VZ_LOG_ERROR(" open pipe 20 second wait time out");
          return false;
        }
        WaitForWake(kConnectRetryMs);
        break;
      }
      case vz::ConnectStatus::kNotFound:
      case vz::ConnectStatus::kFailed:
        VZ_LOG_ERROR(" open pipe failed error=%d", result.error);
        return false;
    }
  }
  return false;
}

void CPipeClient::WaitForWake(int timeout_ms) {
  vz::PollItem item;
  item.fd = waker_->Fd();
  item.wanted = vz::kPollReadable;
  if (vz::PollDescriptors(&item, 1, timeout_ms) > 0) waker_->Drain();
}

void CPipeClient::RunLoop() {
  while (!stop_) {
    bool want_write;
    {
      CScopedLock lock(lock_);
      want_write = !send_queue_.empty();
    }
    vz::PollItem items[2];
    items[0].fd = socket_.Fd();
    items[0].wanted = vz::kPollReadable | (want_write ? vz::kPollWritable : 0u);
    items[1].fd = waker_->Fd();
    items[1].wanted = vz::kPollReadable;
    int error = 0;
    if (vz::PollDescriptors(items, 2, kPollTimeoutMs, &error) < 0) {
      // A poll that fails on two valid descriptors fails again at once;
      // going round would only spin.
      VZ_LOG_ERROR("WAIT_FAILED error=%d", error);
      return;
    }
    if (items[1].ready) waker_->Drain();
    if (stop_) return;
    if ((items[0].ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError)) && !DoRead()) return;
    if (stop_) return;
    if (!DoWrite()) return;
  }
}

bool CPipeClient::DoRead() {
  char* room = cutter_.PrepareAppend(kReadChunkBytes);
  const vz::IoResult result = socket_.Read(room, kReadChunkBytes);
  switch (result.status) {
    case vz::IoStatus::kOk:
      cutter_.CommitAppend(result.bytes);
      return ParseData();
    case vz::IoStatus::kWouldBlock:
      return true;
    case vz::IoStatus::kEndOfStream:
      // The server closed its end: a broken pipe.
      VZ_LOG_ERROR("read error=%d", EPIPE);
      return false;
    case vz::IoStatus::kError:
      VZ_LOG_ERROR("read error=%d", result.error);
      return false;
  }
  return false;
}

bool CPipeClient::ParseData() {
  PipeFrameView frame;
  for (;;) {
    switch (cutter_.Next(&frame)) {
      case PipeFrameCutter::Result::kNeedMore:
        return true;
      case PipeFrameCutter::Result::kOversized:
        VZ_LOG_ERROR("frame length %u of kind %u is over the limit of %u bytes", cutter_.RejectedHeader().length,
                     cutter_.RejectedHeader().kind, kPipeMaxPayload);
        return false;
      case PipeFrameCutter::Result::kFrame:
        VZ_LOG("this %0x08X len=%d type=%d", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
               static_cast<int>(frame.payload.size()), static_cast<int>(frame.kind));
        Deliver(frame);
        break;
    }
  }
}

bool CPipeClient::DoWrite() {
  CScopedLock lock(lock_);
  size_t written = 0;
  while (!send_queue_.empty() && written < kMaxWriteBytesPerRound) {
    const std::string& frame = send_queue_.front();
    const vz::IoResult result = socket_.Write(frame.data() + write_offset_, frame.size() - write_offset_);
    if (result.status == vz::IoStatus::kWouldBlock) return true;
    if (result.status != vz::IoStatus::kOk) {
      VZ_LOG_ERROR("write error=%d", result.error);
      return false;
    }
    // A short write is normal on a socket: the rest goes out next.
    write_offset_ += result.bytes;
    written += result.bytes;
    if (write_offset_ == frame.size()) {
      send_queue_.pop_front();
      write_offset_ = 0;
    }
  }
  return true;
}

bool CPipeClient::NotifyConnect() {
  CWebSocketClientCallback* callback;
  {
    CScopedLock lock(lock_);
    // A connection made while Stop was under way is dropped unreported.
    if (stop_) return false;
    callback = callback_;
  }
  if (callback) callback->OnConnect();
  return true;
}

void CPipeClient::NotifyDisconnect() {
  CWebSocketClientCallback* callback;
  {
    CScopedLock lock(lock_);
    closed_ = true;
    stop_ = true;
    callback = callback_;
    callback_ = nullptr;  // at most once
  }
  if (callback) callback->OnDisconnect(0);
}

void CPipeClient::Deliver(const PipeFrameView& frame) {
  CWebSocketClientCallback* callback;
  {
    CScopedLock lock(lock_);
    callback = callback_;
  }
  if (!callback) return;
  const std::string payload(frame.payload);
  if (frame.kind == PIPE_KIND_JSON_TEXT) {
    callback->OnReceiveText(payload);
  } else {
    callback->OnReceiveBinary(payload);
  }
}
