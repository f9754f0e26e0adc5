#pragma once
// What the meeting controller and the main frame use of the proxy module.
// Lives on the UI thread: every call comes from there, and nothing locks.
#include "contracts/network_proxy_entry.h"
#include "client/proxy/network_proxy_table.h"

class IProxyProvider {
 public:
  virtual ~IProxyProvider() = default;

  // Hand-out. The first call discovers the network's proxies (once per
  // provider, even when it finds none), loads their stored credentials and
  // returns the first entry. Each later call returns the next entry (the
  // call to make after a session failed through the current one), and null
  // once the list is used up, and on every call after that. Null when there
  // are no proxies. The pointer stays valid for the provider's life; callers
  // copy the entry. An entry with neither scheme flag set (IsProxyInUse()
  // false) counts as no proxy.
  virtual const NetworkProxyEntry* VZGetNetworkProxy() = 0;

  // The whole table, for the log of all proxies. Never null; empty until the
  // first VZGetNetworkProxy().
  virtual const NetworkProxyTable* GetNetworkProxyTable() const = 0;

  // Credentials stored for the entry's Host. Fills UserName and Password from
  // the store (a missing value leaves the field as it was), sets
  // Authentication to 1 and returns true when both are non-empty afterwards.
  virtual bool LoadProxyCredentials(NetworkProxyEntry* entry) = 0;

  // Stores the entry's UserName and scrambled Password under its Host. Does
  // nothing for a null entry or an empty name or password; a store that
  // cannot be written is logged. Entries already handed out are not changed:
  // saved credentials reach the table on the next process start.
  virtual void SaveProxyCredentials(const NetworkProxyEntry* entry) = 0;
};

// The process-wide provider: discovery through the platform's proxy
// configuration, credentials in the user's settings store. Made on first use.
IProxyProvider& ProcessProxyProvider();
