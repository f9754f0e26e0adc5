#include "video/engine/receive/vz_video_listen_channel.h"

#include <algorithm>
#include <cstring>

#include "common/budgeted_log.h"
#include "contracts/h264_nal_types.h"
#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/va_image_content.h"
#include "video/engine/core/video_types.h"
#include "video/engine/receive/nal_temporal_id.h"
#include "video/engine/rtp/rtp_packet.h"

using VZSE_::NowMs;

namespace {

// a comes after b in 16-bit serial order.
bool SequenceAfter(uint16_t a, uint16_t b) {
  const uint16_t d = static_cast<uint16_t>(a - b);
  return d != 0 && d < 0x8000;
}

}  // namespace

class CVzVideoListenChannel::ReadSignal final : public VZSE_::Event {
 public:
  explicit ReadSignal(CVzVideoListenChannel* channel) : channel_(channel) {}
  void OnEventFire() override { channel_->OnReadSignal(); }

 private:
  CVzVideoListenChannel* const channel_;
};

CVzVideoListenChannel::CVzVideoListenChannel(IListenChannelOwner* owner, uint32_t ssrc, CVseRtpMonitor* monitor,
                                             IVideoSampleAllocator* allocator)
    : owner_(owner), ssrc_(ssrc), monitor_(monitor), allocator_(allocator) {
  if (allocator_) allocator_->AddRef();
}

CVzVideoListenChannel::~CVzVideoListenChannel() {
  VZ_LOG("this=%p ssrc_id = %u", static_cast<void*>(this), ssrc_);
  Uninitialize();
  if (allocator_) allocator_->Release();
  VZ_LOG("this=%p ssrc_id = %u End!!!", static_cast<void*>(this), ssrc_);
}

VseResult CVzVideoListenChannel::QueryInterface(const VseGuid* iid, void** out) {
  if (out != nullptr && iid != nullptr && (*iid == IID_IVideoSampleProvider || *iid == IID_IVideoListenChannelMarker)) {
    AddRef();
    *out = static_cast<IVideoListenChannel*>(this);
    return VSE_S_OK;
  }
  return TEngineObject::QueryInterface(iid, out);
}

VseResult CVzVideoListenChannel::AppendVideoDeliverer(IVideoDeliverer* deliverer) {
  if (deliverer == nullptr) return VSE_E_INVALIDARG;
  return deliverers_.Append(deliverer);
}

VseResult CVzVideoListenChannel::RemoveVideoDeliverer(IVideoDeliverer* deliverer) {
  if (deliverer == nullptr) return VSE_E_INVALIDARG;
  return deliverers_.Remove(deliverer);
}

VseResult CVzVideoListenChannel::EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) {
  if (callback == nullptr) return VSE_E_INVALIDARG;
  return static_cast<VseResult>(deliverers_.Enum(callback, user_data));
}

VseResult CVzVideoListenChannel::Initialize(int32_t render_video_type, int32_t decoder_mode, int32_t lctm) {
  return Initialize(render_video_type, decoder_mode, lctm, true);
}

VseResult CVzVideoListenChannel::Initialize(int32_t render_video_type, int32_t decoder_mode, int32_t lctm,
                                            bool data_thread) {
  VZ_LOG("begin,this=%p ,ssrc_id=%u type=%d lctm=%d m_bInitialized=%d", static_cast<void*>(this), ssrc_,
         render_video_type, lctm, initialized_ ? 1 : 0);
  if (owner_ == nullptr) return VSE_E_POINTER;
  if (initialized_) return VSE_S_OK;
  if (lctm < 0 || lctm > 2) {
    VZ_LOG_ERROR("receive mode %d unknown", lctm);
    return VSE_E_INVALIDARG;
  }
  decoder_ = GetListenDecoderMaker()(this, allocator_);
  if (!decoder_) {
    VZ_LOG_ERROR("no decoder for ssrc_id=%u", ssrc_);
    return VSE_E_OUTOFMEMORY;
  }
  const VseResult init = decoder_->Init(render_video_type, decoder_mode);
  if (init != VSE_S_OK) {
    VZ_LOG_ERROR("decoder Init failed, ret=0x%08x type=%d mode=%d", init, render_video_type, decoder_mode);
    decoder_.reset();
    return VSE_E_FAIL;
  }
  session_ = CreateVseRTPSession(this, ssrc_, kSvcSessionKind);
  if (session_ == nullptr) {
    VZ_LOG_ERROR("no receive session");
    ReleaseResources();
    return VSE_E_POINTER;
  }
  session_->SetPayloadTypes(media_pt_, aux_pt_);
  playout_ = std::make_unique<CPlayoutTimeEstimator>();
  render_video_type_ = render_video_type;
  decoder_mode_ = decoder_mode;
  decode_buffer_.assign(kDecodeBufferBytes, 0);
  lctm_ = lctm;
  stopping_ = false;
  data_timer_started_ = false;
  if (lctm_ != 0 && data_thread) {
    thread_ = std::make_unique<VZSE_::ComTaskThread>();
    if (thread_->Create(this, 1) != VSE_S_OK) {
      VZ_LOG_ERROR("create data thread fail");
      thread_.reset();
    }
  }
  timer_ = std::make_unique<CVzTimer>();
  const VZSE_::TimeValue period(0, 30000);
  if (timer_->Schedule(this, &period) != VSE_S_OK) {
    VZ_LOG_WARN("no run loop on this thread: the 30 ms reports run only when driven");
  }
  const uint32_t now = NowMs();
  {
    std::lock_guard<std::mutex> lock(render_lock_);
    last_render_ms_ = now;
    block_state_ = -1;
    block_changed_ = false;
    rate_start_ms_ = now;
    rate_count_ = 0;
  }
  {
    std::lock_guard<std::mutex> lock(monitor_lock_);
    if (monitor_) monitor_->SetSink(this);
  }
  received_count_ = 0;
  {
    std::lock_guard<std::mutex> lock(stats_lock_);
    for (Bucket& b : buckets_) b = Bucket{now, 0};
    bucket_ = 0;
    last_rate_ = -1;
  }
  initialized_ = true;
  return VSE_S_OK;
}

void CVzVideoListenChannel::Uninitialize() {
  if (!initialized_ && !decoder_ && !thread_) return;
  VZ_LOG("CVseVideoListenChannel::Uninitialize() begin,this=%p,ssrc_id=%u", static_cast<void*>(this), ssrc_);
  initialized_ = false;
  if (owner_) {
    VZ_LOG("Send a RTCP BYE before del listen channel %u", ssrc_);
  } else {
    VZ_LOG("NULL session handle for listen channel %u", ssrc_);
  }
  stopping_ = true;
  // Never a join of the data thread from inside itself, should the last
  // reference go there.
  VZSE_::ComTaskThread::Dispose(std::move(thread_));
  timer_.reset();
  {
    std::lock_guard<std::mutex> lock(monitor_lock_);
    if (monitor_) monitor_->SetSink(nullptr);
  }
  ReleaseResources();
}

void CVzVideoListenChannel::ReleaseResources() {
  {
    std::lock_guard<std::mutex> lock(queue_lock_);
    media_queue_.clear();
    aux_queue_.clear();
  }
  if (decoder_) decoder_->Uninit();
  decoder_.reset();
  ReleaseDeferred();
  playout_.reset();
  frames_.clear();
  frame_count_ = 0;
  decode_buffer_.clear();
  decode_buffer_.shrink_to_fit();
  if (session_) DestroyVseRTPSession(session_);
  session_ = nullptr;
}

void CVzVideoListenChannel::DetachMonitor() {
  std::lock_guard<std::mutex> lock(monitor_lock_);
  if (monitor_) monitor_->SetSink(nullptr);
  monitor_ = nullptr;
}

VseResult CVzVideoListenChannel::SetEventSink(IVideoListenChannelSink* sink) {
  sink_ = sink;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetPayloadTypesEx(int32_t media, int32_t aux) {
  media_pt_ = media;
  aux_pt_ = aux;
  if (session_) session_->SetPayloadTypes(media, aux);
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetPayloadTypes(const int32_t* media, const int32_t* aux) {
  if (media == nullptr || aux == nullptr) return VSE_E_INVALIDARG;
  media_pt_ = *media;
  aux_pt_ = *aux;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetPayloadTransformEnabled(bool on) {
  transform_enabled_ = on;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetPayloadTransformer(IPayloadTransformer* transformer) {
  transformer_ = transformer;
  return VSE_S_OK;
}

uint32_t CVzVideoListenChannel::NowMs() { return VZSE_::NowMs(); }

VseResult CVzVideoListenChannel::SetRenderSync(IRenderSynchronizer* sync, void* user) {
  std::lock_guard<std::mutex> lock(sync_lock_);
  render_sync_ = sync;
  render_sync_user_ = user;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetSmoothPlay(bool on) {
  smooth_play_ = on;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetDecodeEnabled(bool on) {
  decode_enabled_ = on;
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetBlockTimeout(uint32_t ms) {
  std::lock_guard<std::mutex> lock(render_lock_);
  block_timeout_ms_ = ms;
  return VSE_S_OK;
}

void CVzVideoListenChannel::ResetBlockState() {
  std::lock_guard<std::mutex> lock(render_lock_);
  block_state_ = -1;
}

VseResult CVzVideoListenChannel::SetMaxBufferedPackets(int32_t count) {
  std::lock_guard<std::mutex> lock(queue_lock_);
  max_media_packets_ = static_cast<size_t>(std::max(count, kMaxBufferedPackets));
  return VSE_S_OK;
}

VseResult CVzVideoListenChannel::SetLossRecovery(int32_t value) {
  loss_recovery_ = value;
  if (!decode_enabled_ || !decoder_) return VSE_E_FAIL;
  return static_cast<VseResult>(decoder_->SetLossRecovery(value));
}

int32_t CVzVideoListenChannel::SetAspectRatio(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 1;
  aspect_w_ = width;
  aspect_h_ = height;
  aspect_ratio_ = static_cast<float>(width) / static_cast<float>(height);
  aspect_changed_ = true;
  return 0;
}

VseResult CVzVideoListenChannel::SetRenderFormat(int32_t video_type) {
  render_video_type_ = video_type;
  if (!decoder_) return VSE_E_POINTER;
  uint32_t color = GetColorSpace(video_type);
  const VseResult r = decoder_->SetOption(IVideoDecoder::kOptionOutputFormat, &color);
  VZ_LOG("type=%d lret=%d", video_type, static_cast<int>(r));
  return r;
}

VseResult CVzVideoListenChannel::ClearOldData() {
  if (!initialized_ || !decoder_) return VSE_S_OK;
  VZ_LOG("begin,this=%p ssrc_id=%u m_pDecoder=%p", static_cast<void*>(this), ssrc_, static_cast<void*>(decoder_.get()));
  uint32_t color = 0;
  decoder_->GetOption(IVideoDecoder::kOptionOutputFormat, &color);
  decoder_->Uninit();
  VseResult r = decoder_->Init(render_video_type_, decoder_mode_);
  if (r == VSE_S_OK && color != 0) decoder_->SetOption(IVideoDecoder::kOptionOutputFormat, &color);
  // Init turns loss recovery off; the channel's stored choice holds.
  if (r == VSE_S_OK && loss_recovery_ != 0) decoder_->SetLossRecovery(loss_recovery_);
  VZ_LOG("end,this=%p ssrc_id=%u m_pDecoder=%p lret=%d iVideoTYpe=%d", static_cast<void*>(this), ssrc_,
         static_cast<void*>(decoder_.get()), static_cast<int>(r), render_video_type_);
  return r == VSE_S_OK ? VSE_S_OK : VSE_E_FAIL;
}

VseResult CVzVideoListenChannel::SetDirectImageOutput(int32_t value) {
  if (value != 0 && value != 1) return VSE_E_INVALIDARG;
  if (!decoder_) return VSE_E_FAIL;
  direct_image_ = value;
  if (value == 0) {
    int32_t ready = 1;
    decoder_->SetOption(vzh264::kDecoderRenderReady, &ready);
  }
  return VSE_S_OK;
}

int32_t CVzVideoListenChannel::IsRenderReady() {
  if (direct_image_ != 1) return 1;
  // 0 only when every registered image sink says it is ready.
  struct Walk {
    bool any = false;
    bool all_ready = true;
  } walk;
  deliverers_.Enum(
      [](IVideoDeliverer* deliverer, void* user) -> int32_t {
        auto* w = static_cast<Walk*>(user);
        void* sink = nullptr;
        if (deliverer->QueryInterface(&IID_IVideoImageSink, &sink) != VSE_S_OK || sink == nullptr) return 0;
        auto* image = static_cast<IVideoImageSink*>(sink);
        int32_t flags = 0;
        w->any = true;
        if (image->GetStatus(&flags) != VSE_S_OK || (flags & 1) == 0) w->all_ready = false;
        image->Release();
        return 0;
      },
      &walk);
  return walk.any && walk.all_ready ? 0 : 1;
}

VseResult CVzVideoListenChannel::DecodeNow() {
  if (lctm_ != 0) return VSE_E_FAIL;
  DecodeAndRender(true);
  return VSE_S_OK;
}

// ---- Intake (transport thread).

VseResult CVzVideoListenChannel::InputPacket(const uint8_t* data, int32_t length, uint32_t receive_ms,
                                             int32_t packet_type) {
  if (!initialized_) return VSE_E_FAIL;
  if (data == nullptr || length <= 12) return VSE_E_INVALIDARG;
  if (packet_type == 0) {
    const uint32_t from = vz::Load32(data + 8);
    if (from != ssrc_) {
      VZ_LOG_ERROR("error, this channel's ssrcid=%u,received data from ssrcid=%u len=%d m_lctm=%d", ssrc_, from,
                   length, lctm_);
      return VSE_E_FAIL;
    }
    {
      std::lock_guard<std::mutex> lock(monitor_lock_);
      if (monitor_) {
        monitor_->InputReceivedRtpData(data, length, receive_ms);
        jitter_ms_ = std::min(monitor_->GetJitter(), 200);
      }
    }
    std::lock_guard<std::mutex> lock(stats_lock_);
    buckets_[bucket_].bytes += length;
  } else if (packet_type != 1) {
    return VSE_E_INVALIDARG;
  }
  ++received_count_;
  if (lctm_ == 0) {
    const VseResult r = InputReceivedData(packet_type, receive_ms, data, length);
    if (r != VSE_S_OK) {
      VZ_LOG_ERROR("InputReceivedData fail,ret=%d dwPacketType=%d dwRecvTime=%u lcmt=%d", static_cast<int>(r),
                   packet_type, receive_ms, lctm_);
    }
    return VSE_S_OK;
  }
  bool stored = false;
  {
    std::lock_guard<std::mutex> lock(queue_lock_);
    std::deque<QueuedPacket>& queue = packet_type == 0 ? media_queue_ : aux_queue_;
    const size_t limit = packet_type == 0 ? max_media_packets_ : static_cast<size_t>(kMaxBufferedPackets);
    if (queue.size() < limit) {
      queue.push_back(QueuedPacket{std::vector<uint8_t>(data, data + length), receive_ms});
      stored = true;
    }
  }
  if (stored) {
    buffer_full_ = false;
    PostReadSignal();
    if (packet_type == 0) CheckOverTimeData(data, length);
  } else {
    PostReadSignal();
    buffer_full_ = true;
  }
  return VSE_S_OK;
}

void CVzVideoListenChannel::PostReadSignal() {
  if (!thread_) return;  // driven by hand
  if (thread_->GetEventQueue()->PostEvent(new ReadSignal(this)) != VSE_S_OK) {
    VZ_LOG_ERROR("pEventQueue");
  }
}

void CVzVideoListenChannel::OnReadSignal() {
  if (stopping_) return;
  if (!data_timer_started_ && thread_ && thread_->GetTimerQueue()) {
    data_timer_started_ = true;
    thread_->GetTimerQueue()->Schedule(this, nullptr, VZSE_::TimeValue(0, 15000), 0);
  }
  QueuedPacket media, aux;
  bool have_media = false, have_aux = false;
  {
    std::lock_guard<std::mutex> lock(queue_lock_);
    if (!media_queue_.empty()) {
      media = std::move(media_queue_.front());
      media_queue_.pop_front();
      have_media = true;
    }
    if (!aux_queue_.empty()) {
      aux = std::move(aux_queue_.front());
      aux_queue_.pop_front();
      have_aux = true;
    }
  }
  if (have_media) InputReceivedData(0, media.receive_ms, media.data.data(), static_cast<int32_t>(media.data.size()));
  if (have_aux) InputReceivedData(1, aux.receive_ms, aux.data.data(), static_cast<int32_t>(aux.data.size()));
}

void CVzVideoListenChannel::ProcessQueuedPacketsForTesting() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_lock_);
      if (media_queue_.empty() && aux_queue_.empty()) return;
    }
    OnReadSignal();
  }
}

size_t CVzVideoListenChannel::queued_media_packets_for_testing() {
  std::lock_guard<std::mutex> lock(queue_lock_);
  return media_queue_.size();
}

void CVzVideoListenChannel::CheckOverTimeData(const uint8_t* data, int32_t length) {
  uint32_t oldest_ts = 0;
  size_t count = 0;
  bool have_oldest = false;
  {
    std::lock_guard<std::mutex> lock(queue_lock_);
    count = media_queue_.size();
    if (count < 2) return;
    const std::vector<uint8_t>& oldest = media_queue_.front().data;
    if (oldest.size() > 4 + 4) {
      oldest_ts = vz::Load32(oldest.data() + 4);
      have_oldest = true;
    }
  }
  uint32_t span = 0;
  if (have_oldest && length > 8) {
    const int32_t d = static_cast<int32_t>(vz::Load32(data + 4) - oldest_ts);
    span = d > 0 ? static_cast<uint32_t>(d) / 90 : 0;
  }
  const uint32_t now = NowMs();
  if (span > kBehindSpanMs) {
    caught_up_running_ = false;
    if (!behind_running_) {
      behind_running_ = true;
      behind_start_ = now;
    }
    const uint32_t lasted = now - behind_start_;
    if (lasted > kDownGradeMs && !(drop_t1_ && drop_t2_)) {
      VZ_LOG_WARN("DownGrade T1&T2=%d&%d, BufferCnt=%zu continuedTime=%u deltaTime=%u frameListBufferSize=%zu",
                  drop_t1_ ? 1 : 0, drop_t2_ ? 1 : 0, count, lasted, span, frame_count_.load());
      behind_start_ = now;
      if (!drop_t2_) {
        drop_t2_ = true;
      } else {
        drop_t1_ = true;
      }
    }
    return;
  }
  behind_running_ = false;
  if (!drop_t1_ && !drop_t2_) {
    caught_up_running_ = false;
    return;
  }
  if (!caught_up_running_) {
    caught_up_running_ = true;
    caught_up_start_ = now;
  }
  const uint32_t lasted = now - caught_up_start_;
  if (lasted > kUpGradeMs) {
    VZ_LOG("UpGrade T1&T2=%d&%d, BufferCnt=%zu continuedTime=%u deltaTime=%u frameListBufferSize=%zu",
           drop_t1_ ? 1 : 0, drop_t2_ ? 1 : 0, count, lasted, span, frame_count_.load());
    caught_up_start_ = now;
    if (drop_t1_) {
      drop_t1_ = false;
    } else {
      drop_t2_ = false;
    }
  }
}

// ---- Data side (data thread, or the caller in mode 0).

VseResult CVzVideoListenChannel::InputReceivedData(int32_t type, uint32_t /*receive_ms*/, const uint8_t* data,
                                                   int32_t length) {
  if (type == 1) {
    if (!decoder_) return VSE_E_POINTER;
    decoding_from_rtp_ = false;
    return decoder_->DecodeFrame(0, data, length);
  }
  if (buffer_full_) return VSE_E_FAIL;
  if (!session_) return VSE_E_POINTER;
  const int r = session_->Input(data, length, NowMs());
  return r < 0 ? VSE_E_INVALIDARG : VSE_S_OK;
}

void CVzVideoListenChannel::OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) {
  if (!packet || packet->PayloadLength() <= 0 || packet->incomplete() != 0) return;
  const uint8_t* payload = packet->Payload();
  const int length = packet->PayloadLength();
  if (drop_t1_ || drop_t2_) {
    if (length <= 4) return;
    const int tid = NalTemporalId(payload, length);
    if ((drop_t1_ && tid >= 1) || (drop_t2_ && tid >= 2)) {
      VZ_LOG_BUDGETED("packet dropped!! Temporal_id = %d. T1/T2 drop is enabled!", tid);
      ++dropped_layers_;
      return;
    }
  }
  if (length > 4 && NalTypeOf(payload[4]) == kNalSei) {
    VZ_LOG_BUDGETED("Received a SSEI layer, time_stamp=%u", packet->timestamp());
  }
  int length_now = length;
  if (!TransformPayload(&payload, &length_now)) return;
  const uint32_t key = packet->timestamp() / 90;
  // A piece of a frame already decoded (a late or recovered NAL unit) would
  // start a fragment frame under the same key: it is dropped.
  if (have_decoded_key_ && key == last_decoded_key_) {
    ++late_units_;
    return;
  }
  const uint16_t sequence = packet->sequence();
  auto frame = std::find_if(frames_.begin(), frames_.end(), [key](const EncodedFrame& f) { return f.key == key; });
  if (frame == frames_.end()) {
    auto at = std::find_if(frames_.begin(), frames_.end(),
                           [sequence](const EncodedFrame& f) { return SequenceAfter(sequence, f.first_sequence); });
    frame = frames_.insert(at, EncodedFrame{});
    frame->created_ms = NowMs();
    frame->key = key;
    frame->first_sequence = sequence;
    frame_count_ = frames_.size();
  }
  if (length_now >= 5) {
    // Copied into a pooled block: a steady stream reuses the blocks of the
    // frames already decoded instead of allocating.
    CVzPayloadBlock* block = payload_pool_.Get(length_now);
    if (block == nullptr) return;  // logged by the pool; the unit is lost
    std::memcpy(block->data(), payload, static_cast<size_t>(length_now));
    auto at = std::find_if(frame->layers.begin(), frame->layers.end(),
                           [sequence](const Layer& l) { return static_cast<uint16_t>(sequence - l.sequence) > 0x8000; });
    frame->layers.insert(at, Layer{sequence, std::unique_ptr<CVzPayloadBlock, ReleaseBlock>(block)});
    frame->bytes += length_now;
  }
  DecodeAndRender(false);
}

bool CVzVideoListenChannel::TransformPayload(const uint8_t** payload, int* length) {
  IPayloadTransformer* transformer = transformer_.load();
  if (!transform_enabled_ || transformer == nullptr || *length <= kTransformKeptBytes ||
      NalTypeOf((*payload)[4]) == kNalSei) {
    return true;
  }
  uint8_t* out = nullptr;
  int32_t out_length = 0;
  const int32_t r = transformer->Transform(*payload + kTransformKeptBytes, *length - kTransformKeptBytes, &out,
                                           &out_length);
  if (r != 0 || out == nullptr || out_length < 0 || out_length > kDecodeBufferBytes) {
    VZ_LOG_ERROR("payload transform failed,ret=%d len=%d", r, *length);
    if (out != nullptr) transformer->FreeBlock(out);
    return false;
  }
  transform_scratch_.assign(*payload, *payload + kTransformKeptBytes);
  transform_scratch_.insert(transform_scratch_.end(), out, out + out_length);
  const int32_t freed = transformer->FreeBlock(out);
  if (freed != 0) VZ_LOG_ERROR("FreeBlock failed,ret=%d", freed);
  *payload = transform_scratch_.data();
  *length = static_cast<int>(transform_scratch_.size());
  return true;
}

bool CVzVideoListenChannel::DueNow(uint32_t key, bool* play_time_known, uint32_t* play_time_ms) {
  {
    std::lock_guard<std::mutex> lock(sync_lock_);
    if (render_sync_ != nullptr) {
      const int32_t answer = render_sync_->Check(1, 0, ssrc_, key, render_sync_user_);
      return answer == 0 || answer == 1;
    }
  }
  if (!playout_ || !smooth_play_) return true;
  const uint32_t now = VZSE_::NowMs();
  if (!*play_time_known) {
    playout_->Estimate(key, play_time_ms);
    *play_time_known = true;
  }
  const int32_t diff = static_cast<int32_t>(*play_time_ms - now);
  if (diff > kPlayAheadMs) {
    VZ_LOG("Smooth play,not play,dwDiff=%d", diff);
    return false;
  }
  return true;
}

void CVzVideoListenChannel::DecodeAndRender(bool force) {
  if (frames_.empty()) return;
  EncodedFrame& frame = frames_.back();
  // The oldest frame waits while it is alone, until a second after it began
  // (timed from the frame itself, so a pause in the stream cannot make the
  // first packet of the next frame decode alone).
  if (!force && frames_.size() == 1 && VZSE_::NowMs() - frame.created_ms <= kLoneFrameWaitMs) return;
  // Modes 0 and 1 wait for the frame's play time before decoding it; mode 2
  // waits before showing the picture.
  if (lctm_ != 2 && !DueNow(frame.key, &frame.play_time_known, &frame.play_time_ms)) return;
  const int32_t length = PopFrame(frame);
  const uint32_t key = frame.key;
  have_decoded_key_ = true;
  last_decoded_key_ = key;
  frames_.pop_back();
  frame_count_ = frames_.size();
  if (length < 0) {
    VZ_LOG_ERROR("frame %u does not fit the decode buffer", key);
    return;
  }
  if (length > 0 && decode_enabled_ && decoder_) {
    decoding_from_rtp_ = true;
    const VseResult r = decoder_->DecodeFrame(key, decode_buffer_.data(), length);
    if (r != VSE_S_OK) VZ_LOG_ERROR("DecodeFrame failed, ret=0x%08x ts=%u len=%d", r, key, length);
  }
}

int32_t CVzVideoListenChannel::PopFrame(const EncodedFrame& frame) {
  size_t used = 0;
  for (const Layer& layer : frame.layers) {
    const auto size = static_cast<size_t>(layer.payload->length());
    if (size <= 4) {
      VZ_LOG_BUDGETED("SrcLen>4");
      continue;
    }
    if (used + size > decode_buffer_.size()) return -1;
    std::memcpy(decode_buffer_.data() + used, layer.payload->data(), size);
    used += size;
  }
  return static_cast<int32_t>(used);
}

void CVzVideoListenChannel::OnTimer(const VZSE_::TimeValue& /*now*/, void* /*argument*/) { RunDataTimer(); }

void CVzVideoListenChannel::RunDataTimer() {
  if (stopping_) return;
  DecodeAndRender(false);
  RenderDeferred();
  ClearTooOldFrames();
}

void CVzVideoListenChannel::RenderDeferred() {
  DeferredPicture picture;
  {
    std::lock_guard<std::mutex> lock(deferred_lock_);
    if (!deferred_whole_.empty()) {
      picture = deferred_whole_.front();
      deferred_whole_.pop_front();
    } else if (!deferred_rtp_.empty()) {
      DeferredPicture& first = deferred_rtp_.front();
      if (!DueNow(first.time_stamp, &first.play_time_known, &first.play_time_ms)) return;
      picture = first;
      deferred_rtp_.pop_front();
    } else {
      return;
    }
  }
  Deliver(picture.sample);
  picture.sample->Release();
}

void CVzVideoListenChannel::ReleaseDeferred() {
  std::lock_guard<std::mutex> lock(deferred_lock_);
  for (std::deque<DeferredPicture>* queue : {&deferred_whole_, &deferred_rtp_}) {
    for (DeferredPicture& picture : *queue) picture.sample->Release();
    queue->clear();
  }
}

void CVzVideoListenChannel::ClearTooOldFrames() {
  const uint32_t now = NowMs();
  frames_.remove_if([now](const EncodedFrame& f) { return now - f.created_ms > kOldFrameMs; });
  frame_count_ = frames_.size();
}

// ---- Decoder output (the decoding thread).

void CVzVideoListenChannel::OnDecoded(uint32_t color, uint32_t time_stamp, int32_t width, int32_t height,
                                      IVideoSample* sample) {
  if (sample == nullptr) return;
  NoteSize(width, height, sample, color);
  // The picture carries the channel's render format and the frame's key.
  VideoFormat format{render_video_type_, width, height, 0.0f, time_stamp};
  sample->SetFormat(&format);
  if (lctm_ == 2) {
    sample->AddRef();
    std::lock_guard<std::mutex> lock(deferred_lock_);
    (decoding_from_rtp_ ? deferred_rtp_ : deferred_whole_).push_back(DeferredPicture{sample, time_stamp});
    return;
  }
  Deliver(sample);
}

void CVzVideoListenChannel::OnDecodedImage(uint32_t time_stamp, const uint8_t* plane,
                                           const vzh264::DecodeBufferInfo& info) {
  NoteSize(info.width, info.height, nullptr, 0);
  MarkRendered(time_stamp);
  // The picture goes to every registered image sink as the decoder's
  // surface with the picture's rectangle; sample-only deliverers get nothing.
  VAImageInfo surface;
  surface.shared_handle = const_cast<uint8_t*>(plane);
  surface.width = static_cast<uint32_t>(std::max(info.width, 0));
  surface.height = static_cast<uint32_t>(std::max(info.height, 0));
  surface.right = info.width;
  surface.bottom = info.height;
  VAImageContent image;
  image.vatype = 1;
  image.info = &surface;
  deliverers_.Enum(
      [](IVideoDeliverer* deliverer, void* user) -> int32_t {
        void* sink = nullptr;
        if (deliverer->QueryInterface(&IID_IVideoImageSink, &sink) != VSE_S_OK || sink == nullptr) return 0;
        auto* image_sink = static_cast<IVideoImageSink*>(sink);
        image_sink->VADeliverImage(static_cast<const VAImageContent*>(user));
        image_sink->Release();
        return 0;
      },
      &image);
}

// A new size is logged at once and marked; the same line comes again at
// most every kSizeLogMs while the size holds, so a long log still says what
// is being received.
void CVzVideoListenChannel::NoteSize(int32_t width, int32_t height, IVideoSample* sample, uint32_t color) {
  const bool changed = width != width_ || height != height_;
  const uint32_t now = NowMs();
  if (!changed && size_logged_ && now - size_log_ms_ < kSizeLogMs) return;
  int32_t len = 0;
  if (sample) sample->GetActualDataLength(&len);
  VZ_LOG_WARN("src_id=%u,width=%d,height=%d,len=%d,iColorSpace=%u", ssrc_, width, height, len, color);
  size_logged_ = true;
  size_log_ms_ = now;
  if (!changed) return;
  width_ = width;
  height_ = height;
  size_changed_ = true;
}

void CVzVideoListenChannel::Deliver(IVideoSample* sample) {
  VideoFormat format{};
  sample->GetFormat(&format);
  MarkRendered(format.time_stamp_ms());
  deliverers_.DeliverSample(sample);
}

void CVzVideoListenChannel::MarkRendered(uint32_t time_stamp) {
  const uint32_t now = NowMs();
  {
    std::lock_guard<std::mutex> lock(render_lock_);
    last_render_ms_ = now;
    if (block_state_ != 0) {
      block_state_ = 0;
      block_changed_ = true;
    }
    ++rate_count_;
    const uint32_t elapsed = now - rate_start_ms_;
    if (elapsed >= 1000) {
      const double fps = static_cast<double>(rate_count_) * 1000.0 / elapsed;
      const int32_t rate = static_cast<int32_t>(fps);
      rate_count_ = 0;
      rate_start_ms_ = now;
      if (rate != render_rate_) {
        render_rate_ = rate;
        rate_changed_ = true;
        VZ_LOG("Render Fps:%02f ,src_id=%u", fps, ssrc_);
      }
    }
  }
  last_rendered_ts_ = time_stamp;
}

void CVzVideoListenChannel::RequestKeyFrame() {
  const uint32_t now = NowMs();
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    if (key_requested_once_ && now - last_key_request_ms_ < kRequestThrottleMs) return;
    key_requested_once_ = true;
    last_key_request_ms_ = now;
  }
  if (owner_) owner_->RequestKeyFrame(ssrc_);
  key_frame_lost_ = true;
}

void CVzVideoListenChannel::RequestRefresh(const uint8_t* block) {
  if (block == nullptr) return;
  vz::rtcp::Feedback16 value;
  for (int i = 0; i < 4; ++i) value.words[i] = vz::Load32(block + 4 * i);
  const uint32_t now = NowMs();
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    if (refresh_requested_once_ && now - last_refresh_ms_ < kRequestThrottleMs) return;
    refresh_requested_once_ = true;
    last_refresh_ms_ = now;
  }
  if (owner_) owner_->RequestRefresh(ssrc_, &value);
}

void CVzVideoListenChannel::ReportDecoderEvent(const uint8_t* block) {
  if (block == nullptr) return;
  vz::rtcp::Feedback12 value;
  for (int i = 0; i < 3; ++i) value.words[i] = vz::Load32(block + 4 * i);
  if (owner_) owner_->ReportDecoderEvent(ssrc_, &value);
}

void CVzVideoListenChannel::SetReceiveParameter(int32_t kind, uint32_t value) {
  if (kind >= 1 && kind <= 3) params_[kind] = static_cast<int32_t>(value);
}

// ---- Reports (the initialising thread).

void CVzVideoListenChannel::OnTimer(CVzTimer* /*timer*/) { RunTimerRound(); }

void CVzVideoListenChannel::RunTimerRound() {
  if (sink_ == nullptr) return;
  if (key_frame_lost_.exchange(false)) sink_->OnKeyFrameLost(ssrc_);
  if (size_changed_.exchange(false)) sink_->OnListenParameterChanged(ssrc_, kKindSize, (width_ << 16) | height_);
  if (rate_changed_.exchange(false)) sink_->OnListenParameterChanged(ssrc_, kKindFrameRate, render_rate_);
  const uint32_t now = NowMs();
  if (decoder_ && decode_enabled_) {
    bool report = false;
    int32_t state = 0;
    uint32_t last = 0;
    {
      std::lock_guard<std::mutex> lock(render_lock_);
      last = last_render_ms_;
      const uint32_t diff = now - last_render_ms_;
      if (block_state_ != 1 && diff > block_timeout_ms_) {
        block_state_ = 1;
        block_changed_ = true;
      }
      if (block_changed_) {
        block_changed_ = false;
        report = true;
        state = block_state_;
      }
    }
    if (report) {
      sink_->OnRenderBlocked(ssrc_, state == 1 ? 1 : 0);
      VZ_LOG("now=%u ,LastRenderTime=%u dwDiff=%u BlockStatus=%d", now, last, now - last, state);
    }
  }
  ReportStatistics(now);
}

void CVzVideoListenChannel::ReportStatistics(uint32_t now) {
  int64_t rate = 0;
  {
    std::lock_guard<std::mutex> lock(stats_lock_);
    if (now - buckets_[bucket_].start <= 999) return;
    bucket_ = (bucket_ + 1) % 5;
    const uint32_t seconds = (now - buckets_[bucket_].start) / 1000;
    if (seconds < 1) return;
    int64_t sum = 0;
    for (const Bucket& b : buckets_) sum += b.bytes;
    rate = sum / seconds;
    buckets_[bucket_] = Bucket{now, 0};
  }
  if (rate != last_rate_) {
    last_rate_ = rate;
    sink_->OnListenParameterChanged(ssrc_, kKindByteRate, static_cast<int32_t>(rate));
  }
  static constexpr int32_t kOrder[3] = {kKindJitter, kKindLoss, kKindDelay};
  if (rate == 0) {
    for (int32_t kind : kOrder) {
      params_[kind] = 0;
      reported_params_[kind] = 0;
      sink_->OnListenParameterChanged(ssrc_, kind, 0);
    }
    return;
  }
  for (int32_t kind : kOrder) {
    const int32_t value = params_[kind];
    if (value != reported_params_[kind]) {
      reported_params_[kind] = value;
      sink_->OnListenParameterChanged(ssrc_, kind, value);
    }
  }
}
