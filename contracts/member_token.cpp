#include "contracts/member_token.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>

#include "common/trace_client.h"
#include "platform/file_system.h"

namespace {

// Each field with its length first, so that no two different triples sign
// the same bytes (roster ids may hold any byte).
void PutField(std::string* out, const std::string& field) {
  const uint32_t size = static_cast<uint32_t>(field.size());
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((size >> shift) & 0xFF));
  out->append(field);
}

}  // namespace

const char* MemberRoleName(MemberRole role) { return role == MemberRole::kPresenter ? "presenter" : "attendee"; }

bool ReadMemberSecret(const std::string& path, std::string* secret, std::string* why) {
  std::string bytes;
  if (!vz::ReadPrivateFile(path, kMaxMemberSecretFile, &bytes, why)) {
    *why = "the meeting secret: " + *why;
    return false;
  }
  if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  if (bytes.size() < kMinMemberSecret) {
    *why = "the secret in " + path + " has " + std::to_string(bytes.size()) + " bytes; at least " +
           std::to_string(kMinMemberSecret) + " are needed";
    return false;
  }
  *secret = std::move(bytes);
  return true;
}

std::string MakeMemberToken(const std::string& secret, const std::string& meeting, const std::string& roster,
                            MemberRole role) {
  if (secret.size() < kMinMemberSecret || roster.empty()) return std::string();
  std::string signed_bytes;
  PutField(&signed_bytes, meeting);
  PutField(&signed_bytes, roster);
  PutField(&signed_bytes, MemberRoleName(role));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_size = 0;
  if (HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
           reinterpret_cast<const unsigned char*>(signed_bytes.data()), signed_bytes.size(), digest,
           &digest_size) == nullptr) {
    VZ_LOG_ERROR("the member token's HMAC failed");
    return std::string();
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  token.reserve(digest_size * 2);
  for (unsigned int i = 0; i < digest_size; ++i) {
    token.push_back(kHex[digest[i] >> 4]);
    token.push_back(kHex[digest[i] & 0x0F]);
  }
  return token;
}
