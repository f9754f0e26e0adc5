#include "outside/vzwire/relay/member_credential.h"

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

}  // namespace vzrelay
