#include "client/proxy/proxy_credentials.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "common/text_scrambler.h"
#include "platform/text.h"

namespace {

NetworkProxyEntry EntryFor(std::u16string_view host, std::u16string_view name = u"",
                           std::u16string_view password = u"") {
  NetworkProxyEntry entry{};
  entry.HttpProxy = 1;
  vz::CopyUtf16(entry.Host, std::size(entry.Host), host);
  vz::CopyUtf16(entry.UserName, std::size(entry.UserName), name);
  vz::CopyUtf16(entry.Password, std::size(entry.Password), password);
  return entry;
}

class ProxyCredentialsTest : public ::testing::Test {
 protected:
  bool ReadStored(const char* suffix, std::u16string* text, const char* host = "proxy.example") {
    return store_->ReadString(kNetworkProxySettingsKey, std::string("vzproxysetting.") + host + suffix, text);
  }
  std::unique_ptr<vz::SettingsStore> store_ = vz::CreateMemorySettingsStore();
};

TEST_F(ProxyCredentialsTest, RoundTripKeepsNonAsciiTextAndStoresNoClearPassword) {
  const std::u16string password = u"p\u00e4ss \u20ac\U0001F511 w\u00f6rd";
  const NetworkProxyEntry saved = EntryFor(u"proxy.example", u"J\u00fcrgen", password);
  SaveProxyCredentials(&saved, *store_);

  std::u16string name, stored;
  ASSERT_TRUE(ReadStored(".name", &name));
  EXPECT_EQ(name, u"J\u00fcrgen");
  ASSERT_TRUE(ReadStored(".pass", &stored));
  EXPECT_EQ(stored.find(u"p\u00e4ss"), std::u16string::npos);
  EXPECT_EQ(stored.find_first_not_of(u"0123456789abcdef"), std::u16string::npos);  // lower-case hex only

  NetworkProxyEntry loaded = EntryFor(u"proxy.example");
  EXPECT_TRUE(LoadProxyCredentials(&loaded, *store_));
  EXPECT_EQ(std::u16string(loaded.UserName), u"J\u00fcrgen");
  EXPECT_EQ(std::u16string(loaded.Password), password);
  EXPECT_EQ(loaded.Authentication, 1);
}

TEST_F(ProxyCredentialsTest, CredentialsAreKeptPerHost) {
  const NetworkProxyEntry a = EntryFor(u"a.example", u"alice", u"one");
  const NetworkProxyEntry b = EntryFor(u"b.example", u"bob", u"two");
  SaveProxyCredentials(&a, *store_);
  SaveProxyCredentials(&b, *store_);
  NetworkProxyEntry loaded = EntryFor(u"b.example");
  ASSERT_TRUE(LoadProxyCredentials(&loaded, *store_));
  EXPECT_EQ(std::u16string(loaded.UserName), u"bob");
  EXPECT_EQ(std::u16string(loaded.Password), u"two");
}

TEST_F(ProxyCredentialsTest, MissingValuesLeaveTheFieldsAsTheyWere) {
  NetworkProxyEntry entry = EntryFor(u"unknown.example", u"kept", u"");
  EXPECT_FALSE(LoadProxyCredentials(&entry, *store_));
  EXPECT_EQ(std::u16string(entry.UserName), u"kept");
  EXPECT_EQ(entry.Authentication, 0);

  // Only a name stored: no credentials.
  ASSERT_TRUE(store_->WriteString(kNetworkProxySettingsKey, "vzproxysetting.half.example.name", u"name"));
  NetworkProxyEntry half = EntryFor(u"half.example");
  EXPECT_FALSE(LoadProxyCredentials(&half, *store_));
  EXPECT_EQ(std::u16string(half.UserName), u"name");
  EXPECT_EQ(half.Authentication, 0);

  EXPECT_FALSE(LoadProxyCredentials(nullptr, *store_));
}

TEST_F(ProxyCredentialsTest, IncompleteCredentialsAreNotSaved) {
  const NetworkProxyEntry no_password = EntryFor(u"proxy.example", u"name", u"");
  const NetworkProxyEntry no_name = EntryFor(u"proxy.example", u"", u"pass");
  SaveProxyCredentials(&no_password, *store_);
  SaveProxyCredentials(&no_name, *store_);
  SaveProxyCredentials(nullptr, *store_);
  std::u16string text;
  EXPECT_FALSE(ReadStored(".name", &text));
  EXPECT_FALSE(ReadStored(".pass", &text));
}

TEST_F(ProxyCredentialsTest, DamagedStoredPasswordsGiveNoPassword) {
  ASSERT_TRUE(store_->WriteString(kNetworkProxySettingsKey, "vzproxysetting.proxy.example.name", u"name"));
  for (const char16_t* stored : {u"", u"0", u"0a1", u"0a00", u"zz00ff", u"\u0130\u0130\u0130\u0130\u0130\u0130"}) {
    SCOPED_TRACE("stored " + vz::Utf16ToUtf8(stored));
    ASSERT_TRUE(store_->WriteString(kNetworkProxySettingsKey, "vzproxysetting.proxy.example.pass", stored));
    NetworkProxyEntry entry = EntryFor(u"proxy.example");
    EXPECT_FALSE(LoadProxyCredentials(&entry, *store_)) << vz::Utf16ToUtf8(stored);
    EXPECT_EQ(std::u16string(entry.Password), u"");
    EXPECT_EQ(entry.Authentication, 0);
  }
}

TEST_F(ProxyCredentialsTest, OverlongStoredPasswordIsCutToTheField) {
  std::string hex;
  ASSERT_GT(vz::ScrambleHexText(std::string(300, 'x'), 1023, &hex), 0);
  ASSERT_TRUE(store_->WriteString(kNetworkProxySettingsKey, "vzproxysetting.proxy.example.name",
                                  std::u16string(400, u'n')));
  ASSERT_TRUE(store_->WriteString(kNetworkProxySettingsKey, "vzproxysetting.proxy.example.pass", vz::Utf8ToUtf16(hex)));
  NetworkProxyEntry entry = EntryFor(u"proxy.example");
  ASSERT_TRUE(LoadProxyCredentials(&entry, *store_));
  EXPECT_EQ(std::u16string(entry.Password), std::u16string(127, u'x'));
  EXPECT_EQ(std::u16string(entry.UserName), std::u16string(127, u'n'));
}

// The store on disk: the password is only there scrambled.
TEST(ProxyCredentialsFileTest, PasswordIsScrambledOnDisk) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("vz-proxy-credentials-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "settings").string();
  {
    const std::unique_ptr<vz::SettingsStore> store = vz::OpenFileSettingsStore(path);
    const NetworkProxyEntry saved = EntryFor(u"proxy.example", u"alice", u"CorrectHorseBatteryStaple");
    SaveProxyCredentials(&saved, *store);
  }
  std::ifstream file(path, std::ios::binary);
  std::stringstream raw;
  raw << file.rdbuf();
  const std::string contents = raw.str();
  EXPECT_NE(contents.find("vzproxysetting.proxy.example.pass"), std::string::npos);
  EXPECT_NE(contents.find("alice"), std::string::npos);
  EXPECT_EQ(contents.find("CorrectHorseBatteryStaple"), std::string::npos);
  EXPECT_EQ(contents.find("Correct"), std::string::npos);

  const std::unique_ptr<vz::SettingsStore> reopened = vz::OpenFileSettingsStore(path);
  NetworkProxyEntry loaded = EntryFor(u"proxy.example");
  EXPECT_TRUE(LoadProxyCredentials(&loaded, *reopened));
  EXPECT_EQ(std::u16string(loaded.Password), u"CorrectHorseBatteryStaple");
  std::filesystem::remove_all(folder);
}

}  // namespace
