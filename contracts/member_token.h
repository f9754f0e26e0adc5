#pragma once
// A meeting member's token: what the relay's meeting secret signs for one
// meeting, roster id and role, so that the relay admits each member only as
// what its token names. Whoever holds the secret makes the tokens: the
// relay's own "--member-token", and whoever plays the web page beside it.
//
// Threads: any; no state.
#include <cstddef>
#include <string>

enum class MemberRole { kAttendee, kPresenter };

// "attendee" or "presenter", as the token signs it.
const char* MemberRoleName(MemberRole role);

// The fewest bytes a meeting secret has.
inline constexpr size_t kMinMemberSecret = 16;

// 64 lower-case hex digits: HMAC-SHA256 under `secret` of the meeting id,
// roster id and role, each preceded by its length. Empty when the secret
// is shorter than kMinMemberSecret or the HMAC fails (logged).
std::string MakeMemberToken(const std::string& secret, const std::string& meeting, const std::string& roster,
                            MemberRole role);
