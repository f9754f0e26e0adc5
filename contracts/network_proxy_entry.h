#pragma once
// One proxy of the user's network, as the client builds it and passes it with
// every session start (audio, video, sharing) and on to the transport.
// 796 bytes, little-endian, no padding: it is copied whole across libraries.
#include <cstddef>
#include <cstdint>

struct NetworkProxyEntry {
  int32_t HttpProxy;   // 1 when the scheme was "http"
  int32_t Reserved;    // always 0
  int32_t HttpsProxy;  // 1 when the scheme was "https" or missing
  int32_t Success;     // selection flag; 0 in every entry the client builds
  int32_t RetryCount;  // failure count; 0 in every entry the client builds
  char16_t Host[128];  // at most 127 characters, terminated
  int32_t Port;
  int32_t Authentication;  // 1 when UserName and Password are both set
  char16_t UserName[128];
  char16_t Password[128];  // plain text, at most 127 characters
};
static_assert(sizeof(NetworkProxyEntry) == 796);
static_assert(offsetof(NetworkProxyEntry, HttpProxy) == 0);
static_assert(offsetof(NetworkProxyEntry, Reserved) == 4);
static_assert(offsetof(NetworkProxyEntry, HttpsProxy) == 8);
static_assert(offsetof(NetworkProxyEntry, Success) == 12);
static_assert(offsetof(NetworkProxyEntry, RetryCount) == 16);
static_assert(offsetof(NetworkProxyEntry, Host) == 20);
static_assert(offsetof(NetworkProxyEntry, Port) == 276);
static_assert(offsetof(NetworkProxyEntry, Authentication) == 280);
static_assert(offsetof(NetworkProxyEntry, UserName) == 284);
static_assert(offsetof(NetworkProxyEntry, Password) == 540);

// An entry with neither flag set counts as no proxy: callers pass null then.
inline bool IsProxyInUse(const NetworkProxyEntry& entry) {
  return entry.HttpProxy != 0 || entry.HttpsProxy != 0;
}
