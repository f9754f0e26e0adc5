#include "bridge/pipe_server.h"

#include <cerrno>
#include <climits>
#include <exception>
#include <cstdio>
#include <system_error>
#include <utility>

#include "bridge/extension_messages.h"
#include "common/native_message_framing.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "platform/local_socket_poll.h"
#include "platform/pipe_name.h"
#include "platform/random_bytes.h"
#include "platform/text.h"
#include "weblink/pipe/pipe_frame.h"

namespace {

// The leading decimal integer of a text, as atoi reads it (white space, an
// optional sign, digits), but saturating instead of overflowing; 0 without one.
int LeadingInteger(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + (text[at++] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace

std::string FormatPipeGuid(const uint8_t b[16]) {
  char text[40];
  const unsigned data1 = vz::Load32(b);
  const unsigned data2 = vz::Load16(b + 4);
  const unsigned data3 = vz::Load16(b + 6);
  std::snprintf(text, sizeof(text), "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", data1, data2, data3, b[8],
                b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

CPipeServer::CPipeServer(IPipeCallback* sink) : CPipeServer(sink, Options()) {}

CPipeServer::CPipeServer(IPipeCallback* sink, const Options& options) : sink_(sink), options_(options) {
  // A large binary block goes on to the browser's pipe behind the message's
  // length and envelope head; read where it lines up with its place there,
  // the kernel's copy into the pipe runs at full speed.
  channel_.SetPayloadPlacement([](uint32_t kind) {
    const size_t before = sizeof(NativeMessageHeader);
    return kind == PIPE_KIND_JSON_TEXT ? before : before + Base64DataMessageHead(kind).size();
  });
  VZ_LOG_OBJ("");
}

CPipeServer::~CPipeServer() { Stop(); }

int64_t CPipeServer::NowSeconds() const {
  return options_.unix_clock ? static_cast<int64_t>(options_.unix_clock->NowMs() / 1000) : vz::UnixTimeSeconds();
}

std::u16string CPipeServer::PipeName() const { return pipe_name_; }

int CPipeServer::Start() {
  Stop();
  CScopedLock lock(lock_);
  Init();
  int waker_error = 0;
  if (!channel_.CreateWaker(&waker_error)) {
    VZ_LOG_ERROR("[0x%016llX] -> CreateEvent_i failed error=%d", vz::LogAddress(this), waker_error);
    return 0;
  }
  if (!CreatePipe_i()) return 0;
  try {
    thread_ = std::thread(&CPipeServer::ThreadRun, this);
  } catch (const std::system_error& error) {
    VZ_LOG_ERROR("[0x%016llX] ->CreateThread_i failed error=%d", vz::LogAddress(this), error.code().value());
    listener_.Close();
    return 0;
  }
  return 1;
}

void CPipeServer::Init() {
  stop_ = false;
  connected_ = false;
  channel_.Reset();
  CreatePipeName();
  wait_client_until_ = kNoDeadline;
  running_ = true;
}

bool CPipeServer::CreatePipeName() {
  uint8_t guid[16];
  if (!vz::FillRandomBytes(guid, sizeof(guid))) {
    pipe_name_.clear();
    return false;
  }
  guid[6] = static_cast<uint8_t>((guid[6] & 0x0f) | 0x40);  // a random (version 4) GUID
  guid[8] = static_cast<uint8_t>((guid[8] & 0x3f) | 0x80);
  const std::string name = std::string(vz::kPipeNamePrefix) + FormatPipeGuid(guid);
  pipe_name_ = vz::Utf8ToUtf16(name);
  VZ_LOG("[0x%016llX] > pipename=%s", vz::LogAddress(this), name.c_str());
  return true;
}

bool CPipeServer::CreatePipe_i() {
  if (pipe_name_.empty() || !vz::PipeNameToSocketPath(pipe_name_, &socket_path_) ||
      !listener_.Bind(socket_path_) || !listener_.Listen(4)) {
    VZ_LOG_ERROR("[0x%016llX] ->CreatePipe_i failed error=%d", vz::LogAddress(this), errno);
    listener_.Close();
    return false;
  }
  VZ_LOG("[0x%016llX] ->CreatePipe_i success %s", vz::LogAddress(this), socket_path_.c_str());
  return true;
}

int CPipeServer::Stop() {
  VZ_LOG_OBJ("begin");
  running_ = false;
  wait_client_until_ = 0;
  VZ_LOG_OBJ("waitclientuntil=%u now=%d", 0u, static_cast<int>(NowSeconds()));
  DisconnectAndClose();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Called from a sink call: the thread ends when that call returns.
      VZ_LOG_ERROR("Stop on the server thread does not wait");
      thread_.detach();
      return 1;
    }
    thread_.join();
  }
  listener_.Close();
  channel_.Socket().Close();
  VZ_LOG_OBJ("end.");
  return 1;
}

void CPipeServer::DisconnectAndClose() {
  stop_ = true;
  if (channel_.Waker()) channel_.Waker()->Signal();
}

int CPipeServer::Send(const char* text, int length) {
  VZ_LOG_OBJ("len=%d", length);
  if (text == nullptr || length <= 0) return 1;
  if (static_cast<uint32_t>(length) > kPipeMaxPayload) {
    VZ_LOG_ERROR("a text of %d bytes is over the frame limit of %u bytes", length, kPipeMaxPayload);
    return 1;
  }
  // Built in the memory of a frame already written, so a large text costs
  // one copy into warm memory and no allocation.
  std::string frame = channel_.TakeSpare();
  frame.resize(PipeFrameHeader::kWireSize);
  PipeFrameHeader{static_cast<uint32_t>(length), PIPE_KIND_JSON_TEXT}.WriteTo(frame.data());
  frame.append(text, static_cast<size_t>(length));
  CScopedLock lock(lock_);
  if (!connected_) return 1;  // no client: the text is dropped
  // The socket is closed only once connected_ is false under this lock, so
  // the frame may go out from this thread at once.
  if (const size_t written = channel_.WriteOrQueue(std::move(frame))) OnWritten(written);
  return 1;
}

void CPipeServer::SetWaitClientUntil(uint32_t seconds) {
  wait_client_until_ = seconds;
  if (channel_.Waker()) channel_.Waker()->Signal();
}

void CPipeServer::ThreadRun() {
  try {
    ServeClient();
  } catch (const std::exception& error) {
    // Memory ran out outside one frame's delivery: the link cannot go on.
    VZ_LOG_ERROR("[0x%016llX] the pipe thread failed: %s", vz::LogAddress(this), error.what());
    EndAfterFailure();
  } catch (...) {
    VZ_LOG_ERROR("[0x%016llX] the pipe thread failed", vz::LogAddress(this));
    EndAfterFailure();
  }
}

void CPipeServer::EndAfterFailure() {
  {
    CScopedLock lock(lock_);
    connected_ = false;
    channel_.ClearQueue();
  }
  listener_.Close();
  channel_.Socket().Close();
  try {
    if (Running()) sink_->OnDisconnect();
  } catch (...) {
    VZ_LOG_ERROR("[0x%016llX] the disconnect after a failure failed too", vz::LogAddress(this));
  }
}

void CPipeServer::ServeClient() {
  VZ_LOG_OBJ("begin");
  if (!WaitClientConnect() || stop_) {
    if (Running()) sink_->OnDisconnect();
    listener_.Close();
    channel_.Socket().Close();
    VZ_LOG_OBJ("exit.");
    return;
  }
  connected_ = true;
  // One client per server: no second one is taken, and none waits for nothing.
  listener_.Close();
  if (Running()) sink_->OnConnect();
  RunLoop();
  {
    CScopedLock lock(lock_);
    connected_ = false;
    channel_.ClearQueue();
  }
  if (Running()) sink_->OnDisconnect();
  channel_.Socket().Close();
  VZ_LOG_OBJ("end");
}

bool CPipeServer::WaitClientConnect() {
  for (;;) {
    if (stop_) return false;
    const uint32_t deadline = wait_client_until_;
    const int64_t now = NowSeconds();
    if (deadline != kNoDeadline && (now < 0 || now > static_cast<int64_t>(UINT32_MAX) || now >= deadline)) {
      VZ_LOG_OBJ("failed");
      return false;
    }
    if (Running()) sink_->OnWaitClient();
    if (AcceptOnce(options_.wait_client_slice_ms)) {
      VZ_LOG_OBJ("success");
      return true;
    }
  }
}

bool CPipeServer::AcceptOnce(int timeout_ms) {
  vz::PollItem items[2];
  items[0].fd = listener_.Fd();
  items[0].wanted = vz::kPollReadable;
  items[1].fd = channel_.Waker()->Fd();
  items[1].wanted = vz::kPollReadable;
  int error = 0;
  if (vz::PollDescriptors(items, 2, timeout_ms, &error) < 0) {
    VZ_LOG_ERROR("[0x%016llX] > ConnectNamedPipe failed error=%d", vz::LogAddress(this), error);
    stop_ = true;  // a poll that failed on two valid descriptors fails again at once
    return false;
  }
  if (items[1].ready) channel_.Waker()->Drain();
  if (stop_ || !(items[0].ready & vz::kPollReadable)) return false;
  vz::LocalSocket client;
  const vz::IoResult accepted = listener_.Accept(&client);
  if (accepted.status != vz::IoStatus::kOk) {
    if (accepted.status == vz::IoStatus::kError) {
      VZ_LOG_ERROR("[0x%016llX] > ConnectNamedPipe failed with error=%d", vz::LogAddress(this), accepted.error);
    }
    return false;
  }
  if (!client.PeerIsCurrentUser()) {
    VZ_LOG_ERROR("[0x%016llX] > a client of another user was refused", vz::LogAddress(this));
    return false;
  }
  channel_.Socket() = std::move(client);
  return true;
}

void CPipeServer::RunLoop() {
  const PipeLinkEnd end = channel_.Run(stop_, *this);
  switch (end.reason) {
    case PipeLinkEnd::Reason::kStopped:
      break;
    case PipeLinkEnd::Reason::kWaitFailed:
      VZ_LOG_ERROR("[0x%016llX] WAIT_FAILED error=%d", vz::LogAddress(this), end.error);
      break;
    case PipeLinkEnd::Reason::kPeerClosed:  // the client closed its end: a broken pipe (EPIPE)
    case PipeLinkEnd::Reason::kReadFailed:
      VZ_LOG_ERROR("[0x%016llX] > read error=%d", vz::LogAddress(this), end.error);
      break;
    case PipeLinkEnd::Reason::kOversized:
      VZ_LOG_ERROR("[0x%016llX] > frame length %u of kind %u is over the limit of %u bytes", vz::LogAddress(this),
                   end.rejected.length, end.rejected.kind, kPipeMaxPayload);
      break;
    case PipeLinkEnd::Reason::kWriteFailed:
      VZ_LOG_ERROR("[0x%016llX] > write error=%d", vz::LogAddress(this), end.error);
      break;
  }
}

void CPipeServer::OnFrame(const PipeFrameView& frame) {
  if (frame.payload.empty()) {
    // Neither end sends one; it carries nothing to hand on.
    VZ_LOG_WARN("[0x%016llX] > empty frame of kind %u dropped", vz::LogAddress(this), frame.kind);
    return;
  }
  VZ_LOG_OBJ("type=%d", static_cast<int>(frame.kind));
  Deliver(frame);
}

void CPipeServer::OnWritten(size_t bytes) { VZ_LOG_OBJ("write len=%zu", bytes); }

void CPipeServer::Deliver(const PipeFrameView& frame) {
  try {
    DeliverTo(frame);
  } catch (const std::exception& error) {
    // One frame that could not be handed on (memory ran out) is dropped; the link goes on.
    VZ_LOG_ERROR("[0x%016llX] a frame of kind %u and %zu bytes is dropped: %s", vz::LogAddress(this), frame.kind,
                 frame.payload.size(), error.what());
  } catch (...) {
    VZ_LOG_ERROR("[0x%016llX] a frame of kind %u and %zu bytes is dropped", vz::LogAddress(this), frame.kind,
                 frame.payload.size());
  }
}

void CPipeServer::DeliverTo(const PipeFrameView& frame) {
  if (!Running()) return;
  const std::string_view payload = frame.payload;  // valid until the next read: the sink calls return first
  switch (frame.kind) {
    case PIPE_KIND_JSON_TEXT:
      sink_->OnReceiveTextData(payload);
      break;
    case PIPE_KIND_TRACE_LOG:
      sink_->OnReceiveLog(payload);
      break;
    case PIPE_KIND_CRASH_REPORT:
      sink_->OnReceiveReport(payload);
      break;
    case PIPE_KIND_VALUE1:
      sink_->OnReceiveValue1(LeadingInteger(std::string(payload)));
      break;
    case PIPE_KIND_VALUE2:
      sink_->OnReceiveValue2(LeadingInteger(std::string(payload)));
      break;
    default:
      sink_->OnReceiveBase64Data(frame.kind, payload);
      break;
  }
}
