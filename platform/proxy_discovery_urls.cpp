// From the proxy URLs a platform library answers with to proxy list text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/address_credentials.h"
#include "platform/platform_log.h"
#include "platform/proxy_discovery.h"
#include "platform/text.h"

namespace vz {
namespace {

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Characters that would break the list text or cannot be part of a host.
bool IsUsableHost(std::string_view host) {
  if (host.empty()) return false;
  for (const char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f || c == ';' || c == '=' || c == ':' || c == '[' || c == ']' ||
        c == '/' || c == '@') {
      return false;
    }
  }
  return true;
}

// "scheme=host:port" for one URL, or nothing when it means a direct
// connection or cannot be carried by the list text.
std::optional<std::string> PieceFor(std::string_view url) {
  std::string scheme;
  std::string_view rest = url;
  const size_t separator = url.find("://");
  if (separator == std::string_view::npos) {
    // A bare "host:port", as an environment variable may hold it: an HTTP proxy.
    scheme = "http";
  } else {
    scheme = std::string(url.substr(0, separator));
    for (char& c : scheme) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    rest = url.substr(separator + 3);
  }
  if (scheme == "direct") return std::nullopt;
  if (scheme.rfind("socks", 0) == 0) scheme = "socks";  // socks4, socks4a, socks5: one kind

  const size_t path = rest.find_first_of("/?#");
  if (path != std::string_view::npos) rest = rest.substr(0, path);
  const size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest = rest.substr(at + 1);  // credentials are not carried, nor logged

  std::string_view host = rest;
  std::string port;
  const size_t colon = rest.rfind(':');
  if (colon != std::string_view::npos && rest.find(']', colon) == std::string_view::npos) {
    host = rest.substr(0, colon);
    port = std::string(rest.substr(colon + 1));
  }
  if (port.empty()) {
    if (scheme == "http") port = "80";
    else if (scheme == "https") port = "443";
    else if (scheme == "socks") port = "1080";
  }
  if (!IsUsableHost(host) || !IsDigits(port) || scheme.empty() || !IsUsableHost(scheme)) {
    PlatformLog("proxy discovery: the proxy [%s] cannot be used, skipped", AddressWithMaskedCredentials(url).c_str());
    return std::nullopt;
  }
  return scheme + "=" + std::string(host) + ":" + port;
}

}  // namespace

std::optional<std::u16string> ProxyListFromUrls(const std::vector<std::string>& urls) {
  std::string list;
  for (const std::string& url : urls) {
    const std::optional<std::string> piece = PieceFor(url);
    if (!piece) continue;
    if (!list.empty()) list += ';';
    list += *piece;
  }
  if (list.empty()) return std::nullopt;
  return Utf8ToUtf16(list);
}

}  // namespace vz
