#include "video/engine/send/vz_video_source_channel.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "contracts/h264_nal_types.h"
#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/fec_tables.h"
#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/send/picture_hold.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Where the payload of an RTP packet starts; -1 when the header runs past it.
int PayloadOffset(const uint8_t* p, int32_t length) {
  if (length < 12) return -1;
  int offset = 12 + 4 * (p[0] & 0x0F);
  if ((p[0] & 0x10) != 0) {
    if (offset + 4 > length) return -1;
    offset += 4 + 4 * vz::Load16(p + offset + 2);
  }
  return offset < length ? offset : -1;
}

}  // namespace

// Runs the waiting sample on the data thread, holding the channel alive.
class CVzVideoSourceChannel::FrameTask final : public VZSE_::Event {
 public:
  explicit FrameTask(CVzVideoSourceChannel* channel) : channel_(channel) { channel_->AddRef(); }
  ~FrameTask() override { channel_->Release(); }
  void OnEventFire() override { channel_->RunWaitingSample(); }

 private:
  CVzVideoSourceChannel* channel_;
};

CVzVideoSourceChannel::CVzVideoSourceChannel(uint32_t client_id) : client_id_(client_id) {}

CVzVideoSourceChannel::~CVzVideoSourceChannel() {
  VZ_LOG_OBJ("begin m_bInitialized=%d", initialized_ ? 1 : 0);
  Uninitialize();
  if (encode_controller_ != nullptr) {
    encode_controller_->SetLevelChangeSink(nullptr);
    encode_controller_->Release();
  }
  VZ_LOG_OBJ("end");
}

VseResult CVzVideoSourceChannel::Initialize(int32_t codec_type, bool data_thread, bool shared_tick) {
  {
    Lock hold(lock_);
    if (initialized_) return 1;
    VZ_LOG("CVseVideoSourceChannel::Initialize begin=%d m_uClientID=%u", codec_type, client_id_);
    send_controller_ = std::make_unique<CVzSendController>();
    if (send_controller_->Initalize(kSendControllerRate, 5, shared_tick) != 0) {
      VZ_LOG_ERROR("VSE_S_OK == ret");
      send_controller_.reset();
      return VSE_E_FAIL;
    }
    send_controller_->SetSink(static_cast<IVzSendControllerSink*>(this));
    packer_ = std::make_unique<CVseRtpPacker>(client_id_, static_cast<IRtpPackerSink*>(this));
    packer_->SetPayloadTypes(media_type_, fec_type_);
    packer_->SetMode(codec_type);
    codec_type_ = codec_type;
    policy_ = std::make_unique<CSimpleNetworkPolicy>();
    policy_->SetBandwidths(policy_bw_[0], policy_bw_[1], policy_bw_[2]);
    uint32_t rate = kBandwidthSinkRate;
    send_controller_->SetOption(1, &rate);
    UpdateFecLevel(false);
    work_buffer_.assign(kWorkBufferBytes, 0);
    has_params_ = false;
    params_pending_ = true;
    const uint32_t now = VZSE_::NowMs();
    for (RateSlot& slot : slots_) slot = RateSlot{now, 0};
    slot_ = 0;
    timer_ = std::make_unique<CVzTimer>();
    const VZSE_::TimeValue period(0, 30000);
    if (timer_->Schedule(static_cast<IVideoTimerSink*>(this), &period) != VSE_S_OK) {
      // Without a run loop on this thread the reports wait for RunTimerRound.
      VZ_LOG_WARN("m_pTimer: no run loop on the initialising thread; timer reports are off");
      timer_.reset();
    }
  }
  data_thread_ = data_thread;
  if (data_thread) {
    auto thread = std::make_unique<VZSE_::ComTaskThread>();
    if (thread->Create(nullptr, 1) != VSE_S_OK) {
      VZ_LOG_ERROR("CVseVideoSourceChannel::Initialize, create thread fail");
      Uninitialize();
      return VSE_E_FAIL;
    }
    std::lock_guard<std::mutex> queue(queue_lock_);
    thread_ = std::move(thread);
  }
  Lock hold(lock_);
  initialized_ = true;
  return VSE_S_OK;
}

void CVzVideoSourceChannel::Uninitialize() {
  VZ_LOG_OBJ("begin");
  // From here on no picture is taken: the waiting one is dropped, and the
  // frame tasks still queued find nothing to encode.
  std::unique_ptr<VZSE_::ComTaskThread> thread;
  IVideoSample* dropped = nullptr;
  {
    std::lock_guard<std::mutex> queue(queue_lock_);
    thread = std::move(thread_);
    dropped = waiting_;
    waiting_ = nullptr;
  }
  picture_hold::ChannelStopping(this);
  if (dropped != nullptr) dropped->Release();
  // The timer first, on the calling thread (the loop's own, when the owner
  // stops the channel), outside the channel's lock: cancelling from another
  // thread waits for a timer round in progress, which takes that lock.
  std::unique_ptr<CVzTimer> timer;
  {
    Lock hold(lock_);
    timer = std::move(timer_);
  }
  if (timer) {
    timer->Cancel();
    timer.reset();
  }
  // Then the data thread: from any other thread it is joined here, the frame
  // in progress ending first. On the data thread itself (the last reference
  // went inside a frame task without an owner stopping the channel first)
  // it ends on its own after this task.
  VZSE_::ComTaskThread::Dispose(std::move(thread));
  std::unique_ptr<CVzSendController> controller;
  {
    Lock hold(lock_);
    controller = std::move(send_controller_);
  }
  // Outside the channel's lock: stopping waits for a tick in progress.
  if (controller) {
    controller->UnInitalize();
    controller.reset();
    VZ_LOG("send controller deleted.");
  }
  Lock hold(lock_);
  VZ_LOG("Congest controller deleted.");
  if (encoder_ != nullptr) {
    encoder_->Release();
    encoder_ = nullptr;
  }
  packer_.reset();
  policy_.reset();
  work_buffer_.clear();
  started_ = false;  // an uninitialised channel sends nothing
  initialized_ = false;
  VZ_LOG_OBJ("end");
}

VseResult CVzVideoSourceChannel::DeliverSample(IVideoSample* sample) {
  if (sample == nullptr) return VSE_E_POINTER;
  if (!data_thread_) return InputSample(sample);
  // Under the queue lock, so that the thread cannot go while a task is
  // posted to it (the caller's reference keeps the channel meanwhile).
  std::lock_guard<std::mutex> queue(queue_lock_);
  if (!thread_) return VSE_E_FAIL;  // stopped, or not started yet: not taken
  auto* task = new (std::nothrow) FrameTask(this);
  if (task == nullptr) return VSE_E_OUTOFMEMORY;
  // Only the newest picture waits: an older one not yet taken is dropped.
  if (waiting_ != nullptr) waiting_->Release();
  sample->AddRef();
  waiting_ = sample;
  if (thread_->GetEventQueue()->PostEvent(task) != VSE_S_OK) return VSE_E_POINTER;
  return VSE_S_OK;
}

void CVzVideoSourceChannel::RunWaitingSample() {
  IVideoSample* sample = nullptr;
  {
    std::lock_guard<std::mutex> queue(queue_lock_);
    sample = waiting_;
    waiting_ = nullptr;
  }
  if (sample == nullptr) return;  // taken by an earlier task
  picture_hold::WaitIfHeld(this);  // tests of a stop with a picture in flight
  InputSample(sample);
  sample->Release();
}

VseResult CVzVideoSourceChannel::InputSample(IVideoSample* sample) {
  void* pointer = nullptr;
  int32_t length = 0;
  VideoFormat format{};
  sample->GetPointer(&pointer);
  sample->GetActualDataLength(&length);
  sample->GetFormat(&format);
  return InputFrame(&format, static_cast<const uint8_t*>(pointer), length);
}

VseResult CVzVideoSourceChannel::InputFrame(const VideoFormat* format, const uint8_t* data, int32_t length) {
  Lock hold(lock_);
  if (!started_) return VSE_S_OK;
  if (data == nullptr || format == nullptr) return VSE_E_POINTER;
  if (length == 0) return VSE_E_INVALIDARG;
  if (!send_controller_) return VSE_E_POINTER;
  const uint32_t now = VZSE_::NowMs();
  // The engine sends its periodic RTCP report when one is due.
  if (owner_ != nullptr) owner_->SendPeriodicReport(now, client_id_);
  // Strictly increasing time stamps, whatever the clock says.
  uint32_t ts = now;
  if (has_time_stamp_ && static_cast<int32_t>(ts - last_time_stamp_) <= 0) ts = last_time_stamp_ + 1;
  last_time_stamp_ = ts;
  has_time_stamp_ = true;
  input_format_ = *format;
  if (params_pending_.exchange(false) && encode_controller_ != nullptr) {
    EncodeParams p;
    if (encode_controller_->GetEncodeConfiguration(&p) == VSE_S_OK) {
      {
        // Shared with the statistics period's end on the tick thread.
        std::lock_guard<std::mutex> stats(stats_lock_);
        SetRequiredMinMaxBw();
      }
      bool changed = !has_params_ || p.level.layer_count != params_.level.layer_count;
      for (int i = 0; !changed && i < p.level.layer_count && i < EncodeLevel::kMaxLayers; ++i) {
        changed = p.level.widths[i] != params_.level.widths[i] || p.level.heights[i] != params_.level.heights[i];
      }
      VZ_LOG("bUpdate = %d", changed ? 1 : 0);
      params_ = p;
      has_params_ = true;
      ApplyEncodeParam(p);
      if (changed && sink_ != nullptr) sink_->OnSourceParameterChanged(client_id_, kKindParametersChanged, p.level.layer_count);
    }
  }
  // The encoder is made once the first picture tells its format and rate.
  if (encoder_ == nullptr && has_params_) ApplyEncodeParam(params_);
  if (encoder_ == nullptr) return VSE_E_POINTER;
  // Requests the budget could not serve are served once it allows.
  if (key_frame_deferred_ && key_frame_budget_.Ready(VZSE_::NowMs())) ForceKeyFrame();
  VideoFormat stamped = *format;
  stamped.set_time_stamp_ms(ts);
  return encoder_->EncodeFrame(&stamped, data, length);
}

VseResult CVzVideoSourceChannel::ApplyEncodeParam(const EncodeParams& params) {
  if (encoder_ != nullptr) return encoder_->SetEncodeParam(&params) == VSE_S_OK ? VSE_S_OK : VSE_E_FAIL;
  auto* encoder = new (std::nothrow) CVzH264SvcEncoder();
  if (encoder == nullptr) return VSE_E_OUTOFMEMORY;
  encoder->AddRef();
  encoder->SetSingleTemporalLayer(single_temporal_);
  encoder->SetLimitToCapture(limit_to_capture_);
  if (input_format_.width > 0) {
    VideoFormat f = input_format_;
    if (f.frame_rate < 1.0f) f.frame_rate = input_rate_;
    encoder->SetInputFormat(&f);
  }
  const VseResult r = encoder->Init(&params, static_cast<IVideoEncoderSink*>(this));
  if (r != VSE_S_OK) {
    VZ_LOG_ERROR("encoder initialisation failed: 0x%08X", r);
    encoder->Release();
    return r;
  }
  if (long_term_) encoder->SetLongTermReference(1);
  encoder_ = encoder;
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetEncodeParam(const EncodeParams* params) {
  if (params == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (params->codec_type != codec_type_) {
    VZ_LOG("CVseVideoSourceChannel::SetEncodeParam pEncodeParam->dwCodecType != m_ulCodecType,"
           "pEncodeParam->dwCodecType=%d m_ulCodecType=%d",
           params->codec_type, codec_type_);
  }
  if (has_params_ && std::memcmp(&params_, params, sizeof(EncodeParams)) == 0) return VSE_S_OK;
  params_ = *params;
  has_params_ = true;
  params_pending_ = false;
  // Without a picture yet the encoder waits for the first one's format.
  if (encoder_ == nullptr && input_format_.width <= 0) return VSE_S_OK;
  return ApplyEncodeParam(*params);
}

void CVzVideoSourceChannel::OnFrameEncoded(uint32_t time_stamp_ms, const uint8_t* nal, int32_t length) {
  if (!packer_ || !send_controller_) return;
  int32_t mode = 0;
  send_controller_->SetOption(3, &mode);
  packer_->SetHighestPrioritySlot(mode);
  packer_->pack(time_stamp_ms, nal, length);
}

void CVzVideoSourceChannel::OnEncoderReconfigured(const vzh264::EncoderParam& param) {
  if (!send_controller_) return;
  int32_t mode = static_cast<int32_t>(param.At(vzh264::EncoderParam::kSpatialLayers)) - 1;
  send_controller_->SetOption(2, &mode);
  send_controller_->SetOption(8, const_cast<vzh264::EncoderParam*>(&param));
  const int top = std::max(0, mode);
  top_rate_ = std::bit_cast<float>(param.Layer(top, vzh264::EncoderParam::kLayerFrameRate));
}

void CVzVideoSourceChannel::OnInputFrameRate(float rate) { input_rate_ = rate; }

void CVzVideoSourceChannel::Deliver(uint32_t timestamp_ms, CVseRtpPacket* const* packets, int count) {
  if (!send_controller_ || count <= 0) return;
  QueuedPacketView views[CVseRtpPacker::kInitialPackets * 4];
  const int n = std::min(count, static_cast<int>(sizeof(views) / sizeof(views[0])));
  int64_t bytes = 0;
  for (int i = 0; i < n; ++i) {
    views[i] = {packets[i]->Data(), packets[i]->TotalLength()};
    bytes += views[i].length;
  }
  int32_t verdict = -1;
  send_controller_->QueueData(timestamp_ms, views, n, &verdict);
  if (verdict == kAdaptSend) {
    queued_packets_ += n;
    queued_bytes_ += bytes;
  }
}

void CVzVideoSourceChannel::OnQueue(uint32_t time_stamp, int32_t verdict, int32_t priority, const uint8_t* first,
                                    int32_t total) {
  // On the send controller's path, under its lock: atomics and the encode
  // controller's own lock only.
  if (verdict == kAdaptDropForRate) {
    dropped_ = true;
    std::lock_guard<std::mutex> stats(stats_lock_);
    dropped_bytes_ += total;
  }
  if ((verdict == kAdaptSend || verdict == kAdaptDropForRate) && encode_controller_ != nullptr) {
    const int pt = first != nullptr ? (first[1] & 0x7F) : 0;
    encode_controller_->SendStatistics(time_stamp, verdict, total, priority, pt == 110 || pt == 111);
  }
}

void CVzVideoSourceChannel::OnSend(uint32_t /*tick_ms*/, const uint8_t* data, int32_t length) {
  if (data == nullptr || length <= 0 || length > CVzSendController::kBlockSize) return;
  uint8_t packet[CVzSendController::kBlockSize];
  std::memcpy(packet, data, static_cast<size_t>(length));
  const uint8_t* element = nullptr;
  if (vz::rtp::FindOneByteElementOfLength(packet, length, 2, CRtpOneByteHeaderExtend_Timing::kLength, &element)) {
    uint8_t* timing = packet + (element - packet);
    CRtpOneByteHeaderExtend_Timing::SetCounter(timing, timing_counter_++);
    CRtpOneByteHeaderExtend_Timing::SetTimeMs(timing, VZSE_::NowMs());
    const int32_t rtt = last_rtt_.load();
    if (rtt < 0 && !rtt_warned_) {
      VZ_LOG_WARN("GetRTT failed!");
      rtt_warned_ = true;
    }
    CRtpOneByteHeaderExtend_Timing::SetRoundTripMs(timing, static_cast<uint16_t>(rtt < 0 ? 0 : rtt));
  }
  const int pt = packet[1] & 0x7F;
  const int payload = PayloadOffset(packet, length);
  int32_t kind = IVideoPacketTransport::kMediaPacket;
  if (pt == 110) {
    kind = IVideoPacketTransport::kFecPacket110;
  } else if (pt == 111) {
    kind = IVideoPacketTransport::kFecPacket111;
  } else if (payload >= 0 && NalTypeOf(packet[payload]) == kNalSequenceParameterSet) {
    kind = IVideoPacketTransport::kParameterSetPacket;
  }
  if (transport_ != nullptr) transport_->SendRtpPacket(kind, packet, length);

  const uint8_t* priority = nullptr;
  bool base = false;
  if (vz::rtp::FindOneByteElementOfLength(packet, length, 1, CRtpOneByteHeaderExtend_Priority::kLength, &priority)) {
    for (int slot = 0; slot < 4; ++slot) base = base || CRtpOneByteHeaderExtend_Priority::GetPriority(priority, slot) == 0;
  }
  const uint32_t now = VZSE_::NowMs();
  std::lock_guard<std::mutex> stats(stats_lock_);
  if (pt == 110 || pt == 111) {
    fec_bytes_ += length;
  } else {
    media_bytes_ += length;
  }
  ++packets_;
  if (base) p0_bytes_ += length;
  slots_[slot_].bytes += length;
  if (!period_open_) {
    period_open_ = true;
    period_start_ = now;
  }
  if (now - period_start_ > 1000) EndStatisticsPeriod(now);
}

void CVzVideoSourceChannel::EndStatisticsPeriod(uint32_t now) {
  const uint32_t elapsed = now - period_start_;
  if (elapsed < 10000) {
    const int64_t sent = media_bytes_ + fec_bytes_;
    fec_share_ = sent > 0 ? static_cast<float>(fec_bytes_) / static_cast<float>(sent) : 0.0f;
    // 64-bit: bytes x 8,000 overflows 32 bits in long periods.
    auto kbps = [elapsed](int64_t bytes) { return static_cast<int32_t>(bytes * 8000 / elapsed / 1024); };
    VZ_LOG("[Sender CONTROL]: bandwidth = %d kbps, send_packet = %lld drop_packet = %d send_rate = %d drop_rate = "
           "%d p0_data_rate = %d fec_redundancy=%d m_nFecThresold=%d m_nUplinkLossRatio=%d",
           kbps(sent + dropped_bytes_), static_cast<long long>(packets_), 0, kbps(sent), kbps(dropped_bytes_),
           kbps(p0_bytes_), static_cast<int>(fec_share_ * 100), logged_fec_level_.load(), logged_loss_.load());
    measured_rate_ = static_cast<int64_t>(kbps(sent + dropped_bytes_)) * 1024;
    SetRequiredMinMaxBw();
    if (sink_ != nullptr) sink_->OnSendRate(kbps(sent + dropped_bytes_));
    if (encode_controller_ != nullptr) {
      encode_controller_->SetUplinkOverheadRatio(fec_share_);
      encode_controller_->SetSourceBitrate(kbps(sent) * 1024);
    }
  }
  media_bytes_ = fec_bytes_ = dropped_bytes_ = p0_bytes_ = packets_ = 0;
  period_start_ = now;
}

VseResult CVzVideoSourceChannel::SetRequiredMinMaxBw() {
  if (encode_controller_ == nullptr) return VSE_E_POINTER;
  int32_t level0 = 0, current = 0, top = 0, zero = 0;
  encode_controller_->GetBitrates(&level0, &current);
  encode_controller_->IsAtTopLevel(&top);
  encode_controller_->IsAtLevelZero(&zero);
  double min = level0, max = current;
  const double s = fec_share_;
  if (s > 0 && s != 1) {
    min /= 1 - s;
    max /= 1 - s;
  }
  const double average = measured_rate_ > 0 ? 1.05 * static_cast<double>(measured_rate_) : 1.05 * max;
  if (zero) min = std::max(min, average);
  max = std::max(max, average);
  if (required_count_ == 0) {
    smoothed_min_ = min;
    smoothed_max_ = max;
  } else {
    smoothed_min_ = 0.8 * smoothed_min_ + 0.2 * min;
    smoothed_max_ = 0.8 * smoothed_max_ + 0.2 * max;
  }
  required_count_ = std::min(required_count_ + 1, 10);
  smoothed_max_ = std::max(smoothed_max_, smoothed_min_);
  if (sink_ == nullptr) {
    VZ_LOG_ERROR("pSourceChannelNotifySink error");
    return VSE_S_OK;
  }
  sink_->OnNotifySourceBitrateInfo(static_cast<int32_t>(smoothed_min_ / 8), static_cast<int32_t>(smoothed_max_ / 8));
  VZ_LOG("minLevelBw=%d,maxLevelBw=%d,dwRequiredMinBw=%d,dwRequiredMaxBw=%d,dwScalingAverageBw=%d, "
         "bReachMaxMode=%d,bReachMinLevel=%d,dwMinValue=%d,dwMaxValue=%d,m_FecRendunancy=%d",
         level0, current, static_cast<int>(min), static_cast<int>(max), static_cast<int>(average), top, zero,
         static_cast<int>(smoothed_min_), static_cast<int>(smoothed_max_), static_cast<int>(s * 100));
  return VSE_S_OK;
}

void CVzVideoSourceChannel::UpdateFecLevel(bool from_statistics) {
  if (manual_fec_ || !packer_ || !policy_) return;
  if (!fec_on_ || tcp_link_) {
    fec_.Off();
  } else if (from_statistics && policy_->last_status() != 2) {
    fec_.Update(last_stat_.loss_rate);
  }
  packer_->SetFecLevel(fec_.level());
  // For the statistics period's log line, written on the tick thread.
  logged_fec_level_ = fec_.level();
  logged_loss_ = static_cast<int>(last_stat_.loss_rate);
}

VseResult CVzVideoSourceChannel::UpdateUpLinkNetStat(const UplinkStat* stat) {
  if (stat == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (!send_controller_) return VSE_E_POINTER;
  if (VZSE_::NowMs() / 1000 % 10 == 0) {
    VZ_LOG("status =%d bandwidth=%d RTT=%d lossRate=%d Jitter=%d", stat->status, stat->bandwidth, stat->rtt,
           stat->loss_rate, stat->jitter);
  }
  last_stat_ = *stat;
  last_rtt_ = stat->rtt;
  UpdateFecLevel(true);
  if (policy_) policy_->Update(*stat, VZSE_::NowMs(), send_controller_->quiet() == 0, send_controller_.get());
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::ChooseNetworkPolicy(int32_t simple) {
  Lock hold(lock_);
  std::unique_ptr<INetworkPolicy> policy;
  if (simple != 0) {
    policy.reset(new (std::nothrow) CSimpleNetworkPolicy());
  } else {
    policy.reset(new (std::nothrow) CEstimatorNetworkPolicy());
  }
  if (!policy) return VSE_E_OUTOFMEMORY;
  policy->SetTcpLink(tcp_link_);
  policy->SetBandwidths(policy_bw_[0], policy_bw_[1], policy_bw_[2]);
  policy_ = std::move(policy);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetNetworkOption(const NetworkOption* option) {
  if (option == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (!send_controller_ || !policy_) return VSE_E_POINTER;
  tcp_link_ = option->link_type != 2;
  policy_->SetTcpLink(tcp_link_);
  VZ_LOG("m_bIsTcpLink=%d m_dwDefBw=%u m_dwMinBw=%u m_dwMaxBw=%u", tcp_link_ ? 1 : 0, option->default_bw,
         option->min_bw, option->max_bw);
  policy_bw_[0] = option->default_bw;
  policy_bw_[1] = option->min_bw;
  policy_bw_[2] = option->max_bw;
  policy_->SetBandwidths(option->default_bw, option->min_bw, option->max_bw);
  uint32_t rate = option->default_bw;
  send_controller_->SetOption(1, &rate);
  UpdateFecLevel(false);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetSourceId(uint32_t id) {
  Lock hold(lock_);
  client_id_ = id;
  if (packer_) packer_->SetSSRC(id);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetPayloadTypes(int32_t media, int32_t fec) {
  Lock hold(lock_);
  media_type_ = media;
  fec_type_ = fec;
  if (packer_) packer_->SetPayloadTypes(media, fec);
  return VSE_S_OK;
}

void CVzVideoSourceChannel::SetPacketTransport(IVideoPacketTransport* transport) {
  Lock hold(lock_);
  transport_ = transport;
}

VseResult CVzVideoSourceChannel::SetSink(IVideoSourceChannelSink* sink) {
  if (sink == nullptr) return VSE_E_POINTER;
  Lock hold(lock_);
  sink_ = sink;
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetSingleTemporalLayer(bool on) {
  Lock hold(lock_);
  single_temporal_ = on;
  if (encoder_ != nullptr) encoder_->SetSingleTemporalLayer(on);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetFecSwitch(bool on) {
  Lock hold(lock_);
  fec_on_ = on;
  UpdateFecLevel(false);
  return VSE_S_OK;
}

int CVzVideoSourceChannel::fec_level() {
  Lock hold(lock_);
  return manual_fec_ ? manual_level_ : fec_.level();
}

VseResult CVzVideoSourceChannel::SetFecLevel(int32_t loss, bool manual) {
  Lock hold(lock_);
  manual_fec_ = manual;
  manual_level_ = loss < 0 ? -1 : fec::LossClass(loss);
  if (manual && packer_) packer_->SetFecLevel(manual_level_);
  if (!manual) UpdateFecLevel(false);
  return VSE_S_OK;
}

void CVzVideoSourceChannel::SetOwner(ISourceChannelOwner* owner) {
  Lock hold(lock_);
  owner_ = owner;
}

VseResult CVzVideoSourceChannel::StartSend() {
  Lock hold(lock_);
  started_ = true;
  // Sending always begins with an intra frame.
  if (encoder_ != nullptr) encoder_->EncodeKeyFrame();
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::StopSend() {
  Lock hold(lock_);
  VZ_LOG_WARN("CVseVideoSourceChannel::StopSend m_bStartSend=%d", started_ ? 1 : 0);
  started_ = false;
  // The per-layer reports start again with the next send.
  reported_[kKindLayerSize] = -1;
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::RequestKeyFrame() {
  Lock hold(lock_);
  if (encoder_ == nullptr) return VSE_E_INVALIDARG;
  if (!key_frame_budget_.Ready(VZSE_::NowMs())) {
    // Beyond the budget: one key frame once it allows serves them all.
    key_frame_deferred_ = true;
    ++key_frames_spared_;
    return VSE_S_OK;
  }
  return ForceKeyFrame();
}

VseResult CVzVideoSourceChannel::ForceKeyFrame() {
  if (key_frames_spared_ > 1) {
    VZ_LOG("key frame forced; [%u] requests beyond the budget were served by one", key_frames_spared_);
  }
  key_frames_spared_ = 0;
  key_frame_deferred_ = false;
  key_frame_budget_.Spend(VZSE_::NowMs());
  return encoder_->EncodeKeyFrame();
}

int32_t CVzVideoSourceChannel::ConfigureOutputs(int32_t count, const OutputRecord* outputs) {
  Lock hold(lock_);
  if (!packer_ || !send_controller_ || outputs == nullptr || count < 1 || count > 4) return -1;
  int32_t mode = count - 1;
  send_controller_->SetOption(2, &mode);
  CVseRtpPacker::OutputConfig configs[4];
  for (int32_t i = 0; i < count; ++i) {
    configs[i].width = outputs[i].width;
    configs[i].height = outputs[i].height;
    configs[i].frame_rate = outputs[i].frame_rate;
    configs[i].priority_mode = outputs[i].priority_mode;
  }
  return packer_->ConfigureOutputs(count, configs);
}

VseResult CVzVideoSourceChannel::SetEncodeController(IVideoEncodeController* controller) {
  Lock hold(lock_);
  if (controller != nullptr) controller->AddRef();
  if (encode_controller_ != nullptr) {
    encode_controller_->SetLevelChangeSink(nullptr);
    encode_controller_->Release();
  }
  encode_controller_ = controller;
  if (controller != nullptr) controller->SetLevelChangeSink(static_cast<IEncodeLevelChangeSink*>(this));
  params_pending_ = true;
  return VSE_S_OK;
}

void CVzVideoSourceChannel::OnEncodeLevelChanged() { params_pending_ = true; }

VseResult CVzVideoSourceChannel::SetLimitToCapture(bool on) {
  Lock hold(lock_);
  limit_to_capture_ = on;
  if (encoder_ != nullptr) encoder_->SetLimitToCapture(on);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetSourceInfo(const SourceInfo* info) {
  if (info == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  VZ_LOG("pSourceInfo type=%d", info->type);
  if (encode_controller_ != nullptr) encode_controller_->SetSourceInfo(info);
  if (info->type == kSourceDescribed) input_rate_ = static_cast<float>(info->frame_rate);
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::GetStatus(int32_t* dropped, bool clear) {
  if (dropped == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  int32_t top = 1;
  if (encode_controller_ != nullptr) encode_controller_->IsAtTopLevel(&top);
  *dropped = dropped_ || top == 0 ? 1 : 0;
  if (clear) dropped_ = false;
  return VSE_S_OK;
}

VseResult CVzVideoSourceChannel::SetLongTermReference(bool on) {
  Lock hold(lock_);
  long_term_ = on;
  if (encoder_ != nullptr) encoder_->SetLongTermReference(on ? 1 : 0);
  return VSE_S_OK;
}

void CVzVideoSourceChannel::OnTimer(CVzTimer* /*timer*/) { RunTimerRound(); }

void CVzVideoSourceChannel::RunTimerRound() {
  IVideoSourceChannelSink* sink = nullptr;
  int32_t values[9];
  bool report[9] = {};
  {
    Lock hold(lock_);
    sink = sink_;
    if (sink == nullptr) return;
    const uint32_t now = VZSE_::NowMs();
    {
      std::lock_guard<std::mutex> stats(stats_lock_);
      if (now - slots_[slot_].start >= 1000) {
        // The oldest slot: its start tells how many whole seconds the five span.
        slot_ = (slot_ + 1) % 5;
        int64_t bytes = 0;
        for (const RateSlot& s : slots_) bytes += s.bytes;
        const uint32_t seconds = (now - slots_[slot_].start) / 1000;
        values[kKindSendRate] = seconds > 0 ? static_cast<int32_t>(bytes / seconds) : 0;
        report[kKindSendRate] = true;
        slots_[slot_] = RateSlot{now, 0};
      }
    }
    if (policy_) {
      values[kKindBandwidth] = static_cast<int32_t>(policy_->rate());
      report[kKindBandwidth] = true;
    }
    if (started_ && has_params_ && params_.level.layer_count > 0) {
      const int top = std::min(params_.level.layer_count, EncodeLevel::kMaxLayers) - 1;
      values[kKindLayerSize] = (params_.level.widths[top] << 16) | (params_.level.heights[top] & 0xFFFF);
      report[kKindLayerSize] = true;
    }
    values[kKindFrameRate] = static_cast<int32_t>(std::bit_cast<uint32_t>(top_rate_));
    report[kKindFrameRate] = true;
    for (int kind = 0; kind < 9; ++kind) {
      if (report[kind] && values[kind] == reported_[kind]) report[kind] = false;
      if (report[kind]) reported_[kind] = values[kind];
    }
  }
  // The client's sink is called without the channel's lock.
  for (int kind = 0; kind < 9; ++kind) {
    if (report[kind]) sink->OnSourceParameterChanged(client_id_, kind, values[kind]);
  }
  if (key_frame_requested_.exchange(false)) sink->OnKeyFrameRequested(client_id_);
}

void CVzVideoSourceChannel::PumpSendController() {
  CVzSendController* controller = nullptr;
  {
    Lock hold(lock_);
    controller = send_controller_.get();
  }
  if (controller != nullptr) controller->OnTick();
}
