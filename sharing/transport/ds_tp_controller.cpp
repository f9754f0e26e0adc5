#include "sharing/transport/ds_tp_controller.h"

#include <cstring>
#include <new>
#include <string_view>

#include "contracts/network_proxy_entry.h"
#include "contracts/session_status.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/text.h"
#include "sharing/protocol/ds_record_owners.h"
#include "sharing/transport/ds_tp_messages.h"

namespace {

constexpr uint64_t kThroughputReportMs = 5000;
constexpr uint64_t kAdjustmentLogMs = 10000;
constexpr uint64_t kNeverLogged = UINT64_MAX;
constexpr char16_t kDefaultApplicationName[] = u"Velzar-DS";
constexpr char16_t kJoinParametersPrefix[] = u"sessionid=";
// Received bytes the engine's thread may have waiting before the transport's
// thread waits: none, so the next message is taken once the last one was
// handled, and whatever an attendee short of CPU has not taken waits where
// vzrelay counts it (the kernel's buffers and its own queue).
constexpr size_t kReceivedWaitingLimit = 0;

// Free functions of the records a posted message owns (see ds_tp_messages.h).
template <typename Entry>
void FreeEntryList(uintptr_t wParam, intptr_t lParam) {
  Entry** list = reinterpret_cast<Entry**>(wParam);
  if (list == nullptr) return;
  for (intptr_t i = 0; i < lParam; ++i) {
    if (list[i] != nullptr) list[i]->Release();
  }
  delete[] list;
}
void FreeSharingInfo(uintptr_t wParam, intptr_t) { delete reinterpret_cast<SharingInfo*>(wParam); }
void FreeVzObject(uintptr_t wParam, intptr_t) {
  if (auto* object = reinterpret_cast<CVZObject*>(wParam)) object->Release();
}
void FreeCommand(uintptr_t wParam, intptr_t) { FreeDsCommandRecord(reinterpret_cast<DSCommandRecord*>(wParam)); }

// A list of owned entries as a new[] array of raw pointers, each reference
// moved into the array; null when memory ran out (the entries are then
// released with the vector).
template <typename Entry>
Entry** ToArray(std::vector<VzObjectPtr<Entry>>& entries) {
  Entry** list = new (std::nothrow) Entry*[entries.size()];
  if (list == nullptr) {
    VZ_LOG_ERROR("no memory for a list of [%zu] entries", entries.size());
    return nullptr;
  }
  for (size_t i = 0; i < entries.size(); ++i) list[i] = entries[i].release();
  return list;
}

std::string Narrow(const char16_t* text) { return vz::Utf16ToUtf8(text); }

// The token never reaches the log whole: its length and last characters.
std::string MaskedToken(const char16_t* token) {
  const std::string text = Narrow(token);
  if (text.size() <= 4) return std::string(text.size(), '*');
  return "***(" + std::to_string(text.size()) + ")" + text.substr(text.size() - 2);
}

}  // namespace

CDSTpController::CDSTpController(IDSTpSink* sink, const DsTpOptions& options)
    : transport_(options.loader ? new CVzTransportWrapper(*options.loader) : new CVzTransportWrapper()),
      clock_(options.clock ? *options.clock : vz::SystemClock()),
      sink_(sink),
      builder_(options.guids),
      config_(new DSSessionConfig()),
      proxy_(new NetworkProxyEntry()),
      receive_gate_(kReceivedWaitingLimit, options.receive_wait_ms),
      receive_wait_ms_(options.receive_wait_ms) {
  VZ_LOG_OBJ("");
  transport_->CreateInstance(AsSink(), kTransportSessionSharing);
}

CDSTpController::~CDSTpController() {
  VZ_LOG_OBJ("-->>");
  // No transport thread may call in while the members go away.
  transport_->ReleaseInstance();
}

// Engine thread: connecting and disconnecting.

int32_t CDSTpController::DSConnect(const DSSessionConfig* config, const NetworkProxyEntry* proxy) {
  VZ_LOG_OBJ("");
  if (config == nullptr) {
    VZ_LOG_ERROR("no session config");
    return 0;
  }
  {
    CScopedLock lock(send_lock_);
    std::memcpy(config_.get(), config, sizeof(DSSessionConfig));
    builder_.SetDsId(config_->DSId);
    if (proxy != nullptr) {
      std::memcpy(proxy_.get(), proxy, sizeof(NetworkProxyEntry));
    } else {
      std::memset(proxy_.get(), 0, sizeof(NetworkProxyEntry));
    }
    if (config_->ApplicationName[0] == u'\0') {
      vz::CopyUtf16(config_->ApplicationName, std::size(config_->ApplicationName), kDefaultApplicationName);
    }
    // "sessionid=" and the roster id, cut to fit the field.
    std::u16string parameters = kJoinParametersPrefix;
    parameters += std::u16string_view(config_->RosterId, vz::Utf16Length(config_->RosterId));
    vz::CopyUtf16(config_->JoinParameters, std::size(config_->JoinParameters), parameters);
    presenter_.store(config_->IsPresenter != 0);
    web_attendee_.store(config_->IsWebAttendee != 0);
  }
  VZ_LOG_OBJ("presenter [%d] web [%d] dsId [%s]", config_->IsPresenter, config_->IsWebAttendee,
             builder_.ds_id().c_str());
  if (transport_->Join(config_.get(), proxy_.get(), this) == 0) {
    VZ_LOG_ERROR("Join failed, it is already joined.");
    return 0;
  }
  return 1;
}

int32_t CDSTpController::DSDisconnect() {
  VZ_LOG_OBJ("");
  DSStop();
  {
    CScopedLock lock(send_lock_);
    joined_ = false;
  }
  // The transport's thread may wait for this thread, which is about to
  // wait for it.
  receive_gate_.Open();
  transport_->Leave();
  transport_->ReleaseInstance();
  return 1;
}

int32_t CDSTpController::DSStart() {
  VZ_LOG("dsId [%s]", builder_.ds_id().c_str());
  std::string bytes;
  return builder_.BuildHeader(DS_DATA_START, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSJoin() {
  VZ_LOG("dsId [%s]", builder_.ds_id().c_str());
  std::string bytes;
  return builder_.BuildHeader(DS_DATA_JOIN, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSStop() {
  std::string bytes;
  if (presenter_.load()) {
    VZ_LOG("DsId [%s]", builder_.ds_id().c_str());
    VZ_LOG("Roster [%s] Token: [%s]", Narrow(config_->RosterId).c_str(), MaskedToken(config_->Token).c_str());
    return builder_.BuildHeader(DS_DATA_STOP, &bytes) ? SendData(bytes) : 0;
  }
  return builder_.BuildHeader(DS_DATA_LEAVE, &bytes) ? SendData(bytes) : 0;
}

// Engine thread: senders.

int32_t CDSTpController::DSSendSharingInfo(const SharingInfo* info) {
  if (info == nullptr) return 0;
  VZ_LOG("monitors [%d]", info->MonitorCount);
  std::string bytes;
  return builder_.BuildSharingInfo(*info, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSSendMouseInfo(const CMouseEntry* mouse) {
  if (mouse == nullptr) return 0;
  std::string bytes;
  return builder_.BuildMouseInfo(*mouse, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSSendCaches(CCacheEntry* const* list, int32_t count) {
  if (list == nullptr || count <= 0) return 1;
  std::string bytes;
  return builder_.BuildCaches(list, count, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSSendBlocks(CKeyframeEntry* const* list, int32_t count) {
  if (list == nullptr || count <= 0) return 1;
  std::string bytes;
  return builder_.BuildBlocks(DS_DATA_CREATE_BLOCKS, list, count, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSRequestKeyFrame() {
  VZ_LOG("");
  std::string bytes;
  return builder_.BuildHeader(DS_DATA_GET_KEYFRAME, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSRequestCaches(CKeyframeEntry* const* list, int32_t count) {
  VZ_LOG("count [%d]", count);
  if (list == nullptr || count <= 0) return 1;
  std::string bytes;
  return builder_.BuildBlocks(DS_DATA_GET_CACHES, list, count, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSSendCommand(const DSCommandRecord* command) {
  if (command == nullptr) return 0;
  std::string bytes;
  return builder_.BuildCommand(*command, &bytes) ? SendData(bytes) : 0;
}

int32_t CDSTpController::DSSendWebBinary(const CVZBinaryData* data) {
  if (data == nullptr) return 0;
  CScopedLock lock(send_lock_);
  if (!joined_) {
    VZ_LOG_ERROR("not joined, [%u] bytes dropped", data->length());
    return 0;
  }
  if (transport_->SendDataUtf8(reinterpret_cast<const char*>(data->data()), data->length()) == 0) {
    VZ_LOG_ERROR("the transport refused [%u] bytes", data->length());
    return 0;
  }
  CountSent(data->length());
  return 1;
}

int32_t CDSTpController::SendData(const std::string& bytes) {
  CScopedLock lock(send_lock_);
  if (!joined_) {
    VZ_LOG_ERROR("not joined, [%zu] bytes dropped", bytes.size());
    return 0;
  }
  if (bytes.size() > UINT32_MAX ||
      transport_->SendDataBinary(reinterpret_cast<const uint8_t*>(bytes.data()),
                                 static_cast<uint32_t>(bytes.size())) == 0) {
    VZ_LOG_ERROR("the transport refused [%zu] bytes", bytes.size());
    return 0;
  }
  CountSent(static_cast<uint32_t>(bytes.size()));
  return 1;
}

// Under send_lock_.
void CDSTpController::CountSent(uint32_t size) {
  total_sent_ += size;
  const uint64_t now = clock_.NowMs();
  if (!report_started_) {
    report_started_ = true;
    report_ms_ = now;
    report_total_ = total_sent_;
    return;
  }
  const uint64_t elapsed = now - report_ms_;
  if (elapsed <= kThroughputReportMs) return;
  const uint64_t diff = total_sent_ - report_total_;
  VZ_LOG("total sent data size [%lluK] diff(%lluK) (%lluK)/second", static_cast<unsigned long long>(total_sent_ / 1000),
         static_cast<unsigned long long>(diff / 1000), static_cast<unsigned long long>(diff / elapsed));
  VZ_COLLECT("total sent data size [%lluK] diff(%lluK) (%lluK)/second",
             static_cast<unsigned long long>(total_sent_ / 1000), static_cast<unsigned long long>(diff / 1000),
             static_cast<unsigned long long>(diff / elapsed));
  report_ms_ = now;
  report_total_ = total_sent_;
}

uint64_t CDSTpController::TotalSentForTesting() {
  CScopedLock lock(send_lock_);
  return total_sent_;
}

// Transport threads.

void CDSTpController::OnJoinSessionConfirm(uint32_t /*value*/) {
  VZ_LOG_OBJ("Successfully connected");
  CScopedLock lock(send_lock_);
  joined_ = true;
  if (presenter_.load()) {
    DSStart();
  } else {
    DSJoin();
  }
}

void CDSTpController::OnLeaveSessionConfirm(int32_t reason, int32_t value) {
  VZ_LOG_OBJ("client was disconnected reason [%d]", reason);
  CScopedLock lock(send_lock_);
  PostMessage(WMTP_ERROR, static_cast<uintptr_t>(reason), value);
}

void CDSTpController::OnSessionReconnecting(int32_t reason, int32_t value) {
  VZ_LOG_OBJ("reason [%d] value [%d]", reason, value);
  PostMessage(WMTP_RECONNECTING, static_cast<uintptr_t>(reason), value);
}

void CDSTpController::OnReceiveDataUtf8(const char* /*data*/, uint32_t size) {
  VZ_LOG("[%u] bytes of text, not used", size);
}

void CDSTpController::OnReceiveDataUtf8(const std::string& text) {
  VZ_LOG("[%zu] bytes of text, not used", text.size());
}

void CDSTpController::OnReceiveDataBinary(const uint8_t* data, uint32_t size) { HandleReceived(data, size); }

void CDSTpController::OnReceiveDataBinary(const std::string& bytes) {
  HandleReceived(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void CDSTpController::OnSendBacklog(uint32_t value) {
  PostMessage(WMTP_SEND_BACKLOG, value, 0);
}

void CDSTpController::HandleReceived(const uint8_t* data, size_t size) {
  if (!receive_gate_.Admit(size) && receive_waits_++ % 100 == 0) {
    VZ_LOG("the engine's thread still has %zu received bytes to handle after %u ms; taking more (%llu so far)",
           receive_gate_.Waiting(), receive_wait_ms_, static_cast<unsigned long long>(receive_waits_));
  }
  std::vector<DsReceivedEvent> events = ReadDsReception(data, size, web_attendee_.load());
  for (DsReceivedEvent& event : events) PostEvent(event);
  // Behind the message's records: when it is handled, they were.
  if (PostMessage(WMTP_RECEIVED, size, 0) == 0) receive_gate_.Handled(size);
}

// Hands each event's records to a posted message; a failed post has freed
// them already.
void CDSTpController::PostEvent(DsReceivedEvent& event) {
  using Kind = DsReceivedEvent::Kind;
  switch (event.kind) {
    case Kind::kStatus:
      PostMessage(WMTP_STATUS, static_cast<uintptr_t>(event.value), 0);
      break;
    case Kind::kError:
      PostMessage(WMTP_ERROR, static_cast<uintptr_t>(event.value), event.code_type);
      break;
    case Kind::kSharingInfo:
      PostMessage(WMTP_SHARING_INFO, reinterpret_cast<uintptr_t>(event.sharing_info.release()), 0,
                  &FreeSharingInfo);
      break;
    case Kind::kCaches: {
      const intptr_t count = static_cast<intptr_t>(event.caches.size());
      if (CCacheEntry** list = ToArray(event.caches)) {
        PostMessage(WMTP_CACHES, reinterpret_cast<uintptr_t>(list), count, &FreeEntryList<CCacheEntry>);
      }
      break;
    }
    case Kind::kMouseInfo:
      PostMessage(WMTP_MOUSE_INFO, reinterpret_cast<uintptr_t>(static_cast<CVZObject*>(event.mouse.release())), 0,
                  &FreeVzObject);
      break;
    case Kind::kBlocks:
    case Kind::kRequestCaches: {
      const intptr_t count = static_cast<intptr_t>(event.blocks.size());
      if (CKeyframeEntry** list = ToArray(event.blocks)) {
        PostMessage(event.kind == Kind::kBlocks ? WMTP_BLOCKS : WMTP_REQUEST_CACHES, reinterpret_cast<uintptr_t>(list),
                    count, &FreeEntryList<CKeyframeEntry>);
      }
      break;
    }
    case Kind::kCommand:
      PostMessage(WMTP_COMMAND, reinterpret_cast<uintptr_t>(event.command.release()), 0, &FreeCommand);
      break;
    case Kind::kWebBinary:
      PostMessage(WMTP_WEB_BINARY,
                  reinterpret_cast<uintptr_t>(static_cast<CVZObject*>(event.web_binary.release())), 0,
                  &FreeVzObject);
      break;
  }
}

// Filter answers: the sharing session leaves the transport's choices alone.

int32_t CDSTpController::Filter(int32_t, int32_t, int32_t* out, int32_t) {
  if (out != nullptr) *out = 0;
  return 0;
}

void CDSTpController::OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate, int32_t rtt,
                                   int32_t totalbw) {
  const uint64_t now = clock_.NowMs();
  uint64_t last = adjustment_logged_ms_.load();
  if (last != kNeverLogged && now - last < kAdjustmentLogMs) return;
  // Of two transport threads here at once, one logs.
  if (!adjustment_logged_ms_.compare_exchange_strong(last, now)) return;
  VZ_LOG("state=%d,bandwidth=%d,jitter=%d,lossrate=%.4f,rtt=%d,totalbw=%d", state & 0xFF, bandwidth, jitter,
         static_cast<double>(lossrate), rtt, totalbw);
  VZ_COLLECT("state=%d,bandwidth=%d,jitter=%d,lossrate=%.4f,rtt=%d,totalbw=%d", state & 0xFF, bandwidth, jitter,
             static_cast<double>(lossrate), rtt, totalbw);
}

int32_t CDSTpController::QueryValue(uint8_t, int32_t*) { return 0; }

int32_t CDSTpController::NotifyFlag(int32_t) { return 0; }

uint8_t CDSTpController::GetSessionType() { return kTransportSessionSharing; }

// Engine thread: the helper window.

intptr_t CDSTpController::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  // A sink call may release us (the engine stops the session from inside
  // it); our own reference keeps this frame's object alive until we leave.
  lock_.Lock();
  ++ref_count_;
  lock_.Unlock();
  Dispatch(msg, wParam, lParam);
  Release();
  return 0;
}

void CDSTpController::Dispatch(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == WMTP_RECEIVED) {
    receive_gate_.Handled(wParam);
    return;
  }
  IDSTpSink* sink = sink_.load();
  if (sink == nullptr) {
    VZ_LOG("CDSTpController::MainThreadHelperProc Stopped!");
    switch (msg) {
      case WMTP_CACHES: FreeEntryList<CCacheEntry>(wParam, lParam); break;
      case WMTP_BLOCKS:
      case WMTP_REQUEST_CACHES: FreeEntryList<CKeyframeEntry>(wParam, lParam); break;
      case WMTP_SHARING_INFO: FreeSharingInfo(wParam, lParam); break;
      case WMTP_MOUSE_INFO:
      case WMTP_WEB_BINARY: FreeVzObject(wParam, lParam); break;
      case WMTP_COMMAND: FreeCommand(wParam, lParam); break;
      default: break;
    }
    return;
  }
  switch (msg) {
    case WMTP_STATUS:
      sink->OnTPStatusNotification(static_cast<int32_t>(wParam));
      break;
    case WMTP_RECONNECTING:
      sink->OnTPStatusNotification(kSessionConnecting);
      break;
    case WMTP_ERROR:
      DSDisconnect();
      // The disconnect may have cleared the sink; read it again.
      if ((sink = sink_.load()) != nullptr) {
        sink->OnTPErrorNotification(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
      }
      break;
    case WMTP_CACHES:
      sink->OnDSTpCaches(reinterpret_cast<CCacheEntry**>(wParam), static_cast<int32_t>(lParam));
      FreeEntryList<CCacheEntry>(wParam, lParam);
      break;
    case WMTP_BLOCKS:
      sink->OnDSTpBlocks(reinterpret_cast<CKeyframeEntry**>(wParam), static_cast<int32_t>(lParam));
      FreeEntryList<CKeyframeEntry>(wParam, lParam);
      break;
    case WMTP_REQUEST_CACHES:
      sink->OnDSTpRequestCaches(reinterpret_cast<CKeyframeEntry**>(wParam), static_cast<int32_t>(lParam));
      FreeEntryList<CKeyframeEntry>(wParam, lParam);
      break;
    case WMTP_SHARING_INFO:
      sink->OnDSTpSharingInfo(reinterpret_cast<SharingInfo*>(wParam));
      FreeSharingInfo(wParam, lParam);
      break;
    case WMTP_MOUSE_INFO:
      sink->OnDSTpMouseInfo(static_cast<CMouseEntry*>(reinterpret_cast<CVZObject*>(wParam)));
      FreeVzObject(wParam, lParam);
      break;
    case WMTP_SEND_BACKLOG:
      sink->OnDSTpSendBacklog(static_cast<int32_t>(wParam));
      break;
    case WMTP_COMMAND:
      sink->OnDSTpCommand(reinterpret_cast<DSCommandRecord*>(wParam));
      FreeCommand(wParam, lParam);
      break;
    case WMTP_WEB_BINARY:
      sink->OnDSTpWebBinary(static_cast<CVZBinaryData*>(reinterpret_cast<CVZObject*>(wParam)));
      FreeVzObject(wParam, lParam);
      break;
    default:
      break;
  }
}

void CDSTpController::OnTimer(uintptr_t /*timer_id*/) {}

// The library's functions.

IDSTp* DSCreateTpInstance(IDSTpSink* sink, const DsTpOptions& options) {
  VZ_LOG("");
  auto* controller = new (std::nothrow) CDSTpController(sink, options);
  if (controller == nullptr) return nullptr;
  if (!controller->Start()) {
    VZ_LOG_ERROR("the helper window could not start");
    controller->Release();
    return nullptr;
  }
  return controller;
}

int32_t DSReleaseTpInstance(IDSTp* connection) {
  VZ_LOG("");
  if (connection == nullptr) return 1;
  auto* controller = static_cast<CDSTpController*>(connection);
  controller->DSDisconnect();
  controller->ClearSink();
  controller->Stop();
  controller->Release();
  return 1;
}
