#include "outside/vzwire/relay/member_credential.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>
#include <fstream>

#include "common/trace_client.h"

namespace vzrelay {
namespace {

// Each field with its length first, so that no two different triples sign
// the same bytes (roster ids may hold any byte).
void PutField(std::string* out, const std::string& field) {
  const uint32_t size = static_cast<uint32_t>(field.size());
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((size >> shift) & 0xFF));
  out->append(field);
}

// The token without a sharing join's "VDS <meeting id>:" in front.
std::string BareToken(const std::string& token, const std::string& meeting) {
  const std::string wrapped = "VDS " + meeting + ":";
  if (token.size() > wrapped.size() && token.compare(0, wrapped.size(), wrapped) == 0) {
    return token.substr(wrapped.size());
  }
  return token;
}

}  // namespace

const char* MemberRoleName(MemberRole role) { return role == MemberRole::kPresenter ? "presenter" : "attendee"; }

bool ParseMemberRole(const std::string& text, MemberRole* role) {
  if (text == "presenter") {
    *role = MemberRole::kPresenter;
  } else if (text == "attendee") {
    *role = MemberRole::kAttendee;
  } else {
    return false;
  }
  return true;
}

std::string MakeMemberToken(const std::string& secret, const std::string& meeting, const std::string& roster,
                            MemberRole role) {
  if (secret.size() < kMinMemberSecret) return std::string();
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

bool MemberTokenAdmits(const std::string& secret, const std::string& token, const std::string& meeting,
                       const std::string& roster, MemberRole role) {
  const std::string expected = MakeMemberToken(secret, meeting, roster, role);
  return !expected.empty() && SameBytesInConstantTime(BareToken(token, meeting), expected);
}

bool SameBytesInConstantTime(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char differ = 0;
  for (size_t i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  return differ == 0;
}

bool ReadMemberSecret(const std::string& path, std::string* secret, std::string* why) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *why = "cannot read the secret file " + path;
    return false;
  }
  std::string line;
  std::getline(file, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() < kMinMemberSecret) {
    *why = "the secret in " + path + " has " + std::to_string(line.size()) + " bytes; at least " +
           std::to_string(kMinMemberSecret) + " are needed";
    return false;
  }
  *secret = line;
  return true;
}

}  // namespace vzrelay
