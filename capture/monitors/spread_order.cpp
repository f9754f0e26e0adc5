#include "capture/monitors/spread_order.h"

std::vector<int32_t> SpreadOrder(int32_t n) {
  std::vector<int32_t> order;
  if (n <= 0) return order;
  order.reserve(static_cast<size_t>(n));
  // Level by level; within a level the path bits are read from the lowest.
  for (int level = 0; static_cast<int32_t>(order.size()) < n && level < 32; ++level) {
    const uint64_t paths = uint64_t{1} << level;
    for (uint64_t path = 0; path < paths; ++path) {
      int64_t low = 0, count = n;
      bool empty = false;
      for (int depth = 0; depth < level; ++depth) {
        const int64_t root = low + count / 2;
        if ((path >> depth) & 1) {
          count = (count - 1) / 2;
          low = root + 1;
        } else {
          count = count / 2;
        }
        if (count <= 0) {
          empty = true;
          break;
        }
      }
      if (!empty) order.push_back(static_cast<int32_t>(low + count / 2));
    }
  }
  return order;
}
