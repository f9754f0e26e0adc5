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

namespace vzrelay {

enum class MemberRole { kAttendee, kPresenter };

// "attendee" or "presenter".
const char* MemberRoleName(MemberRole role);
// False for any other text.
bool ParseMemberRole(const std::string& text, MemberRole* role);

// The fewest bytes a meeting secret has.
constexpr size_t kMinMemberSecret = 16;

// 64 lower-case hex digits: HMAC-SHA256 under `secret` of the meeting id,
// roster id and role, each preceded by its length. Empty when the secret
// is shorter than kMinMemberSecret or the HMAC fails (logged).
std::string MakeMemberToken(const std::string& secret, const std::string& meeting, const std::string& roster,
                            MemberRole role);

// Whether `token` (bare or wrapped) is the one `secret` signs for the
// meeting, roster id and role. The comparison takes the same time
// wherever the token differs.
bool MemberTokenAdmits(const std::string& secret, const std::string& token, const std::string& meeting,
                       const std::string& roster, MemberRole role);

// Equal bytes, in a time that depends on the lengths only.
bool SameBytesInConstantTime(const std::string& a, const std::string& b);

// The secret from the first line of the file at `path` (without its line
// end). False with `why` when it cannot be read or is shorter than
// kMinMemberSecret.
bool ReadMemberSecret(const std::string& path, std::string* secret, std::string* why);

}  // namespace vzrelay
