#include "bridge/json_plain_run.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace {

bool NeedsEscape(char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }

size_t BytesRun(const char* text, size_t size) {
  size_t at = 0;
  while (at < size && !NeedsEscape(text[at])) ++at;
  return at;
}

// Sixteen bytes compared at once; the compiler picks the machine's vector
// instructions (SSE2 on every x86-64).
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

Bytes16 Load(const char* at) {
  Bytes16 block;
  std::memcpy(&block, at, sizeof(block));
  return block;
}

Bytes16 Hits(Bytes16 block) { return (block == '"') | (block == '\\') | (block < 0x20); }

bool Any(Bytes16 hits) {
  uint64_t low, high;
  std::memcpy(&low, &hits, 8);
  std::memcpy(&high, reinterpret_cast<const char*>(&hits) + 8, 8);
  return (low | high) != 0;
}

// The index of the first hit in a block that has one (little-endian: the
// lowest set byte comes first).
size_t FirstHit(Bytes16 hits) {
  uint64_t low, high;
  std::memcpy(&low, &hits, 8);
  std::memcpy(&high, reinterpret_cast<const char*>(&hits) + 8, 8);
  return low != 0 ? static_cast<size_t>(__builtin_ctzll(low)) / 8 : 8 + static_cast<size_t>(__builtin_ctzll(high)) / 8;
}

size_t Vector16Run(const char* text, size_t size) {
  size_t at = 0;
  // A cache line a step: one test of the four blocks' hits together.
  while (size - at >= 64) {
    const Bytes16 a = Hits(Load(text + at)), b = Hits(Load(text + at + 16));
    const Bytes16 c = Hits(Load(text + at + 32)), d = Hits(Load(text + at + 48));
    if (Any(a | b | c | d)) break;
    at += 64;
  }
  while (size - at >= 16) {
    const Bytes16 hits = Hits(Load(text + at));
    if (Any(hits)) return at + FirstHit(hits);
    at += 16;
  }
  return at + BytesRun(text + at, size - at);
}

__attribute__((target("avx2"))) uint32_t Avx2Hits(const char* at) {
  const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i below = _mm256_set1_epi8(0x1f);
  // A byte is at most 0x1f when the unsigned maximum with 0x1f leaves 0x1f.
  const __m256i control = _mm256_cmpeq_epi8(_mm256_max_epu8(block, below), below);
  const __m256i quote = _mm256_cmpeq_epi8(block, _mm256_set1_epi8('"'));
  const __m256i backslash = _mm256_cmpeq_epi8(block, _mm256_set1_epi8('\\'));
  return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(control, _mm256_or_si256(quote, backslash))));
}

__attribute__((target("avx2"))) size_t Avx2Run(const char* text, size_t size) {
  size_t at = 0;
  while (size - at >= 64) {
    const uint64_t hits = uint64_t{Avx2Hits(text + at)} | uint64_t{Avx2Hits(text + at + 32)} << 32;
    if (hits != 0) return at + static_cast<size_t>(__builtin_ctzll(hits));
    at += 64;
  }
  return at + Vector16Run(text + at, size - at);
}

JsonPlainRunFn BestKernel() {
  static const JsonPlainRunFn best = __builtin_cpu_supports("avx2") ? Avx2Run : Vector16Run;
  return best;
}

}  // namespace

size_t JsonPlainRunLength(const char* text, size_t size) { return BestKernel()(text, size); }

JsonPlainRunFn JsonPlainRunKernel(JsonScanKernel kind) {
  switch (kind) {
    case JsonScanKernel::kBytes:
      return BytesRun;
    case JsonScanKernel::kVector16:
      return Vector16Run;
    case JsonScanKernel::kAvx2:
      return __builtin_cpu_supports("avx2") ? Avx2Run : nullptr;
  }
  return nullptr;
}
