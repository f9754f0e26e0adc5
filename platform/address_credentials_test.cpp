#include "platform/address_credentials.h"

#include <gtest/gtest.h>

namespace {

using vz::AddressWithMaskedCredentials;

TEST(AddressWithMaskedCredentialsTest, OnlyWhatStandsBeforeTheHostIsMasked) {
  EXPECT_EQ(AddressWithMaskedCredentials("http://u:p@h:8080/x"), "http://***@h:8080/x");
  EXPECT_EQ(AddressWithMaskedCredentials("u:p@h:3128"), "***@h:3128");  // as an environment variable holds it
  EXPECT_EQ(AddressWithMaskedCredentials("http://a@b:p@h"), "http://***@h");  // up to the last "@" of the host part
  EXPECT_EQ(AddressWithMaskedCredentials("http://h/a@b?c=d@e#f@g"), "http://h/a@b?c=d@e#f@g");  // the path's own
  EXPECT_EQ(AddressWithMaskedCredentials("http://h:1"), "http://h:1");
  EXPECT_EQ(AddressWithMaskedCredentials(""), "");
}

}  // namespace
