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

// The fewest bytes a meeting secret has, and the most read from its file.
inline constexpr size_t kMinMemberSecret = 16;
inline constexpr size_t kMaxMemberSecretFile = 4096;

// The meeting secret kept in the file at `path`: the whole file, any bytes
// (`head -c 32 /dev/urandom > F` makes one), but one newline at its end,
// which editors add. The file must be the user's own and
// readable by no one else, as key files are; false with `why` (saying how
// to mend it) when it is not, cannot be read, or the secret is shorter than
// kMinMemberSecret.
bool ReadMemberSecret(const std::string& path, std::string* secret, std::string* why);

// 64 lower-case hex digits: HMAC-SHA256 under `secret` of the meeting id,
// roster id and role, each preceded by its length. Empty when the secret
// is shorter than kMinMemberSecret, the roster id is empty (a token is for
// one member, and a member has a roster id) or the HMAC fails (logged).
std::string MakeMemberToken(const std::string& secret, const std::string& meeting, const std::string& roster,
                            MemberRole role);
