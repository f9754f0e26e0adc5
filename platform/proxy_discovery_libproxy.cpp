// The proxy discovery port over libproxy, which reads the environment's
// proxy variables, the desktop's settings, PAC scripts and WPAD in one call.
#include <proxy.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_log.h"
#include "platform/proxy_discovery.h"

namespace vz {
namespace {

class LibproxyDiscovery : public ProxyDiscovery {
 public:
  std::optional<std::u16string> ProxyListFor(std::string_view url) override {
    // A fresh factory each time: discovery runs once per process, and a new
    // factory reads the settings as they are now.
    std::unique_ptr<pxProxyFactory, decltype(&px_proxy_factory_free)> factory(px_proxy_factory_new(),
                                                                             &px_proxy_factory_free);
    if (!factory) {
      PlatformLog("proxy discovery: libproxy could not be started");
      return std::nullopt;
    }
    const std::string url_text(url);
    std::unique_ptr<char*, decltype(&px_proxy_factory_free_proxies)> proxies(
        px_proxy_factory_get_proxies(factory.get(), url_text.c_str()), &px_proxy_factory_free_proxies);
    if (!proxies) {
      PlatformLog("proxy discovery: libproxy gave no answer for [%s]", url_text.c_str());
      return std::nullopt;
    }
    std::vector<std::string> urls;
    for (char** proxy = proxies.get(); *proxy != nullptr; ++proxy) urls.emplace_back(*proxy);
    return ProxyListFromUrls(urls);
  }
};

}  // namespace

std::unique_ptr<ProxyDiscovery> CreateSystemProxyDiscovery() { return std::make_unique<LibproxyDiscovery>(); }

}  // namespace vz
