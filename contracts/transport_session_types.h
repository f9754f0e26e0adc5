#pragma once
// The session types of the media transport: what a client passes to
// VzCreateTransport, and what a member's join names to the relay, which
// keys its sessions and picks each session's role by them.
#include <cstdint>

inline constexpr uint8_t kTransportSessionVideo = 2;
inline constexpr uint8_t kTransportSessionSharing = 3;
