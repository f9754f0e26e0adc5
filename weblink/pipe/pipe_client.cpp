#include "weblink/pipe/pipe_client.h"

#include <cerrno>
#include <cstdint>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/local_socket_poll.h"
#include "platform/pipe_name.h"

namespace {

// Inside a catch block: names what escaped, so that the line says whether
// memory ran out or something else went wrong.
const char* CurrentExceptionText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unknown exception";
  }
}

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
  int waker_error = 0;
  if (!channel_.CreateWaker(&waker_error)) {
    VZ_LOG_ERROR("->CreateEvent_i failed error=%d", waker_error);
    return false;
  }
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
  channel_.Queue(std::move(frame));
  return true;
}

void CPipeClient::Stop() {
  VZ_LOG(" begin");
  {
    CScopedLock lock(lock_);
    callback_ = nullptr;
    closed_ = true;
    stop_ = true;
    if (channel_.Waker()) channel_.Waker()->Signal();
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

// Nothing may escape the thread: an exception (memory that ran out while a
// frame was read, a callback that threw while connecting) ends the link like
// a read error, with a log line and the one disconnect.
void CPipeClient::ThreadRun() {
  VZ_LOG("begin");
  bool connected = false;
  try {
    connected = ConnectServer();
    if (!connected) VZ_LOG("-> exit");
    if (connected && NotifyConnect()) RunLoop();
  } catch (...) {
    VZ_LOG_ERROR("the link ends: %s", CurrentExceptionText());
  }
  channel_.Socket().Close();
  try {
    NotifyDisconnect();
  } catch (...) {
    VZ_LOG_ERROR("OnDisconnect failed: %s", CurrentExceptionText());
  }
  if (connected) VZ_LOG(" end");
}

bool CPipeClient::ConnectServer() {
  std::string path;
  if (!vz::PipeNameToSocketPath(pipe_name_, &path)) {
    VZ_LOG_ERROR(" open pipe failed error=%d", EINVAL);
    return false;
  }
  const uint64_t started_ms = clock_.NowMs();
  while (!stop_) {
    const vz::ConnectResult result = vz::ConnectLocalSocket(path, &channel_.Socket());
    switch (result.status) {
      case vz::ConnectStatus::kConnected:
        VZ_LOG(" success pipe=%d", channel_.Socket().Fd());
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
  item.fd = channel_.Waker()->Fd();
  item.wanted = vz::kPollReadable;
  if (vz::PollDescriptors(&item, 1, timeout_ms) > 0) channel_.Waker()->Drain();
}

void CPipeClient::RunLoop() {
  const PipeLinkEnd end = channel_.Run(stop_, *this);
  switch (end.reason) {
    case PipeLinkEnd::Reason::kStopped:
      break;
    case PipeLinkEnd::Reason::kWaitFailed:
      VZ_LOG_ERROR("WAIT_FAILED error=%d", end.error);
      break;
    case PipeLinkEnd::Reason::kPeerClosed:  // the server closed its end: a broken pipe (EPIPE)
    case PipeLinkEnd::Reason::kReadFailed:
      VZ_LOG_ERROR("read error=%d", end.error);
      break;
    case PipeLinkEnd::Reason::kOversized:
      VZ_LOG_ERROR("frame length %u of kind %u is over the limit of %u bytes", end.rejected.length,
                   end.rejected.kind, kPipeMaxPayload);
      break;
    case PipeLinkEnd::Reason::kWriteFailed:
      VZ_LOG_ERROR("write error=%d", end.error);
      break;
  }
}

void CPipeClient::OnFrame(const PipeFrameView& frame) {
  VZ_LOG("this %0x08X len=%d type=%d", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
         static_cast<int>(frame.payload.size()), static_cast<int>(frame.kind));
  Deliver(frame);
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

// One frame that cannot be delivered (no memory for its copy, a callback
// that threw) is dropped with a log line; the link goes on.
void CPipeClient::Deliver(const PipeFrameView& frame) {
  CWebSocketClientCallback* callback;
  {
    CScopedLock lock(lock_);
    callback = callback_;
  }
  if (!callback) return;
  try {
    const std::string payload(frame.payload);
    if (frame.kind == PIPE_KIND_JSON_TEXT) {
      callback->OnReceiveText(payload);
    } else {
      callback->OnReceiveBinary(payload);
    }
  } catch (...) {
    VZ_LOG_ERROR("frame of %zu bytes of kind %u dropped: %s", frame.payload.size(), static_cast<unsigned>(frame.kind),
                 CurrentExceptionText());
  }
}
