#include "outside/vzwire/relay/join_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vzrelay {
namespace {

JoinRequest Credential(const std::string& meeting, const std::string& roster, bool presenter) {
  JoinRequest join;
  join.meet_id = meeting;
  join.roster_id = roster;
  join.presenter = presenter;
  return join;
}

TEST(JoinBudgetTest, EachCredentialHasItsOwnBudgetAndOnlyThoseSpendingOneAreKept) {
  // The meeting, roster id and role tell credentials apart, however the
  // texts are cut.
  EXPECT_NE(CredentialOf(Credential("m", "1r", false)), CredentialOf(Credential("m1", "r", false)));
  EXPECT_NE(CredentialOf(Credential("m", "r", false)), CredentialOf(Credential("m", "r", true)));

  JoinBudget budget(3, 1000);
  const std::string mallory = CredentialOf(Credential("m", "mallory", false));
  const std::string bob = CredentialOf(Credential("m", "bob", false));
  uint64_t now = 10000;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(budget.Take(mallory, now)) << i;
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(budget.Take(mallory, now + 999)) << i;
  EXPECT_TRUE(budget.Take(bob, now + 999));  // another member's joins are its own
  EXPECT_TRUE(budget.Take(mallory, now + 1000));
  EXPECT_FALSE(budget.Take(mallory, now + 1001));

  // Thousands of credentials joining once each (roster ids prove nothing
  // under a shared token): the table keeps only those joined of late.
  now += 100000;
  for (int i = 0; i < 5000; ++i) EXPECT_TRUE(budget.Take("one-off " + std::to_string(i), now + i * 10));
  EXPECT_LE(budget.SizeForTesting(), 2u * 3000 / 10 + 64);
}

}  // namespace
}  // namespace vzrelay
