#pragma once
// A member's credential: the token that the relay's meeting secret signs
// for one meeting, roster id and role. Whoever holds the secret (vzrelay,
// or whoever plays the web page beside it) makes the tokens; a member that
// holds only its own token cannot make one for another roster id or role.
// The token travels in the join's token field, bare or as sharing joins
// wrap it ("VDS <meeting id>:<token>").
//
// Threads: any; no state.
#include <string>

#include "contracts/member_token.h"

namespace vzrelay {

// The token itself and its roles are the contracts' (member_token.h).
using ::kMinMemberSecret;
using ::MakeMemberToken;
using ::MemberRole;
using ::MemberRoleName;
using ::ReadMemberSecret;

// "attendee" or "presenter" (MemberRoleName); false for any other text.
bool ParseMemberRole(const std::string& text, MemberRole* role);

// Whether `token` (bare or wrapped) is the one `secret` signs for the
// meeting, roster id and role. The comparison takes the same time
// wherever the token differs.
bool MemberTokenAdmits(const std::string& secret, const std::string& token, const std::string& meeting,
                       const std::string& roster, MemberRole role);

// Equal bytes, in a time that depends on the lengths only.
bool SameBytesInConstantTime(const std::string& a, const std::string& b);

}  // namespace vzrelay
