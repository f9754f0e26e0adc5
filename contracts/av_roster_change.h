#pragma once
// The kind of a video roster change: the rosterType of an AV_ROSTER_CHANGE
// signalling message (avdef.proto), which the video server writes and the
// conference client reads. Any other value is ignored by the client.
#include <cstdint>

// The members listed came (a newcomer hears of everyone, itself included).
constexpr uint32_t kServerRosterEntered = 1;
// The members listed went.
constexpr uint32_t kServerRosterLeft = 2;
// The members listed changed (status, spotlight, active speaker, SSRC).
constexpr uint32_t kServerRosterUpdated = 3;
