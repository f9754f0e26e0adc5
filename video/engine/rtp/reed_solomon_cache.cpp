#include "video/engine/rtp/reed_solomon_cache.h"

#include <map>
#include <mutex>

#include "video/engine/rtp/reed_solomon_codec.h"

namespace vz::rtp {

namespace {

struct Cache {
  std::mutex lock;
  std::map<int, std::shared_ptr<const CReedSolomonCodec>> codecs;
  int sessions = 0;
};

Cache& TheCache() {
  static Cache* cache = new Cache;  // never destroyed: sessions may end during exit
  return *cache;
}

}  // namespace

std::shared_ptr<const CReedSolomonCodec> GetReedSolomonCodec(int k, int n) {
  if (k < 1 || n > CReedSolomonCodec::kMaxPackets || k > n) return nullptr;
  Cache& cache = TheCache();
  const int key = (k << 16) | n;
  {
    std::lock_guard<std::mutex> guard(cache.lock);
    auto found = cache.codecs.find(key);
    if (found != cache.codecs.end()) return found->second;
  }
  // Built outside the lock: building a large codec takes a while.
  std::shared_ptr<const CReedSolomonCodec> made = CReedSolomonCodec::Create(k, n);
  if (!made) return nullptr;
  std::lock_guard<std::mutex> guard(cache.lock);
  auto inserted = cache.codecs.emplace(key, std::move(made));
  return inserted.first->second;
}

void ReedSolomonSessionStarted() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.lock);
  if (cache.sessions++ == 0) cache.codecs.clear();
}

void ReedSolomonSessionEnded() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.lock);
  if (cache.sessions > 0 && --cache.sessions == 0) cache.codecs.clear();
}

size_t ReedSolomonCacheSizeForTesting() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> guard(cache.lock);
  return cache.codecs.size();
}

}  // namespace vz::rtp
