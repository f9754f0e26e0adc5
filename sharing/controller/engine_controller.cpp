#include "sharing/controller/engine_controller.h"

#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/transport/ds_tp_controller.h"

namespace {

constexpr int32_t kStatusIdle = 0;
constexpr int32_t kStatusReconnecting = 1;
constexpr int32_t kStatusStarted = 2;
constexpr int32_t kStatusStopped = 4;

}  // namespace

CEnginController::CEnginController(IDSProviderSink* host, const EngineOptions& options)
    : CDSProviderSinkForwarder(host),
      options_(options),
      codec_(options.create_codec ? options.create_codec() : CreateCodecMgr()),
      cursor_(caches_),
      pipeline_(caches_, keyframes_, codec_),
      rebuild_(caches_, keyframes_, codec_, frames_, options.clock) {
  VZ_LOG_OBJ("");
  if (!options_.create_tp) options_.create_tp = [](IDSTpSink* sink) { return DSCreateTpInstance(sink); };
  if (!options_.release_tp) options_.release_tp = [](IDSTp* tp) { DSReleaseTpInstance(tp); };
  if (options_.grab_library == nullptr) options_.grab_library = CVzGrabWrapper::kLibraryName;
  session_ = new (std::nothrow) DSSessionConfig();
  sharing_info_ = new (std::nothrow) SharingInfo();
  if (codec_ == nullptr || session_ == nullptr || sharing_info_ == nullptr) {
    VZ_LOG_ERROR("out of memory");
    return;
  }
  CleanEngineInfo();
  constructed_ = 1;
}

CEnginController::~CEnginController() {
  VZ_LOG_OBJ("-->>");
  ClearHostSink();
  DisarmWaitTimer();
  depth_ = 0;
  stop_pending_ = false;
  if (session_ != nullptr && sharing_info_ != nullptr) FinishStop();
  // The frames and tables go with the members; the codec they borrow last.
  frames_.RemoveAll(nullptr);
  caches_.Reset();
  keyframes_.Reset();
  delete session_;
  delete sharing_info_;
  delete codec_;
}

void CEnginController::DeleteInstance() {
  if (depth_ == 0) {
    delete this;
    return;
  }
  // Inside a callback: the engine's frames below still use the object.
  VZ_LOG_OBJ("deleted inside a callback; deferred");
  StopDS();
  delete_pending_ = true;
}

void CEnginController::LeaveEntry() {
  if (--depth_ > 0) return;
  if (stop_pending_) {
    stop_pending_ = false;
    FinishStop();
  }
  if (delete_pending_) delete this;
}

// Session start and stop.

int32_t CEnginController::StartDS(MeetConfig* /*meet_config*/, DSSessionConfig* session, NetworkProxyEntry* proxy) {
  VZ_LOG_OBJ("");
  if (session == nullptr) return 0;
  if (tp_ != nullptr || stop_pending_ || !HasHostSink()) {
    // One session per engine: a second start would orphan the first
    // connection, whose thread is still posting to us.
    VZ_LOG_ERROR("a session was already started on this engine");
    return 0;
  }
  std::memcpy(session_, session, sizeof(DSSessionConfig));
  VZ_LOG_OBJ("presenter [%d], web [%d]", session_->IsPresenter, session_->IsWebAttendee);
  tp_ = options_.create_tp(this);
  if (tp_ == nullptr) {
    VZ_LOG_ERROR("no transport connection");
    return 0;
  }
  return tp_->DSConnect(session, proxy);
}

int32_t CEnginController::StopDS() {
  VZ_LOG_OBJ("");
  ClearHostSink();
  if (depth_ > 0) {
    stop_pending_ = true;
    VZ_LOG_OBJ(" END (finishes after the callback)");
    return 0;
  }
  FinishStop();
  VZ_LOG_OBJ(" END");
  return 0;
}

void CEnginController::FinishStop() {
  ReleaseCapture();
  ReleaseConnection();
  CleanEngineInfo();
}

void CEnginController::ReleaseConnection() {
  if (tp_ == nullptr) return;
  IDSTp* tp = tp_;
  tp_ = nullptr;
  options_.release_tp(tp);
}

void CEnginController::ReleaseCapture() {
  if (grab_ == nullptr) return;
  CVzGrabWrapper* grab = grab_;
  grab_ = nullptr;
  grab->ReleaseProviderInstance();
  delete grab;
}

void CEnginController::CleanEngineInfo() {
  VZ_LOG_OBJ("");
  std::memset(sharing_info_, 0, sizeof(SharingInfo));
  DisarmWaitTimer();
  rebuild_.ForgetWaits();
  cursor_.Reset();
  caches_.Reset();
  keyframes_.Reset();
  ReleaseMonitorFrames();
}

// Client queries and commands.

MonitorInfo* CEnginController::GetMonitorInfo(int32_t monitor_id) {
  const int32_t count = sharing_info_->MonitorCount;
  for (int32_t i = 0; i < count && i < kMonitorListCapacity; ++i) {
    if (sharing_info_->Monitors[i].MonitorId == monitor_id) return &sharing_info_->Monitors[i];
  }
  return nullptr;
}

DSSessionConfig* CEnginController::GetSessionConfig() { return session_; }

int32_t CEnginController::SendCommand(DSCommandRecord* command) {
  IDSTp* tp = Connection();
  if (tp == nullptr || command == nullptr) {
    VZ_LOG_ERROR("no session or no command: nothing sent");
    return 0;
  }
  return tp->DSSendCommand(command);
}

int32_t CEnginController::SendWebBinary(CVZBinaryData* data) {
  VZ_LOG_OBJ("[%u] bytes", data != nullptr ? data->length() : 0u);
  if (IDSTp* tp = Connection(); tp != nullptr && data != nullptr) tp->DSSendWebBinary(data);
  return 1;
}

int32_t CEnginController::OnCaptureMouseInfo(CaptureMouseInfo* mouse) {
  EntryScope scope(this);
  return OnDSKeMouseInfo(mouse);
}

// The transport connection's status and errors.

int32_t CEnginController::OnTPStatusNotification(int32_t status) {
  EntryScope scope(this);
  VZ_LOG_OBJ("status [%d]", status);
  if (status == kStatusIdle || status == kStatusStarted || status == kStatusStopped) {
    // A session that has just started begins from empty tables.
    CleanEngineInfo();
  } else if (status == kStatusReconnecting) {
    ReleaseCapture();
  }
  OnDSStatusNotification(status);
  return 1;
}

int32_t CEnginController::OnTPErrorNotification(int32_t code, int32_t code_type) {
  EntryScope scope(this);
  VZ_LOG_OBJ("code [%d] codetype [%d]", code, code_type);
  CleanEngineInfo();
  ReleaseCapture();
  OnDSErrorNotification(code, code_type);
  return 1;
}

int32_t CEnginController::OnDSTpSendBacklog(int32_t value) {
  EntryScope scope(this);
  // The transport's backlog throttles the capture.
  if (IVzGrabProvider* capture = Capture()) capture->SetSendBacklog(static_cast<uint32_t>(value));
  return 1;
}

int32_t CEnginController::OnDSTpCommand(DSCommandRecord* command) {
  EntryScope scope(this);
  return OnDSCommand(command);
}

int32_t CEnginController::OnDSTpWebBinary(CVZBinaryData* data) {
  EntryScope scope(this);
  return OnDSWebBinary(data);
}
