// Parsing of the proxy list text into the proxy table.
#include "client/proxy/proxy_list_parser.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "common/trace_client.h"
#include "platform/text.h"

namespace {

// The port text as a decimal integer, read as far as it is one: leading
// blanks and a sign are allowed, the first other character ends it, and no
// digit at all gives 0. Saturates instead of overflowing.
int32_t ReadDecimal(std::u16string_view text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  int64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > std::numeric_limits<int32_t>::max()) {
      value = std::numeric_limits<int32_t>::max();
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

void SplitText(std::u16string_view text, char16_t separator, std::vector<std::u16string>* pieces) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(separator, start);
    const size_t stop = end == std::u16string_view::npos ? text.size() : end;
    if (stop > start) pieces->emplace_back(text.substr(start, stop - start));
    start = stop + 1;
  }
}

NetworkProxyTable* ParseProxyList(const char16_t* list, NetworkProxyTable* table) {
  if (list == nullptr || table == nullptr) return nullptr;
  VZ_LOGW(u"proxy : %s", list);

  std::vector<std::u16string> pieces;
  SplitText(list, u';', &pieces);
  for (size_t index = 0; index < pieces.size(); ++index) {
    const std::u16string& piece = pieces[index];
    VZ_LOGW(u"  [%d] = [%s]", static_cast<int>(index), piece.c_str());

    std::vector<std::u16string> parts;
    SplitText(piece, u'=', &parts);
    if (parts.empty()) continue;
    const std::u16string scheme = parts.size() >= 2 ? parts[0] : u"https";
    const std::u16string& address = parts.size() >= 2 ? parts[1] : parts[0];

    std::vector<std::u16string> host_and_port;
    SplitText(address, u':', &host_and_port);
    if (host_and_port.size() != 2) continue;
    const std::u16string& host = host_and_port[0];
    const std::u16string& port = host_and_port[1];
    VZ_LOGW(u"PROXY: [%s] [%s] = [%s]", scheme.c_str(), host.c_str(), port.c_str());

    if (table->Count < 0 || table->Count >= kMaxNetworkProxies) continue;
    NetworkProxyEntry& entry = table->Entries[table->Count];
    std::memset(&entry, 0, sizeof(entry));
    entry.HttpProxy = scheme == u"http" ? 1 : 0;
    entry.HttpsProxy = scheme == u"https" ? 1 : 0;
    entry.Authentication = 0;
    vz::CopyUtf16(entry.Host, std::size(entry.Host), host);
    entry.Port = ReadDecimal(port);
    ++table->Count;
  }
  return table->Count >= 1 ? table : nullptr;
}
