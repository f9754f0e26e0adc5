#pragma once
// The port that finds the proxies of the user's network: the desktop's or the
// environment's settings, a PAC script or WPAD, whatever the platform offers.
// It answers with proxy list text, pieces "scheme=host:port" separated by ";"
// (a piece may also be "host:port" alone), so that one parser reads every
// platform's answer.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

class ProxyDiscovery {
 public:
  virtual ~ProxyDiscovery() = default;

  // The proxies to use for `url`. Nothing when the connection is direct, when
  // no proxy is configured or when the lookup failed (each failure logged).
  // May block while a PAC script or WPAD is consulted.
  virtual std::optional<std::u16string> ProxyListFor(std::string_view url) = 0;
};

// The platform's discovery (libproxy here).
std::unique_ptr<ProxyDiscovery> CreateSystemProxyDiscovery();

// Converts proxy URLs in the platform's order into list text:
// "http://h:p" -> "http=h:p", "https://h:p" -> "https=h:p", every socks
// flavour -> "socks=h:p"; "direct://" and unusable URLs are dropped, user
// information and paths are left out, and a missing port becomes the
// scheme's usual one (80, 443, 1080). Nothing when no piece is left.
std::optional<std::u16string> ProxyListFromUrls(const std::vector<std::string>& urls);

}  // namespace vz
