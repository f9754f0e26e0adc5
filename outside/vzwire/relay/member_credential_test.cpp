#include "outside/vzwire/relay/member_credential.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

#include "platform/file_system.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

using vzrelay::MakeMemberToken;
using vzrelay::MemberRole;
using vzrelay::MemberTokenAdmits;

constexpr char kSecret[] = "sixteen or more bytes";

TEST(MemberCredentialTest, ATokenAdmitsOnlyItsOwnMeetingRosterIdAndRole) {
  const std::string token = MakeMemberToken(kSecret, "meet-1", "alice", MemberRole::kPresenter);
  ASSERT_EQ(token.size(), 64u);
  EXPECT_TRUE(MemberTokenAdmits(kSecret, token, "meet-1", "alice", MemberRole::kPresenter));
  EXPECT_TRUE(MemberTokenAdmits(kSecret, "VDS meet-1:" + token, "meet-1", "alice", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, "VDS meet-2:" + token, "meet-1", "alice", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, token, "meet-1", "alice", MemberRole::kAttendee));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, token, "meet-1", "alicE", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, token, "meet-2", "alice", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits("another secret of sixteen", token, "meet-1", "alice", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, token + "0", "meet-1", "alice", MemberRole::kPresenter));
  EXPECT_FALSE(MemberTokenAdmits(kSecret, "", "meet-1", "alice", MemberRole::kPresenter));

  // The fields cannot be shifted into one another.
  std::set<std::string> tokens;
  for (const auto& [meeting, roster] : {std::pair<std::string, std::string>{"ab", "c"}, {"a", "bc"},
                                        {std::string("a\0", 2), "c"}, {"a", std::string("\0c", 2)}}) {
    tokens.insert(MakeMemberToken(kSecret, meeting, roster, MemberRole::kAttendee));
  }
  EXPECT_EQ(tokens.size(), 4u);
}

TEST(MemberCredentialTest, AShortSecretMakesNoTokenAndAdmitsNobody) {
  EXPECT_EQ(MakeMemberToken("short", "meet-1", "alice", MemberRole::kAttendee), "");
  EXPECT_FALSE(MemberTokenAdmits("", "", "meet-1", "alice", MemberRole::kAttendee));

}

// The secret is the whole file but one newline at its end, so that random bytes with
// a newline inside sign tokens of their own; a file others may read, or a
// link, is no secret.
TEST(MemberCredentialTest, TheSecretIsTheWholeFileOfTheUsersOwn) {
  vz::ScopedTestFolder folder;
  std::string secret, why;
  const auto write = [&folder](const std::string& name, const std::string& bytes, unsigned mode = 0600) {
    const std::string path = folder.path() + "/" + name;
    EXPECT_TRUE(vz::WriteFileAtomic(path, bytes, mode)) << name;
    return path;
  };
  EXPECT_FALSE(vzrelay::ReadMemberSecret(write("short", "fifteen bytes!!\n"), &secret, &why));
  EXPECT_NE(why.find("15 bytes"), std::string::npos) << why;
  EXPECT_FALSE(vzrelay::ReadMemberSecret(folder.path() + "/missing", &secret, &why));

  struct Kept {
    std::string file, secret;
  };
  const std::string random("\x01\n\xff\x00\x7f random bytes \n\r", 21);
  for (const Kept& kept : {Kept{std::string(kSecret) + "\n", kSecret}, Kept{std::string(kSecret) + "\r\n", std::string(kSecret) + "\r"},
                           Kept{kSecret, kSecret}, Kept{std::string(kSecret) + "\n\n", std::string(kSecret) + "\n"},
                           Kept{random, random}, Kept{random + "\n", random}}) {
    ASSERT_TRUE(vzrelay::ReadMemberSecret(write("kept", kept.file), &secret, &why)) << why;
    EXPECT_EQ(secret, kept.secret) << testing::PrintToString(kept.file);
  }
  // Two secrets alike up to a newline sign different tokens.
  ASSERT_TRUE(vzrelay::ReadMemberSecret(write("one", std::string(kSecret) + "\nend one"), &secret, &why));
  const std::string one = MakeMemberToken(secret, "meet-1", "alice", MemberRole::kAttendee);
  ASSERT_TRUE(vzrelay::ReadMemberSecret(write("two", std::string(kSecret) + "\nend two"), &secret, &why));
  EXPECT_NE(MakeMemberToken(secret, "meet-1", "alice", MemberRole::kAttendee), one);

  EXPECT_FALSE(vzrelay::ReadMemberSecret(write("shared", kSecret, 0644), &secret, &why));
  EXPECT_NE(why.find("chmod 600"), std::string::npos) << why;
  const std::string link = folder.path() + "/link";
  ASSERT_EQ(::symlink((folder.path() + "/kept").c_str(), link.c_str()), 0);
  EXPECT_FALSE(vzrelay::ReadMemberSecret(link, &secret, &why));
  EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
}

TEST(MemberCredentialTest, NoTokenNamesAnEmptyRosterId) {
  EXPECT_EQ(MakeMemberToken(kSecret, "meet-1", "", MemberRole::kAttendee), "");
  EXPECT_FALSE(MemberTokenAdmits(kSecret, "", "meet-1", "", MemberRole::kAttendee));
}

}  // namespace
