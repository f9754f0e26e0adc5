#include "outside/vzwire/relay/member_credential.h"

#include <fstream>

namespace vzrelay {
namespace {

// The token without a sharing join's "VDS <meeting id>:" in front.
std::string BareToken(const std::string& token, const std::string& meeting) {
  const std::string wrapped = "VDS " + meeting + ":";
  if (token.size() > wrapped.size() && token.compare(0, wrapped.size(), wrapped) == 0) {
    return token.substr(wrapped.size());
  }
  return token;
}

}  // namespace

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
