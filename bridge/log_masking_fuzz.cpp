// Feeds arbitrary bytes to the masks of vzbridge's log lines: nothing breaks,
// and a text with no string and no address in it comes back as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge/log_masking.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string masked = vzbridge::MaskedMessageForLog(text);
  if (text.find('"') == std::string_view::npos && masked != text) std::abort();
  const std::string address = vzbridge::MaskedAddressForLog(text);
  if (text.find_first_of("@?") == std::string_view::npos && address != text) std::abort();
  return 0;
}
