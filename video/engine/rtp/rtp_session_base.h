#pragma once
// CMMRTPSessionBase: what both directions of an RTP session share: the
// stream's SSRC, payload types, the two sequence counters (media and FEC,
// each starting at a random non-zero value) and the last NAL header byte.
// Joins the Reed-Solomon codec cache's session count for its lifetime.
//
// Threads: one thread at a time.
#include <cstdint>

class CMMRTPSessionBase {
 public:
  static constexpr int kDefaultMediaPayloadType = 98;
  static constexpr int kDefaultFecPayloadType = 111;

  explicit CMMRTPSessionBase(uint32_t ssrc);
  virtual ~CMMRTPSessionBase();
  CMMRTPSessionBase(const CMMRTPSessionBase&) = delete;
  CMMRTPSessionBase& operator=(const CMMRTPSessionBase&) = delete;

  void SetSourceId(uint32_t ssrc);
  uint32_t ssrc() const { return ssrc_; }
  uint16_t next_media_sequence_for_testing() const { return media_sequence_; }
  // Tests pin the sequence spaces.
  void SetSequencesForTesting(uint16_t media, uint16_t fec) {
    media_sequence_ = media;
    fec_sequence_ = fec;
  }

 protected:
  uint32_t ssrc_;
  int media_type_ = kDefaultMediaPayloadType;
  int fec_type_ = kDefaultFecPayloadType;
  uint16_t media_sequence_;
  uint16_t fec_sequence_;
  uint8_t last_nal_header_ = 0;
};

// The next non-zero value (1..32767) of the process's generator, seeded once
// from the wall clock.
uint16_t NextRandomSequenceStart();
