#include "video/engine/rtp/rtp_session_base.h"

#include <mutex>
#include <random>

#include "common/trace_client.h"
#include "video/engine/rtp/reed_solomon_cache.h"
#include "video/engine/rtp/wall_clock.h"

uint16_t NextRandomSequenceStart() {
  static std::mutex lock;
  static std::minstd_rand generator;
  static bool seeded = false;
  std::lock_guard<std::mutex> guard(lock);
  if (!seeded) {
    int64_t seconds = 0;
    int32_t micros = 0;
    CWallClock::Instance().Now(&seconds, &micros);
    generator.seed(static_cast<uint32_t>(seconds) | NtpFraction(static_cast<uint32_t>(micros)));
    seeded = true;
  }
  for (;;) {
    const uint16_t value = static_cast<uint16_t>(generator() % 32768u);
    if (value != 0) return value;
  }
}

CMMRTPSessionBase::CMMRTPSessionBase(uint32_t ssrc)
    : ssrc_(ssrc), media_sequence_(NextRandomSequenceStart()),
      fec_sequence_(NextRandomSequenceStart()) {
  vz::rtp::ReedSolomonSessionStarted();
}

CMMRTPSessionBase::~CMMRTPSessionBase() { vz::rtp::ReedSolomonSessionEnded(); }

void CMMRTPSessionBase::SetSourceId(uint32_t ssrc) {
  VZ_LOG("new SSRC=%u from %u", ssrc, ssrc_);
  ssrc_ = ssrc;
}
