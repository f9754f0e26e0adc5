#pragma once
// The process's codecs, one per (k, n), made on first use and kept while RTP
// sessions live: the first session to start empties the cache and the last
// one to end frees every codec. A codec handed out stays valid for as long
// as its holder keeps the pointer, even across a clear.
//
// Threads: any; every operation takes the cache's lock.
#include <cstddef>
#include <memory>

class CReedSolomonCodec;

namespace vz::rtp {

// The (k, n) codec, or null for parameters a codec refuses.
std::shared_ptr<const CReedSolomonCodec> GetReedSolomonCodec(int k, int n);

// The session count that governs the cache.
void ReedSolomonSessionStarted();
void ReedSolomonSessionEnded();

size_t ReedSolomonCacheSizeForTesting();

}  // namespace vz::rtp
