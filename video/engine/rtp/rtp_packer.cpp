#include "video/engine/rtp/rtp_packer.h"

#include <algorithm>

#include "contracts/h264_nal_types.h"
#include "common/trace_client.h"
#include "video/engine/core/fec_tables.h"
#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/rtp_packet.h"

using namespace vz::rtp;

FecPlanning DefaultFecPlanning() {
  FecPlanning planning;
  planning.plan = fec::PlanRepairPackets;
  planning.layer_count = fec::LayerCount;
  return planning;
}

CVseRtpPacker::CVseRtpPacker(uint32_t ssrc, IRtpPackerSink* sink, const FecPlanning& planning,
                             ISvcPrioritySource* priorities)
    : ssrc_(ssrc), sink_(sink), planning_(planning),
      priorities_(priorities != nullptr ? priorities : &generator_) {
  VZ_LOG("ssrc=%u", ssrc);
}

CVseRtpPacker::~CVseRtpPacker() { VZ_LOG("ssrc=%u", ssrc_); }

void CVseRtpPacker::SetSSRC(uint32_t ssrc) {
  VZ_LOG("Set to new SSRC=%u from %u", ssrc, ssrc_);
  ssrc_ = ssrc;
  if (session_) session_->SetSourceId(ssrc);
}

int CVseRtpPacker::SetPayloadTypes(int media, int fec) {
  if (session_ && session_->SetPayloadTypes(media, fec) != 0) return -1;
  if (media == fec) return -1;
  media_type_ = media;
  fec_type_ = fec;
  return 0;
}

int CVseRtpPacker::ConfigureOutputs(int count, const OutputConfig* outputs) {
  if (count < 1 || count > ISvcPrioritySource::kMaxOutputs || outputs == nullptr) return -1;
  SvcOutput records[ISvcPrioritySource::kMaxOutputs];
  for (int i = 0; i < count; ++i) {
    SvcOutput& r = records[i];
    r.index = i;
    r.width = outputs[i].width;
    r.height = outputs[i].height;
    r.frame_rate = outputs[i].frame_rate;
    r.lowest_priority = 0;
    r.highest_priority = 14;
    r.priority_mode = outputs[i].priority_mode;
    if (mode_ == 3) {
      if (r.width == 160) { r.width = 96; r.height = 150; }
      else if (r.width == 320) { r.width = 192; r.height = 300; }
      else if (r.width == 640) { r.width = 384; r.height = 600; }
    }
  }
  return generator_.SetOutputs(count, records) == 0 ? 0 : -1;
}

int CVseRtpPacker::FecClass(int t, int q, int k) {
  switch (k) {
    case 1:
    case 2:
      return (t == 0 && q == 0) ? 0 : -1;
    case 3:
      if (t == 0) return q == 0 ? 0 : 3;
      if (t == 1 && q == 0) return 2;
      return -1;
    case 4:
      if (t == 0) return q == 0 ? 0 : 3;
      if (t == 1 && q == 0) return 1;
      if (t == 2 && q == 0) return 2;
      return -1;
    default:
      return -1;
  }
}

bool CVseRtpPacker::EnsurePackets(int count) {
  if (static_cast<int>(packets_.size()) >= count) return true;
  if (!packets_.empty()) {
    VZ_LOG("Re-allocate rtp buffer, as total_packet_num=%d , rtp_buffer_len=%d", count,
           static_cast<int>(packets_.size()));
  }
  // Earlier packets stay where they are; only new ones are added.
  while (static_cast<int>(packets_.size()) < count) {
    packets_.push_back(std::make_unique<CVseRtpPacket>(CVseRtpPacket::kDefaultCapacity));
    packet_ptrs_.push_back(packets_.back().get());
  }
  return true;
}

int CVseRtpPacker::pack(uint32_t timestamp_ms, const uint8_t* data, int length) {
  if (data == nullptr || length <= 4 || sink_ == nullptr) return -1;
  if (!session_) {
    session_.reset(CreateVseRTPSession(nullptr, ssrc_, kSvcSessionKind));
    if (!session_) return -1;
    session_->SetPayloadTypes(media_type_, fec_type_);
  }
  EnsurePackets(kInitialPackets);
  const uint8_t* nal = data + 4;
  const int n = length - 4;
  const int nal_type = NalTypeOf(nal[0]);

  int priorities[ISvcPrioritySource::kMaxOutputs] = {0, 0, 0, 0};
  int d = 0, t = 0, q = 0, k = 1;
  if (mode_ == 1 && priorities_ != nullptr) {
    if (nal_type == kNalSei) {
      VZ_LOG("received a SSEI message, length=%d time_stamp=%u", length, timestamp_ms);
    }
    if (priorities_->InputNal(nal, n) != 0) return -1;
    if (priorities_->Priorities(priorities, highest_slot_ + 1) != 0) {
      VZ_LOG_ERROR("Fail, caught exception in InputReceivedNal of Priority generator");
    }
    priorities_->LayerIdentity(&d, &t, &q);
    k = priorities_->TemporalLayerCount(d);
  }
  const int fec_class = FecClass(t, q, k);

  int c = (n + kBytesPerPacket - 1) / kBytesPerPacket;
  if (fec_class >= 0) {
    if (fec_class <= 2 && planning_.layer_count != nullptr) {
      c = std::max(c, planning_.layer_count(fec_class));
    }
    c = std::min(c, (n + kMinBytesPerPacket - 1) / kMinBytesPerPacket);
  }
  if (c <= 0) return -1;

  int f = 0;
  uint8_t levels[256] = {};
  if (fec_level_ >= 0 && fec_class >= 0 && planning_.plan != nullptr) {
    // The table covers up to 63 media packets: a larger NAL unit is planned
    // as 63, and the repair count is cut to what one group can carry.
    if (planning_.plan(fec_class, std::min(c, kMaxPlannedPackets), &f, levels, fec_level_) < 0) {
      return -1;
    }
    f = std::max(0, std::min({f, kMaxFecPackets, CMMRTPSession4SVC::kMaxGroupPackets - c}));
  }
  EnsurePackets(c + f);
  CVseRtpPacket* const* media = packet_ptrs_.data();
  CVseRtpPacket* const* fec = packet_ptrs_.data() + c;
  const uint32_t rtp_timestamp = timestamp_ms * 90u;
  const int packed = c == 1 ? session_->Single(rtp_timestamp, n, nal, media[0])
                            : session_->Fragment(rtp_timestamp, n, nal, c, media);
  if (packed != 0) return -1;

  uint8_t priority[CRtpOneByteHeaderExtend_Priority::kLength];
  CRtpOneByteHeaderExtend_Priority::Init(priority);
  for (int slot = 0; slot < 4; ++slot) {
    CRtpOneByteHeaderExtend_Priority::SetPriority(priority, slot,
                                                  priorities[std::min(slot, highest_slot_)]);
  }
  uint8_t timing[CRtpOneByteHeaderExtend_Timing::kLength];
  CRtpOneByteHeaderExtend_Timing::Init(timing);
  CRtpOneByteHeaderExtend_Timing::SetTimeMs(timing, timestamp_ms);
  uint8_t flags[CRtpOneByteHeaderExtend_FrameFlags::kLength];
  CRtpOneByteHeaderExtend_FrameFlags::Init(flags);
  CRtpOneByteHeaderExtend_FrameFlags::SetClassPresent(flags, fec_class >= 0);
  CRtpOneByteHeaderExtend_FrameFlags::SetClass(flags, std::max(fec_class, 0));

  for (int j = 0; j < c; ++j) {
    if (fec_class >= 0) {
      CRtpOneByteHeaderExtend_FrameFlags::SetFirst(flags, j == 0);
      CRtpOneByteHeaderExtend_FrameFlags::SetLast(flags, j == c - 1);
    }
    const uint8_t* elements[] = {priority, flags, timing};
    const int lengths[] = {CRtpOneByteHeaderExtend_Priority::kLength,
                           CRtpOneByteHeaderExtend_FrameFlags::kLength,
                           CRtpOneByteHeaderExtend_Timing::kLength};
    if (!AddOneByteElements(media[j], elements, lengths, 3)) return -1;
  }
  if (f > 0) {
    if (session_->MakeReedSolomonFec(media, c, fec, f) != 0) return -1;
    uint8_t level[CRtpOneByteHeaderExtend_FecLevel::kLength];
    CRtpOneByteHeaderExtend_FecLevel::Init(level);
    for (int i = 0; i < f; ++i) {
      CRtpOneByteHeaderExtend_FecLevel::SetLevel(level, levels[i]);
      const uint8_t* elements[] = {priority, level, timing};
      const int lengths[] = {CRtpOneByteHeaderExtend_Priority::kLength,
                             CRtpOneByteHeaderExtend_FecLevel::kLength,
                             CRtpOneByteHeaderExtend_Timing::kLength};
      if (!AddOneByteElements(fec[i], elements, lengths, 3)) return -1;
    }
  }
  sink_->Deliver(timestamp_ms, media, c);
  if (f > 0) sink_->Deliver(timestamp_ms, fec, f);
  return 0;
}
