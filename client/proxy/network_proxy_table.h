#pragma once
// The proxies of the user's network, found once per process and handed out
// one at a time (see proxy_provider.h).
#include <cstdint>

#include "contracts/network_proxy_entry.h"

constexpr int32_t kMaxNetworkProxies = 32;

struct NetworkProxyTable {
  bool Initialised = false;  // set by the first hand-out, never cleared
  int32_t Count = 0;         // entries filled
  int32_t Current = 0;       // index of the entry last handed out
  NetworkProxyEntry Entries[kMaxNetworkProxies] = {};  // later entries are not kept
};
