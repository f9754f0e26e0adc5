#pragma once
// The two lists that the audio engine hands to the client and the client
// hands unchanged to the web link's audio reports: a pointer to the first
// entry and a count.
#include <cstddef>
#include <cstdint>

// One active speaker; the report lists only `Speaker`.
struct ACSpeakerEntry {
  uint32_t First;    // the engine's own; not reported
  uint32_t Speaker;  // the number the report lists
  uint32_t Third;    // the engine's own; not reported
};
static_assert(sizeof(ACSpeakerEntry) == 12);

// One participant's audio network figures.
struct ACRosterNetworkEntry {
  uint32_t Ssrc;
  uint32_t LossRate;
  uint32_t Latency;
  uint32_t Jitter;
  uint32_t Quality;  // 0 "good", 1 "medium", 2 "weak", 3 "bad"
};
static_assert(sizeof(ACRosterNetworkEntry) == 20);
static_assert(offsetof(ACRosterNetworkEntry, Quality) == 16);
