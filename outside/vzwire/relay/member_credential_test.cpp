#include "outside/vzwire/relay/member_credential.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

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

  vz::ScopedTestFolder folder;
  std::string secret, why;
  std::ofstream(folder.path() + "/short") << "fifteen bytes!!\n";
  EXPECT_FALSE(vzrelay::ReadMemberSecret(folder.path() + "/short", &secret, &why));
  EXPECT_NE(why.find("15 bytes"), std::string::npos) << why;
  EXPECT_FALSE(vzrelay::ReadMemberSecret(folder.path() + "/missing", &secret, &why));
  std::ofstream(folder.path() + "/good") << kSecret << "\r\nignored\n";
  ASSERT_TRUE(vzrelay::ReadMemberSecret(folder.path() + "/good", &secret, &why)) << why;
  EXPECT_EQ(secret, kSecret);
}

}  // namespace
