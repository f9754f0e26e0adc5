// Discovery, credentials and the hand-out order of the network's proxies.
#include "client/proxy/network_proxy_selector.h"

#include <memory>
#include <optional>
#include <string>

#include "client/proxy/proxy_credentials.h"
#include "client/proxy/proxy_list_parser.h"
#include "common/trace_client.h"
#include "platform/text.h"

// The hand-out's lines go to the log file and to the web page's log alike.
#define VZ_LOG_AND_COLLECT(fmt, ...)   \
  do {                                 \
    VZ_LOG(fmt, ##__VA_ARGS__);        \
    VZ_COLLECT(fmt, ##__VA_ARGS__);    \
  } while (false)

namespace {
// How often a selected proxy may fail before it is given up.
constexpr int32_t kMaxRetriesOfSelectedProxy = 3;
}  // namespace

NetworkProxySelector::NetworkProxySelector(vz::ProxyDiscovery& discovery, vz::SettingsStore* store)
    : discovery_(discovery), store_(store) {}

vz::SettingsStore& NetworkProxySelector::Store() { return store_ != nullptr ? *store_ : vz::UserSettings(); }

NetworkProxyTable* NetworkProxySelector::DiscoverNetworkProxies() {
  const std::optional<std::u16string> list = discovery_.ProxyListFor(kProxyProbeUrl);
  if (!list) return nullptr;  // a direct connection or a failed lookup (logged by the port)
  return ParseProxyList(list->c_str(), &table_);
}

const NetworkProxyEntry* NetworkProxySelector::FirstNetworkProxy() {
  table_.Initialised = true;
  if (DiscoverNetworkProxies() == nullptr) {
    VZ_LOG_AND_COLLECT("don't have proxy for current network.");
    return nullptr;
  }
  for (int32_t i = 0; i < table_.Count; ++i) {
    NetworkProxyEntry& entry = table_.Entries[i];
    LoadProxyCredentials(&entry);
    const char16_t* scheme = entry.HttpProxy != 0 ? u"HTTP" : u"HTTPS";
    VZ_LOGW(u"found proxy [%s]=[%s]:[%d] anthentication [%d]", scheme, entry.Host, entry.Port,
            entry.Authentication);
    VZ_COLLECT("found proxy [%s]=[%s]:[%d] anthentication [%d]", entry.HttpProxy != 0 ? "HTTP" : "HTTPS",
               vz::Utf16ToUtf8(entry.Host).c_str(), entry.Port, entry.Authentication);
  }
  VZ_LOG_AND_COLLECT("proxy count [%d], current [%d]", table_.Count, table_.Current);
  table_.Current = 0;
  return &table_.Entries[0];
}

const NetworkProxyEntry* NetworkProxySelector::VZGetNetworkProxy() {
  if (!table_.Initialised) return FirstNetworkProxy();

  VZ_LOG_AND_COLLECT("proxy count [%d], current [%d]", table_.Count, table_.Current);
  if (table_.Current < 0 || table_.Current >= table_.Count) return nullptr;
  NetworkProxyEntry& current = table_.Entries[table_.Current];
  if (current.Success != 0) {
    if (current.RetryCount <= kMaxRetriesOfSelectedProxy) return &current;
    current.RetryCount = 0;
    return nullptr;
  }
  if (table_.Current + 1 < table_.Count) {
    ++table_.Current;
    return &table_.Entries[table_.Current];
  }
  return nullptr;
}

bool NetworkProxySelector::LoadProxyCredentials(NetworkProxyEntry* entry) {
  return ::LoadProxyCredentials(entry, Store());
}

void NetworkProxySelector::SaveProxyCredentials(const NetworkProxyEntry* entry) {
  ::SaveProxyCredentials(entry, Store());
}

IProxyProvider& ProcessProxyProvider() {
  static const std::unique_ptr<vz::ProxyDiscovery> discovery = vz::CreateSystemProxyDiscovery();
  static NetworkProxySelector selector(*discovery, nullptr);
  return selector;
}
