#include "weblink/link/vz_link_inst_controller.h"

#include <utility>

#include "common/scoped_lock.h"
#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "weblink/link/link_messages.h"
#include "weblink/link/link_request_payloads.h"
#include "weblink/link/request_delivery.h"
#include "weblink/link/request_dispatch.h"
#include "weblink/pipe/pipe_frame.h"

namespace {

// The config's texts as copied, each cut at its own array's end.
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != u'\0') ++length;
  return std::u16string_view(field, length);
}

template <size_t N>
void TerminateField(char16_t (&field)[N]) {
  field[N - 1] = u'\0';
}

}  // namespace

CVzLinkInstController::CVzLinkInstController(IVzLinkInstanceSink* sink) : sink_(sink) { VZ_LOG_OBJ(""); }

CVzLinkInstController::~CVzLinkInstController() {
  WithdrawTracerCollect();
  StopListen();
  CAppThread::Stop();
  VZ_LOG_OBJ("");
}

int32_t CVzLinkInstController::WSStartListen(AppPeerConfig* config) {
  if (config == nullptr) return 0;
  CScopedLock lock(instance_lock_);
  if (client_) {
    // Replacing the client would leave its I/O thread running unowned.
    VZ_LOG_ERROR("already listening: a second start is refused");
    return 0;
  }
  peer_config_ = *config;
  // The record comes from the caller: its texts are read no further than their arrays.
  TerminateField(peer_config_.RosterId);
  TerminateField(peer_config_.MeetId);
  TerminateField(peer_config_.Language);
  TerminateField(peer_config_.PipeName);
  const std::u16string_view pipe_name = FieldText(peer_config_.PipeName);
  if (pipe_name.empty()) return 0;
  auto client = std::make_unique<CPipeClient>(this);
  if (!client->Start(pipe_name)) {
    VZ_LOG_ERROR("connect pipe failed.");
    PostMessage(WMWS_APP_LISTENER_STATUS, kListenerDisconnected, 0);
    return 0;
  }
  client_ = std::move(client);
  return 1;
}

// Both answer 1 whether or not a client took the value: the caller reads no
// delivery into it (a value is only ever queued, never acknowledged).
int32_t CVzLinkInstController::WSSendValue1(int32_t value) {
  QueueFrame(ULongToString(static_cast<uint32_t>(value)), PIPE_KIND_VALUE1);
  return 1;
}

int32_t CVzLinkInstController::WSSendValue2(int32_t value) {
  QueueFrame(ULongToString(static_cast<uint32_t>(value)), PIPE_KIND_VALUE2);
  return 1;
}

int32_t CVzLinkInstController::StopListen() {
  VZ_LOG("");
  std::unique_ptr<CPipeClient> client;
  {
    CScopedLock lock(instance_lock_);
    client = std::move(client_);
  }
  // Outside the instance lock: the I/O thread takes it to post.
  if (client) client->Stop();
  return 1;
}

bool CVzLinkInstController::QueueFrame(std::string_view payload, uint32_t kind) {
  if (payload.empty()) return false;
  CScopedLock lock(instance_lock_);
  if (!client_) return false;
  CScopedLock client_lock(client_->ClientLock());
  return client_->Send(payload, kind);
}

void CVzLinkInstController::OnConnect() {
  VZ_LOG("Successfully connected");
  CScopedLock lock(instance_lock_);
  PostMessage(WMWS_APP_LISTENER_STATUS, kListenerConnected, 0);
}

void CVzLinkInstController::OnDisconnect(int reason) {
  VZ_LOG("reason [%d]", reason);
  CScopedLock lock(instance_lock_);
  PostMessage(WMWS_APP_LISTENER_STATUS, kListenerDisconnected, reason);
}

void CVzLinkInstController::OnReceiveText(const std::string& payload) { DispatchLinkRequest(payload, poster_); }

void CVzLinkInstController::OnReceiveBinary(const std::string& /*payload*/) { VZ_LOG(""); }

void CVzLinkInstController::HelperPoster::PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  // A message the helper window cannot take has its record freed there.
  helper_.PostMessage(msg, wParam, lParam, PayloadFreeFor(msg));
}

intptr_t CVzLinkInstController::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return MainThreadHelperProc(msg, wParam, lParam);
}

void CVzLinkInstController::OnTimer(uintptr_t /*timer_id*/) {}

// The sink may release the instance from inside any of its calls: nothing
// of the instance is touched after one.
intptr_t CVzLinkInstController::MainThreadHelperProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (sink_ == nullptr) {
    FreeLinkRequestPayload(msg, wParam, lParam);
    return 0;
  }
  switch (msg) {
    case WMWS_APP_LISTENER_STATUS: {
      const auto status = static_cast<int32_t>(wParam);
      const auto reason = static_cast<int32_t>(lParam);
      VZ_COLLECT("status [%d]", status);
      if (wParam == kListenerConnected) {
        InitTracerCollect();
      } else if (wParam == kListenerDisconnected) {
        StopListen();
      }
      sink_->OnAppSocketListener(status, reason);
      return 0;
    }
    case WMWS_APP_REQUEST_PING:
      WSAppResponsePong(peer_config_.MeetId);
      return 0;
    default:
      DeliverLinkRequest(*sink_, msg, wParam, lParam);
      return 0;
  }
}
