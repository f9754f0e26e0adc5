#include "weblink/json/json_value.h"

// A linear scan from the end, so that of repeated names the last one wins.
// The web page's objects hold a handful of members; a scan beats any index.
const JsonValue* JsonMembers::Find(std::string_view name) const {
  for (size_t i = count_; i-- > 0;) {
    if (first_[i].name == name) return &first_[i].value;
  }
  return nullptr;
}
