#pragma once
// The meeting client's command line as a record: filled by VelzarHub from
// its arguments and copied whole (840 bytes, no pointers) by the web link,
// which reads the pipe name and the meeting id.
#include <cstddef>
#include <cstdint>

struct AppPeerConfig {
  char16_t RosterId[128];   // "/ROSTER:"
  char16_t MeetId[128];     // "/MEET:"
  char16_t Language[32];    // "/LAN:"
  char16_t PipeName[128];   // "/PN:"
  uint32_t BrowserProcessId;  // "/P:"
  int32_t ContainerWindow;    // "/W:"
};
static_assert(sizeof(AppPeerConfig) == 840);
static_assert(offsetof(AppPeerConfig, MeetId) == 256);
static_assert(offsetof(AppPeerConfig, Language) == 512);
static_assert(offsetof(AppPeerConfig, PipeName) == 576);
static_assert(offsetof(AppPeerConfig, BrowserProcessId) == 832);
static_assert(offsetof(AppPeerConfig, ContainerWindow) == 836);
