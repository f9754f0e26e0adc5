#pragma once
// MD5 of pixel data, the key under which the cache table finds an image
// already sent. Computed by libcrypto (EVP); nothing of the digest is ours.
//
// Failure: Update/Finish return false (with a log line) when libcrypto
// refuses; the caller must then treat the image as having no digest.
// Threads: one object per thread; separate objects are independent.
#include <cstddef>
#include <cstdint>

struct evp_md_ctx_st;

class CMd5Digest {
 public:
  static constexpr size_t kSize = 16;

  CMd5Digest();
  ~CMd5Digest();
  CMd5Digest(const CMd5Digest&) = delete;
  CMd5Digest& operator=(const CMd5Digest&) = delete;

  // Starts a new digest, dropping anything fed before.
  bool Begin();
  bool Update(const void* bytes, size_t size);
  // Writes the 16-byte digest and ends this one; Begin starts the next.
  bool Finish(uint8_t out[kSize]);

  // One-shot form of Begin, Update, Finish.
  static bool ComputeForTesting(const void* bytes, size_t size, uint8_t out[kSize]);

 private:
  evp_md_ctx_st* context_ = nullptr;
  bool started_ = false;
};
