#include "platform/address_credentials.h"

namespace vz {

std::string AddressWithMaskedCredentials(std::string_view address) {
  std::string out(address);
  // The credentials end at the last "@" between "://" and the path, query or
  // fragment; an "@" after those is the path's own.
  const size_t scheme = out.find("://");
  const size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t path = out.find_first_of("/?#", authority);
  const size_t at = out.rfind('@', path == std::string::npos ? std::string::npos : path);
  if (at != std::string::npos && at >= authority && (path == std::string::npos || at < path)) {
    out.replace(authority, at - authority, "***");
  }
  return out;
}

}  // namespace vz
