#pragma once
// The proxy module: discovers the network's proxies once, keeps them in its
// table with their stored credentials, and hands them out one at a time.
// Lives on the UI thread; nothing locks.
#include "client/proxy/network_proxy_table.h"
#include "client/proxy/proxy_provider.h"
#include "platform/proxy_discovery.h"
#include "platform/settings_store.h"

// The address whose proxies are asked for: the maker's web host, plain HTTP,
// port 80, path "/". Nothing is ever sent to it.
inline constexpr char kProxyProbeUrl[] = "http://www.velzar.com/";

class NetworkProxySelector final : public IProxyProvider {
 public:
  // Both stay the caller's. A null store means the user's settings store,
  // looked up at each use.
  NetworkProxySelector(vz::ProxyDiscovery& discovery, vz::SettingsStore* store);

  const NetworkProxyEntry* VZGetNetworkProxy() override;
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table_; }
  bool LoadProxyCredentials(NetworkProxyEntry* entry) override;
  void SaveProxyCredentials(const NetworkProxyEntry* entry) override;

  // Asks the platform for the probe address's proxies and parses its answer
  // into the table. The table when it holds an entry afterwards, else null.
  NetworkProxyTable* DiscoverNetworkProxies();

 private:
  const NetworkProxyEntry* FirstNetworkProxy();
  vz::SettingsStore& Store();

  vz::ProxyDiscovery& discovery_;
  vz::SettingsStore* store_;
  NetworkProxyTable table_;
};
