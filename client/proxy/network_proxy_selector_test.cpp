#include "client/proxy/network_proxy_selector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/proxy/proxy_credentials.h"
#include "common/log_capture_testlib.h"
#include "platform/proxy_discovery_scripted_testlib.h"
#include "platform/scoped_environment_testlib.h"
#include "platform/text.h"

namespace {

class NetworkProxySelectorTest : public ::testing::Test {
 protected:
  void StoreCredentials(const char16_t* host, const char16_t* name, const char16_t* password) {
    NetworkProxyEntry entry{};
    vz::CopyUtf16(entry.Host, 128, host);
    vz::CopyUtf16(entry.UserName, 128, name);
    vz::CopyUtf16(entry.Password, 128, password);
    SaveProxyCredentials(&entry, *store_);
  }

  vz::LogLineCapture log_;
  vz::ScriptedProxyDiscovery discovery_;
  std::unique_ptr<vz::SettingsStore> store_ = vz::CreateMemorySettingsStore();
};

TEST_F(NetworkProxySelectorTest, HandsOutEachEntryOnceThenNull) {
  discovery_.AnswerWith(u"http=a:80;https=b:443");
  NetworkProxySelector selector(discovery_, store_.get());

  const NetworkProxyEntry* first = selector.VZGetNetworkProxy();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::u16string(first->Host), u"a");
  const NetworkProxyEntry* second = selector.VZGetNetworkProxy();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::u16string(second->Host), u"b");
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  EXPECT_EQ(selector.GetNetworkProxyTable()->Current, 1);  // left on the last one handed out

  EXPECT_EQ(discovery_.calls(), 1);
  EXPECT_EQ(discovery_.last_url(), "http://www.velzar.com/");
  // The first pointer stays valid and unchanged.
  EXPECT_EQ(std::u16string(first->Host), u"a");
}

TEST_F(NetworkProxySelectorTest, NothingFoundIsFinal) {
  discovery_.AnswerNothing();
  NetworkProxySelector selector(discovery_, store_.get());
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  discovery_.AnswerWith(u"http=late:1");  // a later change is never seen
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  EXPECT_EQ(discovery_.calls(), 1);
  EXPECT_TRUE(selector.GetNetworkProxyTable()->Initialised);
  EXPECT_EQ(selector.GetNetworkProxyTable()->Count, 0);
  EXPECT_EQ(log_.Count("don't have proxy for current network.", vz::kNarrowFileLines), 1u);
  EXPECT_EQ(log_.Count("don't have proxy for current network.", vz::kCollectLines), 1u);
}

TEST_F(NetworkProxySelectorTest, LoadsStoredCredentialsForEveryEntryOnTheFirstCall) {
  StoreCredentials(u"a", u"alice", u"secret-a");
  StoreCredentials(u"c", u"carol", u"secret-c");
  discovery_.AnswerWith(u"http=a:80;https=b:443;c:8080");
  NetworkProxySelector selector(discovery_, store_.get());
  ASSERT_NE(selector.VZGetNetworkProxy(), nullptr);

  const NetworkProxyTable& table = *selector.GetNetworkProxyTable();
  ASSERT_EQ(table.Count, 3);
  EXPECT_EQ(table.Entries[0].Authentication, 1);
  EXPECT_EQ(std::u16string(table.Entries[0].UserName), u"alice");
  EXPECT_EQ(std::u16string(table.Entries[0].Password), u"secret-a");
  EXPECT_EQ(table.Entries[1].Authentication, 0);
  EXPECT_EQ(std::u16string(table.Entries[1].UserName), u"");
  EXPECT_EQ(table.Entries[2].Authentication, 1);
  EXPECT_EQ(std::u16string(table.Entries[2].Password), u"secret-c");

  // Credentials saved later reach a new process's table, not this one.
  StoreCredentials(u"b", u"bob", u"secret-b");
  const NetworkProxyEntry* second = selector.VZGetNetworkProxy();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Authentication, 0);
}

TEST_F(NetworkProxySelectorTest, LogLinesGoToTheFileAndTheWebPagesLog) {
  discovery_.AnswerWith(u"http=pr\u00f6xy:80;b:443");
  NetworkProxySelector selector(discovery_, store_.get());
  selector.VZGetNetworkProxy();
  selector.VZGetNetworkProxy();

  // "found proxy": wide to the file, narrow to the collect sink, one per entry.
  EXPECT_EQ(log_.Count("found proxy [HTTP]=[pr\u00f6xy]:[80] anthentication [0]", vz::kWideFileLines), 1u);
  EXPECT_EQ(log_.Count("found proxy [HTTPS]=[b]:[443] anthentication [0]", vz::kWideFileLines), 1u);
  EXPECT_EQ(log_.Count("found proxy [HTTP]=[pr\u00f6xy]:[80] anthentication [0]", vz::kCollectLines), 1u);
  EXPECT_EQ(log_.Count("found proxy", vz::kNarrowFileLines), 0u);
  // The count line on both calls, to both logs.
  EXPECT_EQ(log_.Count("proxy count [2], current [0]", vz::kNarrowFileLines), 2u);
  EXPECT_EQ(log_.Count("proxy count [2], current [0]", vz::kCollectLines), 2u);
  // The parser's lines go to the file.
  EXPECT_EQ(log_.Count("proxy : http=pr\u00f6xy:80;b:443", vz::kWideFileLines), 1u);
  EXPECT_EQ(log_.Count("  [1] = [b:443]", vz::kWideFileLines), 1u);
  EXPECT_EQ(log_.Count("PROXY: [https] [b] = [443]", vz::kWideFileLines), 1u);
}

// The environment as the platform's discovery reads it: no proxy variables
// and no desktop session whose settings would take precedence, except the
// given HTTP proxy.
class ProxyEnvironment {
 public:
  explicit ProxyEnvironment(const char* http_proxy) {
    for (const char* name : {"HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY", "DESKTOP_SESSION", "XDG_CURRENT_DESKTOP",
                             "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION"}) {
      variables_.push_back(std::make_unique<vz::ScopedEnvironmentVariable>(name, nullptr));
    }
    variables_.push_back(std::make_unique<vz::ScopedEnvironmentVariable>("http_proxy", http_proxy));
  }

 private:
  std::vector<std::unique_ptr<vz::ScopedEnvironmentVariable>> variables_;
};

// The real platform discovery, told by the environment; nothing is contacted.
TEST_F(NetworkProxySelectorTest, DiscoversTheEnvironmentsProxyThroughThePlatform) {
  ProxyEnvironment environment("http://user:pw@proxy.invalid:3128/");
  StoreCredentials(u"proxy.invalid", u"stored", u"pass");
  const std::unique_ptr<vz::ProxyDiscovery> discovery = vz::CreateSystemProxyDiscovery();
  NetworkProxySelector selector(*discovery, store_.get());

  const NetworkProxyEntry* entry = selector.VZGetNetworkProxy();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->HttpProxy, 1);
  EXPECT_EQ(entry->HttpsProxy, 0);
  EXPECT_EQ(std::u16string(entry->Host), u"proxy.invalid");
  EXPECT_EQ(entry->Port, 3128);
  // The store's credentials, never the ones in the variable.
  EXPECT_EQ(std::u16string(entry->UserName), u"stored");
  EXPECT_EQ(entry->Authentication, 1);
  EXPECT_EQ(selector.VZGetNetworkProxy(), nullptr);
  EXPECT_EQ(log_.Count("proxy : http=proxy.invalid:3128", vz::kWideFileLines), 1u);
}

TEST_F(NetworkProxySelectorTest, PlatformAnswersNothingForADirectConnection) {
  ProxyEnvironment environment(nullptr);
  const std::unique_ptr<vz::ProxyDiscovery> discovery = vz::CreateSystemProxyDiscovery();
  EXPECT_EQ(discovery->ProxyListFor(kProxyProbeUrl), std::nullopt);
}

}  // namespace
