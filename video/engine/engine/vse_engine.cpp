#include "video/engine/engine/vse_engine.h"

#include <cstring>
#include <new>
#include <string>

#include "common/budgeted_log.h"
#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"

CVseEngineImp::CVseEngineImp() { Initialize(); }

CVseEngineImp::~CVseEngineImp() { Uninitialize(); }

VseResult CVseEngineImp::Initialize() {
  if (initialized_) return VSE_S_OK;
  if (CreateRtcpChannel(this, &rtcp_) != VSE_S_OK || rtcp_ == nullptr) {
    VZ_LOG_ERROR("no RTCP channel");
    return VSE_E_FAIL;
  }
  if (CVseRtpMonitorManager::Create(this, &monitors_) != VSE_S_OK) VZ_LOG_ERROR("VSE_S_OK == ret");
  if (!monitors_) VZ_LOG_ERROR("m_pRtpMonitorMnanger");
  timer_ = std::make_unique<CVzTimer>();
  const VZSE_::TimeValue period(0, 30000);
  if (timer_->Schedule(this, &period) != VSE_S_OK) VZ_LOG("no run loop on this thread for the engine's timer");
  initialized_ = true;
  return VSE_S_OK;
}

void CVseEngineImp::Uninitialize() {
  timer_.reset();
  // Every channel is stopped before it is released, outside the maps' locks
  // (stopping joins its data thread, which finishes the frame in progress):
  // whatever still holds one, nothing of it runs once the engine is gone.
  std::map<uint32_t, CVzVideoSourceChannel*> sources;
  {
    std::lock_guard<std::recursive_mutex> lock(source_lock_);
    sources.swap(sources_);
    for (auto& [ssrc, channel] : sources) {
      if (channel) channel->SetOwner(nullptr);
    }
  }
  for (auto& [ssrc, channel] : sources) {
    if (channel) {
      channel->Uninitialize();
      channel->Release();
    }
    NotifySourceRemoved(ssrc);
  }
  std::map<uint32_t, CVzVideoListenChannel*> listeners;
  {
    std::lock_guard<std::recursive_mutex> lock(listen_lock_);
    listeners.swap(listeners_);
    for (auto& [ssrc, channel] : listeners) {
      if (channel) channel->DetachMonitor();
      if (monitors_) monitors_->RemoveMonitor(ssrc);
    }
  }
  for (auto& [ssrc, channel] : listeners) {
    if (channel) {
      channel->Uninitialize();
      channel->Release();
    }
  }
  if (rtcp_) rtcp_->Release();
  rtcp_ = nullptr;
  monitors_.reset();
  initialized_ = false;
}

char* CVseEngineImp::GetVersion() {
  char* text = new (std::nothrow) char[4];
  if (text) std::memcpy(text, "2.0", 4);
  return text;
}

VseResult CVseEngineImp::SetTransportSink(IVideoPacketTransport* sink) {
  if (sink == nullptr) return VSE_E_INVALIDARG;
  transport_ = sink;
  return VSE_S_OK;
}

VseResult CVseEngineImp::SetOption(int32_t value) {
  option_ = value;
  return VSE_S_OK;
}

VseResult CVseEngineImp::SetRtcpEnabled(bool on) {
  rtcp_on_ = on;
  return VSE_S_OK;
}

VseResult CVseEngineImp::InputRtcpPacket(const uint8_t* data, int32_t length, uint32_t receive_ms) {
  if (data == nullptr || length <= 0) return VSE_E_INVALIDARG;
  if (rtcp_ == nullptr) return VSE_E_POINTER;
  rtcp_->Input(data, length, receive_ms);
  return VSE_S_OK;
}

// ---- Listen channels.

VseResult CVseEngineImp::CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t render_video_type,
                                                  int32_t decoder_mode, IVideoSampleAllocator* allocator,
                                                  IVideoListenChannel** out) {
  if (out == nullptr || allocator == nullptr) return VSE_E_POINTER;
  *out = nullptr;
  std::lock_guard<std::recursive_mutex> lock(listen_lock_);
  auto found = listeners_.find(ssrc);
  if (found != listeners_.end()) {
    if (found->second == nullptr) return VSE_E_POINTER;
    found->second->AddRef();
    *out = found->second;
    return VSE_S_OK;
  }
  if (!monitors_) return VSE_S_OK;
  CVseRtpMonitor* monitor = nullptr;
  if (monitors_->CreateMonitor(ssrc, &monitor) != VSE_S_OK) VZ_LOG_ERROR("no monitor for ssrc %u", ssrc);
  auto* channel = new (std::nothrow) CVzVideoListenChannel(this, ssrc, monitor, allocator);
  if (channel == nullptr) {
    monitors_->RemoveMonitor(ssrc);
    return VSE_E_OUTOFMEMORY;
  }
  channel->AddRef();
  const VseResult r = threadless_ ? channel->Initialize(render_video_type, decoder_mode, lctm, false)
                                  : channel->Initialize(render_video_type, decoder_mode, lctm);
  if (r != VSE_S_OK) {
    VZ_LOG_ERROR("listen channel initialize failed, ssrc=%u ret=0x%08x", ssrc, r);
    channel->DetachMonitor();
    channel->Release();
    if (monitors_->RemoveMonitor(ssrc) != VSE_S_OK) VZ_LOG_ERROR("VSE_SUCCEEDED(lret)");
    return VSE_E_FAIL;
  }
  listeners_[ssrc] = channel;
  channel->AddRef();
  *out = channel;
  return VSE_S_OK;
}

VseResult CVseEngineImp::DestroyVideoListenChannel(uint32_t ssrc) {
  CVzVideoListenChannel* channel = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(listen_lock_);
    auto found = listeners_.find(ssrc);
    if (found == listeners_.end()) return VSE_S_OK;
    channel = found->second;
    listeners_.erase(found);
    if (channel == nullptr) VZ_LOG_ERROR("pListen");
    // Callers may hold the channel longer than the engine holds the monitor.
    if (channel) channel->DetachMonitor();
    if (monitors_) monitors_->RemoveMonitor(ssrc);
  }
  // Stopped before it is released, outside the lock (stopping joins its
  // data thread): nothing of it runs after this call, whoever holds it.
  if (channel) {
    channel->Uninitialize();
    channel->Release();
  }
  return VSE_S_OK;
}

size_t CVseEngineImp::listen_channel_count_for_testing() {
  std::lock_guard<std::recursive_mutex> lock(listen_lock_);
  return listeners_.size();
}

// ---- Send channels.

VseResult CVseEngineImp::CreateVideoSourceChannel(uint32_t ssrc, int32_t codec_type, IVideoPacketTransport* transport,
                                                  IVideoSampleAllocator* /*allocator*/, CVzVideoSourceChannel** out) {
  if (out == nullptr) return VSE_E_POINTER;
  *out = nullptr;
  if (codec_type != 0 && codec_type != 1) {
    VZ_LOG_ERROR("codec type invalid!CodecType=%d", codec_type);
    return VSE_E_INVALIDARG;
  }
  std::lock_guard<std::recursive_mutex> lock(source_lock_);
  auto found = sources_.find(ssrc);
  if (found != sources_.end()) {
    if (found->second == nullptr) return VSE_E_FAIL;
    found->second->AddRef();
    *out = found->second;
    return VSE_S_OK;
  }
  auto* channel = new (std::nothrow) CVzVideoSourceChannel(ssrc);
  if (channel == nullptr) return VSE_E_OUTOFMEMORY;
  channel->AddRef();
  const VseResult r = threadless_ ? channel->Initialize(codec_type, false, false) : channel->Initialize(codec_type);
  if (r != VSE_S_OK) {
    VZ_LOG_ERROR("source channel initialize failed, codec type [%d]", codec_type);
    channel->Release();
    return VSE_E_FAIL;
  }
  channel->SetPacketTransport(transport);
  channel->SetOwner(static_cast<ISourceChannelOwner*>(this));
  sources_[ssrc] = channel;
  channel->AddRef();
  *out = channel;
  return VSE_S_OK;
}

VseResult CVseEngineImp::DestroyVideoSourceChannel(uint32_t ssrc) {
  CVzVideoSourceChannel* channel = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(source_lock_);
    auto found = sources_.find(ssrc);
    if (found == sources_.end()) return VSE_E_FAIL;
    channel = found->second;
    sources_.erase(found);
    if (channel == nullptr) return VSE_E_POINTER;
    channel->SetOwner(nullptr);
  }
  // Stopped before it is released, outside the lock (stopping joins its
  // data thread, which finishes the frame in progress): the frames waiting
  // there hold the channel, and would otherwise destroy it on that thread
  // after this call, with its timer of this thread's loop.
  channel->Uninitialize();
  channel->Release();
  NotifySourceRemoved(ssrc);
  return VSE_S_OK;
}

VseResult CVseEngineImp::UpdateVideoSourceChannel(uint32_t new_ssrc, uint32_t old_ssrc) {
  VZ_LOG("update sourceChannel SSRC from %u to %u", old_ssrc, new_ssrc);
  std::lock_guard<std::recursive_mutex> lock(source_lock_);
  auto found = sources_.find(old_ssrc);
  if (found == sources_.end() || found->second == nullptr) return VSE_S_OK;
  CVzVideoSourceChannel* channel = found->second;
  sources_.erase(found);
  channel->SetSourceId(new_ssrc);
  auto [slot, inserted] = sources_.emplace(new_ssrc, channel);
  if (!inserted) {
    // Another channel already had the new SSRC: the moved one takes its
    // place and the displaced one is released rather than leaked.
    VZ_LOG_ERROR("SSRC %u was taken; the channel there is released", new_ssrc);
    if (slot->second) {
      slot->second->SetOwner(nullptr);
      slot->second->Release();
    }
    slot->second = channel;
  }
  return VSE_S_OK;
}

template <class F>
VseResult CVseEngineImp::WithSource(uint32_t ssrc, F&& f) {
  std::lock_guard<std::recursive_mutex> lock(source_lock_);
  auto found = sources_.find(ssrc);
  if (found == sources_.end()) return VSE_E_FAIL;
  if (found->second == nullptr) return VSE_E_POINTER;
  return f(found->second);
}

VseResult CVseEngineImp::SetNetworkStatus(uint32_t ssrc, const int32_t status[4]) {
  if (status == nullptr) return VSE_E_INVALIDARG;
  return WithSource(ssrc, [&](CVzVideoSourceChannel* channel) {
    const int32_t a = status[0], b = status[1];
    int32_t cls = b > 500 ? 2 : (b > 150 ? 1 : 0);
    if (a > 100) cls = a > 200 ? 2 : 1;
    network_class_ = cls;
    UplinkStat stat;
    stat.loss_rate = status[0];
    stat.rtt = status[1];
    stat.jitter = status[2];
    stat.reserved = status[3];
    stat.bandwidth = 0;
    return channel->UpdateUpLinkNetStat(&stat);
  });
}

VseResult CVseEngineImp::RequestSourceKeyFrame(uint32_t ssrc) {
  return WithSource(ssrc, [](CVzVideoSourceChannel* c) { return c->RequestKeyFrame(); });
}

VseResult CVseEngineImp::SetSourceFecSwitch(uint32_t ssrc, int32_t on) {
  return WithSource(ssrc, [on](CVzVideoSourceChannel* c) { return c->SetFecSwitch(on != 0); });
}

VseResult CVseEngineImp::SetSourceSingleTemporalLayer(uint32_t ssrc, int32_t on) {
  return WithSource(ssrc, [on](CVzVideoSourceChannel* c) { return c->SetSingleTemporalLayer(on != 0); });
}

// ---- RTCP.

void CVseEngineImp::NotifySourceRemoved(uint32_t ssrc) {
  if (rtcp_on_ && rtcp_) rtcp_->SendBye(ssrc);
}

VseResult CVseEngineImp::SendPeriodicReport(uint32_t now_ms, uint32_t ssrc) {
  if (!rtcp_on_ || rtcp_ == nullptr) return VSE_E_FAIL;
  {
    std::lock_guard<std::mutex> lock(report_lock_);
    if (reported_once_ && now_ms - last_report_ms_ < kPeriodicReportMs) return VSE_E_FAIL;
    reported_once_ = true;
    last_report_ms_ = now_ms;
  }
  return rtcp_->SendSdes(ssrc, std::string());
}

bool CVseEngineImp::SendRtcp(const uint8_t* data, int length) {
  if (transport_ == nullptr) return false;
  return transport_->SendRtcpPacket(data, length, 0) == 0;
}

void CVseEngineImp::OnKeyFrameRequest(uint32_t media_ssrc) {
  const VseResult r = WithSource(media_ssrc, [](CVzVideoSourceChannel* c) {
    c->NoteKeyFrameRequested();
    return c->RequestKeyFrame();
  });
  if (r != VSE_S_OK) VZ_LOG_BUDGETED("key frame asked of ssrc %u: ret=0x%08x", media_ssrc, r);
}

void CVseEngineImp::OnFeedback12(uint32_t media_ssrc, const vz::rtcp::Feedback12& feedback) {
  VZ_LOG_BUDGETED("decoder event for ssrc %u: %u %u %u", media_ssrc, feedback.words[0], feedback.words[1], feedback.words[2]);
}

void CVseEngineImp::OnFeedback16(uint32_t media_ssrc, const vz::rtcp::Feedback16& feedback) {
  VZ_LOG_BUDGETED("refresh for ssrc %u: %u %u %u %u", media_ssrc, feedback.words[0], feedback.words[1], feedback.words[2],
         feedback.words[3]);
}

VseResult CVseEngineImp::RequestKeyFrame(uint32_t ssrc) {
  if (rtcp_ == nullptr) return VSE_E_POINTER;
  return rtcp_->SendPli(0, ssrc);
}

VseResult CVseEngineImp::RequestRefresh(uint32_t ssrc, const vz::rtcp::Feedback16* value) {
  if (rtcp_ == nullptr || value == nullptr) return VSE_E_POINTER;
  return rtcp_->SendFeedback16(0, ssrc, *value);
}

VseResult CVseEngineImp::ReportDecoderEvent(uint32_t ssrc, const vz::rtcp::Feedback12* value) {
  if (rtcp_ == nullptr || value == nullptr) return VSE_E_POINTER;
  return rtcp_->SendFeedback12(0, ssrc, *value);
}

void CVseEngineImp::OnTimer(CVzTimer* /*timer*/) {}

VseResult CVseEngineImp::SendPacket(const uint8_t* data, int32_t length, int32_t kind) {
  if (transport_ == nullptr) return VSE_E_POINTER;
  return static_cast<VseResult>(transport_->SendRtcpPacket(data, length, kind));
}

// ---- Factory pair.

VseResult CreateVseEngine(IVseEngine** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  auto* engine = new (std::nothrow) CVseEngineImp();
  if (engine == nullptr) return VSE_E_OUTOFMEMORY;
  if (!engine->initialized()) {
    VZ_LOG_ERROR("the engine could not initialise");
    DestroyVseEngine(engine);
    return VSE_E_OUTOFMEMORY;
  }
  engine->AddRef();
  *out = engine;
  return VSE_S_OK;
}

VseResult DestroyVseEngine(IVseEngine* engine) {
  if (engine == nullptr) return VSE_E_INVALIDARG;
  delete static_cast<CVseEngineImp*>(engine);
  return VSE_S_OK;
}
