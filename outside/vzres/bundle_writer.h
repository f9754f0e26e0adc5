#pragma once
// Builds the bytes of a resource bundle file from its entries.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "outside/vzres/bundle_format.h"

namespace vzres {

class BundleWriter {
 public:
  // False when an entry of that kind, id and language was added before.
  bool Add(ResourceKind kind, uint32_t id, uint32_t language, std::string_view bytes);
  bool Has(ResourceKind kind, uint32_t id, uint32_t language) const;
  // The whole file. False when it would not fit the 32-bit offsets.
  bool Write(std::string* out) const;

 private:
  std::map<std::tuple<uint32_t, uint32_t, uint32_t>, std::string> entries_;
};

}  // namespace vzres
