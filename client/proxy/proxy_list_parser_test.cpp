#include "client/proxy/proxy_list_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Split(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string> pieces;
  SplitText(text, separator, &pieces);
  return pieces;
}

TEST(SplitTextTest, DropsEmptyPiecesAndKeepsOrder) {
  EXPECT_EQ(Split(u"a;b", u';'), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(Split(u";;a;;b;", u';'), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_TRUE(Split(u"", u';').empty());
  EXPECT_TRUE(Split(u";;;", u';').empty());
  EXPECT_EQ(Split(u"abc", u';'), (std::vector<std::u16string>{u"abc"}));

  std::vector<std::u16string> pieces{u"kept"};
  SplitText(u"x", u';', &pieces);  // appends
  EXPECT_EQ(pieces, (std::vector<std::u16string>{u"kept", u"x"}));
}

class ParseProxyListTest : public ::testing::Test {
 protected:
  NetworkProxyTable* Parse(const char16_t* list) { return ParseProxyList(list, &table_); }
  const NetworkProxyEntry& entry(int i) const { return table_.Entries[i]; }
  NetworkProxyTable table_;
};

TEST_F(ParseProxyListTest, SchemesGiveTheirFlagsInOrder) {
  ASSERT_EQ(Parse(u"http=a:80;https=b:443"), &table_);
  ASSERT_EQ(table_.Count, 2);
  EXPECT_EQ(entry(0).HttpProxy, 1);
  EXPECT_EQ(entry(0).HttpsProxy, 0);
  EXPECT_EQ(std::u16string(entry(0).Host), u"a");
  EXPECT_EQ(entry(0).Port, 80);
  EXPECT_EQ(entry(1).HttpProxy, 0);
  EXPECT_EQ(entry(1).HttpsProxy, 1);
  EXPECT_EQ(std::u16string(entry(1).Host), u"b");
  EXPECT_EQ(entry(1).Port, 443);
  EXPECT_EQ(entry(1).Authentication, 0);
  EXPECT_EQ(entry(1).Success, 0);
  EXPECT_EQ(entry(1).RetryCount, 0);
}

TEST_F(ParseProxyListTest, PieceWithoutSchemeIsHttps) {
  ASSERT_EQ(Parse(u"proxy:3128"), &table_);
  ASSERT_EQ(table_.Count, 1);
  EXPECT_EQ(entry(0).HttpsProxy, 1);
  EXPECT_EQ(entry(0).HttpProxy, 0);
  EXPECT_EQ(entry(0).Port, 3128);
  // An empty scheme disappears with the empty piece before "=".
  NetworkProxyTable other;
  ASSERT_NE(ParseProxyList(u"=h:1", &other), nullptr);
  EXPECT_EQ(other.Entries[0].HttpsProxy, 1);
  EXPECT_EQ(std::u16string(other.Entries[0].Host), u"h");
}

TEST_F(ParseProxyListTest, OtherSchemesAreKeptWithoutFlags) {
  ASSERT_EQ(Parse(u"HTTP=a:1;socks=s:1080;Https=c:3"), &table_);
  ASSERT_EQ(table_.Count, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(IsProxyInUse(entry(i))) << i;
  }
  EXPECT_EQ(std::u16string(entry(1).Host), u"s");
  EXPECT_EQ(entry(1).Port, 1080);
}

TEST_F(ParseProxyListTest, UnusablePiecesAddNothing) {
  ASSERT_EQ(Parse(u";;a:1;"), &table_);
  EXPECT_EQ(table_.Count, 1);

  NetworkProxyTable none;
  EXPECT_EQ(ParseProxyList(u"a", &none), nullptr);
  EXPECT_EQ(ParseProxyList(u"a:1:2", &none), nullptr);
  EXPECT_EQ(ParseProxyList(u"http=a:1:2;=;:;http=", &none), nullptr);
  EXPECT_EQ(ParseProxyList(u"", &none), nullptr);
  EXPECT_EQ(none.Count, 0);
  // Extra "=" parts are ignored: the address is the second part.
  ASSERT_NE(ParseProxyList(u"http=a:1=b:2", &none), nullptr);
  EXPECT_EQ(std::u16string(none.Entries[0].Host), u"a");
}

TEST_F(ParseProxyListTest, NullTextOrTableGivesNull) {
  EXPECT_EQ(ParseProxyList(nullptr, &table_), nullptr);
  EXPECT_EQ(ParseProxyList(u"a:1", nullptr), nullptr);
  EXPECT_EQ(table_.Count, 0);
}

TEST_F(ParseProxyListTest, PortIsReadAsFarAsItIsANumber) {
  ASSERT_EQ(Parse(u"a:x;b:12ab;c:99999999999999;d:-5"), &table_);
  ASSERT_EQ(table_.Count, 4);
  EXPECT_EQ(entry(0).Port, 0);
  EXPECT_EQ(entry(1).Port, 12);
  EXPECT_EQ(entry(2).Port, 2147483647);  // saturated, never overflowed
  EXPECT_EQ(entry(3).Port, -5);
}

TEST_F(ParseProxyListTest, KeepsTheFirst32Entries) {
  std::u16string list;
  for (int i = 0; i < 33; ++i) {
    list.push_back(u'h');
    list.push_back(static_cast<char16_t>(u'A' + i));
    list.append(u":1;");
  }
  ASSERT_EQ(Parse(list.c_str()), &table_);
  EXPECT_EQ(table_.Count, kMaxNetworkProxies);
  const char16_t last_kept[] = {u'h', static_cast<char16_t>(u'A' + 31), u'\0'};
  EXPECT_EQ(std::u16string(entry(31).Host), last_kept);
  // A full table stays full, and is still returned.
  EXPECT_EQ(Parse(u"more:1"), &table_);
  EXPECT_EQ(table_.Count, kMaxNetworkProxies);
}

TEST_F(ParseProxyListTest, LongHostIsCutAndTerminated) {
  const std::u16string host(200, u'h');
  const std::u16string list = u"http=" + host + u":8080";
  ASSERT_EQ(Parse(list.c_str()), &table_);
  EXPECT_EQ(std::u16string(entry(0).Host), std::u16string(127, u'h'));
  EXPECT_EQ(entry(0).Host[127], u'\0');
  EXPECT_EQ(entry(0).Port, 8080);
}

}  // namespace
