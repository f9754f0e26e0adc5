// Fuzz target: proxy list text read straight, and proxy URLs (one a line)
// converted by the discovery port and then read.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/proxy/proxy_list_parser.h"
#include "platform/proxy_discovery.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  NetworkProxyTable table;
  const std::u16string list = vz::Utf8ToUtf16(input);
  ParseProxyList(list.c_str(), &table);
  if (table.Count < 0 || table.Count > kMaxNetworkProxies) __builtin_trap();

  std::vector<std::string> urls;
  size_t start = 0;
  while (start <= input.size()) {
    const size_t end = input.find('\n', start);
    const size_t stop = end == std::string_view::npos ? input.size() : end;
    urls.emplace_back(input.substr(start, stop - start));
    start = stop + 1;
  }
  if (const std::optional<std::u16string> converted = vz::ProxyListFromUrls(urls)) {
    NetworkProxyTable converted_table;
    ParseProxyList(converted->c_str(), &converted_table);
    // Every piece the port produces is one the parser keeps.
    std::vector<std::u16string> pieces;
    SplitText(*converted, u';', &pieces);
    const size_t expected = pieces.size() < kMaxNetworkProxies ? pieces.size() : kMaxNetworkProxies;
    if (static_cast<size_t>(converted_table.Count) != expected) __builtin_trap();
  }
  return 0;
}
