#include "client/proxy/network_proxy_setting_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/proxy/network_proxy_setting_opener.h"
#include "platform/text.h"

namespace {

NetworkProxyEntry ProxyEntry(std::u16string_view host, int32_t port, std::u16string_view name = u"",
                             std::u16string_view password = u"") {
  NetworkProxyEntry entry{};
  entry.HttpsProxy = 1;
  entry.Port = port;
  vz::CopyUtf16(entry.Host, std::size(entry.Host), host);
  vz::CopyUtf16(entry.UserName, std::size(entry.UserName), name);
  vz::CopyUtf16(entry.Password, std::size(entry.Password), password);
  return entry;
}

TEST(NetworkProxySettingDlgTest, FieldsShowTheEntry) {
  NetworkProxyEntry entry = ProxyEntry(u"proxy.example", 3128, u"alice", u"old");
  const CNetworkProxySettingDlg dialog(&entry, kProxySessionAudio);
  EXPECT_EQ(dialog.ProxyText(u"The proxy %s:%d needs a user name and a password."),
            u"The proxy proxy.example:3128 needs a user name and a password.");
  EXPECT_EQ(dialog.UserNameText(), u"alice");
  EXPECT_EQ(dialog.PasswordText(), u"old");
  EXPECT_FALSE(dialog.IsEnded());

  const CNetworkProxySettingDlg without_entry(nullptr, kProxySessionAudio);
  EXPECT_EQ(without_entry.ProxyText(u"%s:%d"), u"");
  EXPECT_EQ(without_entry.UserNameText(), u"");
}

TEST(NetworkProxySettingDlgTest, ProxyTextIsBounded) {
  NetworkProxyEntry entry = ProxyEntry(std::u16string(127, u'h'), 1);
  const CNetworkProxySettingDlg dialog(&entry, 0);
  const std::u16string format = std::u16string(2000, u'x') + u"%s:%d";
  EXPECT_EQ(dialog.ProxyText(format.c_str()).size(), 1023u);
}

TEST(NetworkProxySettingDlgTest, OkWithAnEmptyFieldStaysOpenAndChangesNothing) {
  NetworkProxyEntry entry = ProxyEntry(u"proxy.example", 3128, u"alice", u"old");
  entry.Authentication = 1;
  const NetworkProxyEntry before = entry;
  CNetworkProxySettingDlg dialog(&entry, kProxySessionAudio);

  EXPECT_FALSE(dialog.OnOk(u"mallory", u""));
  EXPECT_FALSE(dialog.OnOk(u"", u"new"));
  EXPECT_FALSE(dialog.IsEnded());
  EXPECT_EQ(std::memcmp(&entry, &before, sizeof(entry)), 0);

  dialog.OnCancel();
  EXPECT_EQ(dialog.result(), CNetworkProxySettingDlg::kResultCancel);
  EXPECT_EQ(std::memcmp(&entry, &before, sizeof(entry)), 0);
}

TEST(NetworkProxySettingDlgTest, ValidOkFillsTheEntryCutToTheFields) {
  NetworkProxyEntry entry = ProxyEntry(u"proxy.example", 3128);
  CNetworkProxySettingDlg dialog(&entry, kProxySessionAudio);
  // 126 units and a surrogate pair: the cut at 127 must not split the pair.
  const std::u16string long_name = std::u16string(126, u'n') + u"\U0001F511";
  ASSERT_TRUE(dialog.OnOk(long_name, std::u16string(300, u'p')));
  EXPECT_EQ(dialog.result(), CNetworkProxySettingDlg::kResultOk);
  EXPECT_EQ(std::u16string(entry.UserName), std::u16string(126, u'n'));
  EXPECT_EQ(std::u16string(entry.Password), std::u16string(127, u'p'));
}

// The main frame and controller as the opening protocol sees them.
class FakeSettingHost : public INetworkProxySettingHost {
 public:
  const NetworkProxyEntry* GetNetworkProxyEntry() override {
    return IsProxyInUse(controller_entry) ? &controller_entry : nullptr;
  }
  void SetNetworkProxyEntry(const NetworkProxyEntry* entry) override {
    events.push_back("SetNetworkProxyEntry");
    controller_entry = *entry;
  }
  void RunNetworkProxySettingDialog(CNetworkProxySettingDlg* dialog) override {
    events.push_back("dialog shown");
    ++dialogs_shown;
    if (during_modal_loop) during_modal_loop();
    if (user_answer) user_answer(dialog);
  }
  void JoinAudio() override {
    events.push_back("JoinAudio");
    if (on_join_audio) on_join_audio();
  }
  void StartDS() override { events.push_back("StartDS"); }
  void JoinVideo() override { events.push_back("JoinVideo"); }

  NetworkProxyEntry controller_entry{};
  std::vector<std::string> events;
  int dialogs_shown = 0;
  std::function<void()> during_modal_loop;
  std::function<void(CNetworkProxySettingDlg*)> user_answer;
  std::function<void()> on_join_audio;
};

// Records what the protocol stores.
class RecordingProxyProvider : public IProxyProvider {
 public:
  const NetworkProxyEntry* VZGetNetworkProxy() override { return nullptr; }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table_; }
  bool LoadProxyCredentials(NetworkProxyEntry*) override { return false; }
  void SaveProxyCredentials(const NetworkProxyEntry* entry) override { saved.push_back(*entry); }

  std::vector<NetworkProxyEntry> saved;

 private:
  NetworkProxyTable table_;
};

class NetworkProxySettingOpenerTest : public ::testing::Test {
 protected:
  FakeSettingHost host_;
  RecordingProxyProvider proxies_;
  NetworkProxySettingOpener opener_{host_, proxies_};
};

TEST_F(NetworkProxySettingOpenerTest, WithoutAProxyNoDialogIsShown) {
  host_.controller_entry = ProxyEntry(u"socks.example", 1080);
  host_.controller_entry.HttpsProxy = 0;  // a scheme that counts as no proxy
  opener_.showNetworkProxySettingWindow(kProxySessionAudio);
  EXPECT_EQ(host_.dialogs_shown, 0);
  EXPECT_FALSE(opener_.IsDialogOpenForTesting());
  EXPECT_TRUE(proxies_.saved.empty());
}

TEST_F(NetworkProxySettingOpenerTest, ErrorsWhileOpenRestartEverySessionAfterOneOk) {
  host_.controller_entry = ProxyEntry(u"proxy.example", 3128);
  host_.during_modal_loop = [this] {
    EXPECT_TRUE(opener_.IsDialogOpenForTesting());
    opener_.showNetworkProxySettingWindow(kProxySessionVideo);
    opener_.showNetworkProxySettingWindow(kProxySessionSharing);
  };
  host_.user_answer = [](CNetworkProxySettingDlg* dialog) {
    EXPECT_EQ(dialog->pending_session_types(), kProxySessionAudio | kProxySessionVideo | kProxySessionSharing);
    EXPECT_FALSE(dialog->OnOk(u"alice", u""));  // stays open
    EXPECT_TRUE(dialog->OnOk(u"alice", u"secret"));
  };
  opener_.showNetworkProxySettingWindow(kProxySessionAudio);

  EXPECT_EQ(host_.dialogs_shown, 1);
  EXPECT_EQ(host_.events, (std::vector<std::string>{"dialog shown", "SetNetworkProxyEntry", "JoinAudio", "StartDS",
                                                    "JoinVideo"}));
  EXPECT_EQ(std::u16string(host_.controller_entry.UserName), u"alice");
  EXPECT_EQ(std::u16string(host_.controller_entry.Password), u"secret");
  EXPECT_EQ(host_.controller_entry.Authentication, 1);
  ASSERT_EQ(proxies_.saved.size(), 1u);
  EXPECT_EQ(std::u16string(proxies_.saved[0].Host), u"proxy.example");
  EXPECT_EQ(std::u16string(proxies_.saved[0].Password), u"secret");
  EXPECT_FALSE(opener_.IsDialogOpenForTesting());
}

TEST_F(NetworkProxySettingOpenerTest, CancelRestartsNothingAndLeavesTheProxyAlone) {
  host_.controller_entry = ProxyEntry(u"proxy.example", 3128, u"alice", u"old");
  const NetworkProxyEntry before = host_.controller_entry;
  host_.user_answer = [](CNetworkProxySettingDlg* dialog) {
    EXPECT_FALSE(dialog->OnOk(u"mallory", u""));  // typed, refused, then cancelled
    dialog->OnCancel();
  };
  opener_.showNetworkProxySettingWindow(kProxySessionSharing);

  EXPECT_EQ(host_.events, (std::vector<std::string>{"dialog shown"}));
  EXPECT_EQ(std::memcmp(&host_.controller_entry, &before, sizeof(before)), 0);
  EXPECT_TRUE(proxies_.saved.empty());
  EXPECT_FALSE(opener_.IsDialogOpenForTesting());
}

TEST_F(NetworkProxySettingOpenerTest, ARestartThatFailsAtOnceOpensANewDialog) {
  host_.controller_entry = ProxyEntry(u"proxy.example", 3128);
  int answers = 0;
  host_.user_answer = [&answers](CNetworkProxySettingDlg* dialog) {
    if (++answers == 1) {
      dialog->OnOk(u"alice", u"wrong");
    } else {
      dialog->OnCancel();
    }
  };
  // The proxy refuses the restarted audio again, before the restart returns.
  host_.on_join_audio = [this] {
    host_.on_join_audio = nullptr;
    opener_.showNetworkProxySettingWindow(kProxySessionAudio);
  };
  opener_.showNetworkProxySettingWindow(kProxySessionAudio);
  EXPECT_EQ(host_.dialogs_shown, 2);
  EXPECT_EQ(host_.events, (std::vector<std::string>{"dialog shown", "SetNetworkProxyEntry", "JoinAudio",
                                                    "dialog shown"}));
  EXPECT_FALSE(opener_.IsDialogOpenForTesting());
}

}  // namespace
