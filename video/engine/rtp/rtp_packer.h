#pragma once
// CVseRtpPacker: turns each encoded SVC NAL unit (behind a 4-byte start
// code) into media packets (single NAL unit or FU-A) with their one-byte
// extension elements, plus Reed-Solomon FEC packets planned by the FEC
// class and level, and hands both sets to the output sink.
//
// A NAL unit too large for the FEC group limit (256 packets) or the repair
// table is still sent: FEC is cut to what fits, down to none.
//
// Threads: the send channel's encoding thread; the sink is called on it.
#include <cstdint>
#include <memory>
#include <vector>

#include "video/engine/rtp/rtp_session_svc.h"
#include "video/engine/rtp/svc_priority_generator.h"
#include "video/engine/rtp/svc_priority_source.h"

class CVseRtpPacket;

// The send channel's receiver of packed packets: media first, then FEC.
class IRtpPackerSink {
 public:
  virtual ~IRtpPackerSink() = default;
  virtual void Deliver(uint32_t timestamp_ms, CVseRtpPacket* const* packets, int count) = 0;
};

// The FEC planning tables the packer reads: repair packets (cumulative over
// levels) for n media packets of a class, and the minimum packet count of a
// class. `plan` fills *total and one level byte per repair packet; it
// returns -1 on bad input and covers n up to kMaxPlannedPackets.
struct FecPlanning {
  int (*plan)(int profile, int n, int* total, uint8_t* levels, int max_level) = nullptr;
  int (*layer_count)(int index) = nullptr;
};
// The engine's repair table and layer counts.
FecPlanning DefaultFecPlanning();

class CVseRtpPacker {
 public:
  static constexpr int kInitialPackets = 128;
  static constexpr int kMaxPlannedPackets = 63;  // rows of the repair table
  static constexpr int kMaxFecPackets = 64;
  static constexpr int kBytesPerPacket = 1000;
  static constexpr int kMinBytesPerPacket = 500;

  // Output configuration of one receiver class.
  struct OutputConfig {
    int width = 0;
    int height = 0;
    float frame_rate = 0;
    int priority_mode = 0;
  };

  // Priorities and layer identity come, in mode 1, from `priorities` when
  // given (not owned), else from the packer's own SVC priority generator.
  CVseRtpPacker(uint32_t ssrc, IRtpPackerSink* sink,
                const FecPlanning& planning = DefaultFecPlanning(),
                ISvcPrioritySource* priorities = nullptr);
  ~CVseRtpPacker();

  // Packs one NAL unit given behind its start code; 0 when delivered,
  // -1 when nothing was sent.
  int pack(uint32_t timestamp_ms, const uint8_t* data, int length);
  void SetSSRC(uint32_t ssrc);
  void SetFecLevel(int level) { fec_level_ = level; }
  int SetPayloadTypes(int media, int fec);
  void SetMode(int mode) { mode_ = mode; }
  // Receiver classes for the own generator (1 to 4; else -1). In mode 3
  // the widths 160, 320 and 640 become 96 x 150, 192 x 300 and 384 x 600.
  int ConfigureOutputs(int count, const OutputConfig* outputs);
  void SetHighestPrioritySlot(int slot) { highest_slot_ = slot < 0 ? 0 : (slot > 3 ? 3 : slot); }

  // The FEC class of a layer (T, Q) in a stream of K temporal layers, or -1.
  static int FecClass(int t, int q, int k);

  size_t packet_array_size_for_testing() const { return packets_.size(); }

 private:
  struct SessionDeleter {
    void operator()(CMMRTPSession4SVC* s) const { DestroyVseRTPSession(s); }
  };
  bool EnsurePackets(int count);

  uint32_t ssrc_;
  IRtpPackerSink* sink_;
  FecPlanning planning_;
  ISvcPrioritySource* priorities_;
  CSvcPriorityGenerator generator_;
  std::unique_ptr<CMMRTPSession4SVC, SessionDeleter> session_;
  std::vector<std::unique_ptr<CVseRtpPacket>> packets_;
  std::vector<CVseRtpPacket*> packet_ptrs_;
  int fec_level_ = 0;
  int highest_slot_ = 0;
  int media_type_ = CMMRTPSessionBase::kDefaultMediaPayloadType;
  int fec_type_ = CMMRTPSessionBase::kDefaultFecPayloadType;
  int mode_ = 1;
};
