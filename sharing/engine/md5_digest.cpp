#include "sharing/engine/md5_digest.h"

#include <openssl/evp.h>

#include "common/trace_client.h"

CMd5Digest::CMd5Digest() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr) VZ_LOG_ERROR("EVP_MD_CTX_new failed.");
}

CMd5Digest::~CMd5Digest() { EVP_MD_CTX_free(context_); }

bool CMd5Digest::Begin() {
  started_ = false;
  if (context_ == nullptr) return false;
  if (EVP_DigestInit_ex(context_, EVP_md5(), nullptr) != 1) {
    VZ_LOG_ERROR("EVP_DigestInit_ex(md5) failed.");
    return false;
  }
  started_ = true;
  return true;
}

bool CMd5Digest::Update(const void* bytes, size_t size) {
  if (!started_) {
    VZ_LOG_ERROR("digest update without a started digest.");
    return false;
  }
  if (size == 0) return true;
  if (EVP_DigestUpdate(context_, bytes, size) != 1) {
    VZ_LOG_ERROR("EVP_DigestUpdate failed, size [%zu].", size);
    started_ = false;
    return false;
  }
  return true;
}

bool CMd5Digest::Finish(uint8_t out[kSize]) {
  if (!started_) {
    VZ_LOG_ERROR("digest finish without a started digest.");
    return false;
  }
  started_ = false;
  unsigned int written = 0;
  if (EVP_DigestFinal_ex(context_, out, &written) != 1 || written != kSize) {
    VZ_LOG_ERROR("EVP_DigestFinal_ex failed, written [%u].", written);
    return false;
  }
  return true;
}

bool CMd5Digest::ComputeForTesting(const void* bytes, size_t size, uint8_t out[kSize]) {
  CMd5Digest digest;
  return digest.Begin() && digest.Update(bytes, size) && digest.Finish(out);
}
