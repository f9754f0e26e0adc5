#include "video/engine/rtp/gf256.h"

#include <mutex>

namespace vz::rtp {

namespace {

void Build(Gf256Tables* t) {
  int x = 1;
  for (int i = 0; i < 255; ++i) {
    t->exp[i] = static_cast<uint8_t>(x);
    t->exp[i + 255] = static_cast<uint8_t>(x);
    t->log[x] = static_cast<uint8_t>(i);
    x <<= 1;
    if (x & 0x100) x ^= 0x11D;
  }
  t->log[0] = 255;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      if (a == 0 || b == 0) {
        t->mul[a][b] = 0;
        t->div[a][b] = 0;
        continue;
      }
      t->mul[a][b] = t->exp[t->log[a] + t->log[b]];
      t->div[a][b] = t->exp[t->log[a] + 255 - t->log[b]];
    }
  }
}

}  // namespace

const Gf256Tables& Gf256() {
  static Gf256Tables tables;
  static std::once_flag once;
  std::call_once(once, [] { Build(&tables); });
  return tables;
}

}  // namespace vz::rtp
