#pragma once
// The proxy list text the platform's discovery answers with: pieces separated
// by ";", each "scheme=host:port" or "host:port" alone (then https).
#include <string>
#include <string_view>
#include <vector>

#include "client/proxy/network_proxy_table.h"

// Appends every maximal run of characters other than `separator` to `pieces`,
// in order; separators at the ends or next to each other add nothing.
void SplitText(std::u16string_view text, char16_t separator, std::vector<std::u16string>* pieces);

// Fills the table's next free entries from the list text (each piece logged).
// Schemes compare exactly: "http" sets HttpProxy, "https" or no scheme sets
// HttpsProxy, any other scheme sets neither but the entry is kept. Pieces
// without exactly one ":" in their address are skipped; entries past the
// table's capacity are not kept. Returns the table when it holds at least
// one entry afterwards, else null; null text or table gives null at once.
NetworkProxyTable* ParseProxyList(const char16_t* list, NetworkProxyTable* table);
