#pragma once
// CMMRTPSession4SVC: the RTP session of one H.264 SVC video stream.
//
// Send side (the packer's): cuts NAL units into single NAL unit, FU-A and
// STAP-A packets and builds the Reed-Solomon (mode 1) or XOR parity (mode 0)
// FEC packets that protect them. Media and FEC packets have separate
// sequence spaces, each starting at a random non-zero value.
//
// Receive side (a listen channel's): Input() stores media and FEC packets,
// repairs losses, rebuilds NAL units behind a 00 00 00 01 start code and
// hands each to the sink; frames are dropped 5,000 ms after their first
// packet, by the arrival time of any later input, stored or not. Every
// received byte is distrusted: packets failing the RTP check,
// FEC headers that contradict themselves and rebuilt packets whose length
// exceeds their buffer are dropped.
//
// Results: 0 success, -1 bad argument or inconsistent packet set, -2 wrong
// FEC mode, 1 no codec (send) or packet dropped (receive).
//
// Threads: one thread at a time (the packer's encoding thread or the listen
// channel's data thread); the sink is called on that thread.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "video/engine/rtp/rtp_session_base.h"

class CVseRtpPacket;

// The receiver of rebuilt NAL units: each packet's payload is the start code
// and the NAL unit; incomplete() is 0 when the NAL unit is whole.
class IRtpSessionSink {
 public:
  virtual ~IRtpSessionSink() = default;
  virtual void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) = 0;
};

class CMMRTPSession4SVC : public CMMRTPSessionBase {
 public:
  static constexpr int kMaxGroupPackets = 256;  // media plus FEC of one NAL unit
  static constexpr uint32_t kFrameLifetimeMs = 5000;
  static constexpr int kRsFecHeaderBytes = 8;
  static constexpr int kXorFecHeaderBytes = 12;

  CMMRTPSession4SVC(IRtpSessionSink* sink, uint32_t ssrc);
  ~CMMRTPSession4SVC() override;

  int SetPayloadTypes(int media, int fec);
  int SetFecModeForTesting(int mode);

  // Send side.
  int Single(uint32_t timestamp, int length, const uint8_t* nal, CVseRtpPacket* packet);
  int Fragment(uint32_t timestamp, int length, const uint8_t* nal, int count,
               CVseRtpPacket* const* packets);
  int AggregateForTesting(uint32_t timestamp, int count, const int* lengths, const uint8_t* const* nals,
                          CVseRtpPacket* packet);
  // m Reed-Solomon FEC packets over k media packets of consecutive sequence
  // numbers (wrap-around allowed).
  int MakeReedSolomonFec(CVseRtpPacket* const* media, int k, CVseRtpPacket* const* fec, int m);
  // One XOR parity packet over the media packets picked by mask bit i.
  int MakeXorFecForTesting(CVseRtpPacket* const* media, int count, uint32_t mask, CVseRtpPacket* fec);

  // Receive side.
  // -1 for null data, 1 when the packet was dropped (invalid, unknown
  // payload type), else 0.
  int Input(const uint8_t* data, int size, uint32_t arrival_ms);
  // Delivers what is present of the frame's NAL units not yet delivered,
  // marked incomplete where a piece is missing; 1 when nothing was delivered.
  int FlushFrameForTesting(uint32_t timestamp);

  struct Stats {
    uint64_t packets_made = 0, fec_packets_made = 0;
    uint64_t packets_received = 0, bytes_received = 0;
    uint64_t media_received = 0, media_bytes_received = 0;
    uint64_t fec_received = 0, fec_bytes_received = 0;
    uint64_t packets_recovered = 0, bytes_recovered = 0;
    uint64_t bytes_delivered = 0, nal_units_delivered = 0;
  };
  const Stats& stats() const { return stats_; }
  size_t stored_media_for_testing() const { return media_.size(); }
  size_t stored_fec_for_testing() const { return fec_.size(); }
  size_t stored_frames_for_testing() const { return frames_.size(); }

 private:
  struct NalRecord {
    int count = 1;
    bool complete = false;
    bool delivered = false;
  };
  struct Frame {
    uint32_t arrival_ms = 0;
    std::map<uint16_t, NalRecord> nals;  // by the sequence number of the first packet
    std::vector<uint16_t> media;
    std::vector<uint16_t> fec;
  };
  using PacketMap = std::map<uint16_t, std::unique_ptr<CVseRtpPacket>>;

  // Send.
  void PrepareMediaPacket(uint32_t timestamp, CVseRtpPacket* packet);
  void PrepareFecPacket(uint32_t timestamp, CVseRtpPacket* packet);

  // Receive.
  void MediaInput(std::unique_ptr<CVseRtpPacket> packet);
  void FecInput(std::unique_ptr<CVseRtpPacket> packet);
  // True while the FEC packet may still help.
  bool TryRecovery(const CVseRtpPacket& fec);
  bool TryReedSolomon(const CVseRtpPacket& fec);
  bool TryXor(const CVseRtpPacket& fec);
  void FecPass();
  void ProcessRecovered();
  void Repair();
  void Age();
  const CVseRtpPacket* Present(uint16_t sequence) const;
  void RecordInFrame(const CVseRtpPacket& packet);
  // The first packet of the NAL unit the packet belongs to, when present.
  bool FindNalStart(uint16_t sequence, uint16_t* first) const;
  void ProcessPacket(const CVseRtpPacket& packet);
  // Rebuilds the NAL unit starting at `first`; partial allows a run that stops
  // at a missing piece (flush).
  bool DeliverFragmented(uint16_t first, const NalRecord& record, bool partial);
  void DeliverStap(const CVseRtpPacket& packet, bool one_output);
  void ProcessPacketForFlush(const CVseRtpPacket& packet);
  void Deliver(std::unique_ptr<CVseRtpPacket> packet);
  NalRecord* FindRecord(uint32_t timestamp, uint16_t first);
  void DropFrame(std::map<uint32_t, Frame>::iterator frame);

  IRtpSessionSink* sink_;
  int fec_mode_ = 1;
  Stats stats_;
  PacketMap media_;
  PacketMap fec_;
  PacketMap recovered_;
  std::map<uint32_t, Frame> frames_;
  bool have_input_ = false;
  uint32_t first_input_ms_ = 0;
  uint32_t latest_input_ms_ = 0;
};

// Session kinds: only 2 (H.264 SVC) makes a session.
constexpr int kSvcSessionKind = 2;
// Null for any other kind.
CMMRTPSession4SVC* CreateVseRTPSession(IRtpSessionSink* sink, uint32_t ssrc, int kind);
void DestroyVseRTPSession(CMMRTPSession4SVC* session);
