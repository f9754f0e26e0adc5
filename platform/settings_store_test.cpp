#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/platform_log_sink_testlib.h"
#include "platform/process.h"
#include "platform/scoped_test_folder_testlib.h"

namespace vz {
namespace {

constexpr char kKey[] = "Software\\Velzar\\vzreport";

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0xFFFF;
  return info.st_mode & 07777;
}

// Runs `body` in a forked child, which ends with its result; gives the exit code.
template <typename Body>
int RunInChildProcess(Body body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int exit_code = -1;
  if (pid < 0 || !WaitForProcess(pid, 60000, &exit_code)) return -1;
  return exit_code;
}

uint32_t ReadDwordOr(SettingsStore& store, std::string_view key, std::string_view name, uint32_t fallback) {
  uint32_t value = fallback;
  return store.ReadDword(key, name, &value) ? value : fallback;
}

// The same behaviour is expected of the memory and the file backend.
class SettingsStoreTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    store_ = GetParam() ? OpenFileSettingsStore(JoinPath(temp_.path(), "settings")) : CreateMemorySettingsStore();
  }
  ScopedTestFolder temp_;
  std::unique_ptr<SettingsStore> store_;
};

TEST_P(SettingsStoreTest, EveryValueTypeRoundTrips) {
  SettingsStore& store = *store_;
  const std::u16string text = std::u16string(u"a\u00e9 \u4e2d \U0001F600 %41 =x [y]\n\r\t", 22) + u'\0' + u"end";
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<uint8_t>(i));

  ASSERT_TRUE(store.WriteDword(kKey, "Enable", 1));
  ASSERT_TRUE(store.WriteDword(kKey, "Max", 0xFFFFFFFFu));
  ASSERT_TRUE(store.WriteString(kKey, "Text", text));
  ASSERT_TRUE(store.WriteString(kKey, "Empty", u""));
  ASSERT_TRUE(store.WriteBinary(kKey, "Bytes", bytes));
  ASSERT_TRUE(store.WriteBinary(kKey, "NoBytes", {}));
  ASSERT_TRUE(store.WriteDword("Odd [key] = 100%\nname", "odd=name[]%", 7));
  ASSERT_TRUE(store.WriteDword("", "", 9));  // the default value of an unnamed key

  EXPECT_EQ(ReadDwordOr(store, kKey, "Enable", 0), 1u);
  EXPECT_EQ(ReadDwordOr(store, kKey, "Max", 0), 0xFFFFFFFFu);
  std::u16string read_text = u"stale";
  EXPECT_TRUE(store.ReadString(kKey, "Text", &read_text));
  EXPECT_EQ(read_text, text);
  EXPECT_TRUE(store.ReadString(kKey, "Empty", &read_text));
  EXPECT_EQ(read_text, u"");
  std::vector<uint8_t> read_bytes;
  EXPECT_TRUE(store.ReadBinary(kKey, "Bytes", &read_bytes));
  EXPECT_EQ(read_bytes, bytes);
  EXPECT_TRUE(store.ReadBinary(kKey, "NoBytes", &read_bytes));
  EXPECT_TRUE(read_bytes.empty());
  EXPECT_EQ(ReadDwordOr(store, "Odd [key] = 100%\nname", "odd=name[]%", 0), 7u);
  EXPECT_EQ(ReadDwordOr(store, "", "", 0), 9u);
}

TEST_P(SettingsStoreTest, NamesIgnoreCaseAndTypesMustMatch) {
  SettingsStore& store = *store_;
  ASSERT_TRUE(store.WriteDword(kKey, "Enable", 1));
  EXPECT_EQ(ReadDwordOr(store, "SOFTWARE\\velzar\\VZREPORT", "eNABLE", 0), 1u);
  ASSERT_TRUE(store.WriteDword("software\\VELZAR\\vzreport", "ENABLE", 2));  // the same value
  EXPECT_EQ(ReadDwordOr(store, kKey, "Enable", 0), 2u);

  std::u16string text;
  std::vector<uint8_t> bytes;
  uint32_t scratch = 0;
  EXPECT_FALSE(store.ReadString(kKey, "Enable", &text));
  EXPECT_FALSE(store.ReadBinary(kKey, "Enable", &bytes));
  EXPECT_FALSE(store.ReadDword(kKey, "Missing", &scratch));
  EXPECT_FALSE(store.ReadDword("Software\\Velzar", "Enable", &scratch));  // no prefix matching

  ASSERT_TRUE(store.WriteString(kKey, "Enable", u"now a string"));
  EXPECT_FALSE(store.ReadDword(kKey, "Enable", &scratch));
  EXPECT_TRUE(store.ReadString(kKey, "Enable", &text));

  EXPECT_TRUE(store.DeleteValue(kKey, "enable"));
  EXPECT_FALSE(store.ReadString(kKey, "Enable", &text));
  EXPECT_TRUE(store.DeleteValue(kKey, "Enable"));      // already gone
  EXPECT_TRUE(store.DeleteValue("No\\Such\\Key", "x"));  // never there
}

INSTANTIATE_TEST_SUITE_P(Backends, SettingsStoreTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "File" : "Memory"; });

class SettingsFileTest : public testing::Test {
 protected:
  std::string SettingsPath() const { return JoinPath(temp_.path(), "settings"); }
  ScopedTestFolder temp_;
};

TEST_F(SettingsFileTest, FileIsPrivateAndSharedBetweenStores) {
  auto first = OpenFileSettingsStore(SettingsPath());
  auto second = OpenFileSettingsStore(SettingsPath());
  ASSERT_TRUE(first->WriteDword(kKey, "Enable", 1));
  EXPECT_EQ(ModeOf(SettingsPath()), 0600u);
  EXPECT_EQ(ModeOf(SettingsPath() + ".lock"), 0600u);
  // Each operation reads the file, so a second store sees the first one's writes.
  EXPECT_EQ(ReadDwordOr(*second, kKey, "Enable", 0), 1u);
  ASSERT_TRUE(second->WriteDword(kKey, "Other", 2));
  EXPECT_EQ(ReadDwordOr(*first, kKey, "Other", 0), 2u);
  EXPECT_EQ(ReadDwordOr(*first, kKey, "Enable", 0), 1u);
}

TEST_F(SettingsFileTest, AValueSurvivesARestartOfTheProcess) {
  std::string path = SettingsPath();
  int exit_code = RunInChildProcess([&] {
    auto store = OpenFileSettingsStore(path);
    return store->WriteDword(kKey, "Enable", 42) && store->WriteString(kKey, "Name", u"a\u00e9") ? 0 : 1;
  });
  ASSERT_EQ(exit_code, 0);
  auto store = OpenFileSettingsStore(path);
  EXPECT_EQ(ReadDwordOr(*store, kKey, "Enable", 0), 42u);
  std::u16string name;
  EXPECT_TRUE(store->ReadString(kKey, "Name", &name));
  EXPECT_EQ(name, u"a\u00e9");
}

TEST_F(SettingsFileTest, AWriteInterruptedBeforeTheRenameLeavesTheOldFile) {
  std::string path = SettingsPath();
  auto store = OpenFileSettingsStore(path);
  ASSERT_TRUE(store->WriteDword(kKey, "Enable", 1));

  // The writer dies after its temporary file is complete, before the rename.
  int exit_code = RunInChildProcess([&] {
    SetAtomicWriteHookForTesting([](const std::string&) { ::raise(SIGKILL); });
    auto child_store = OpenFileSettingsStore(path);
    child_store->WriteDword(kKey, "Enable", 2);
    return 0;
  });
  ASSERT_EQ(exit_code, 128 + SIGKILL);

  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(temp_.path(), &entries));
  bool stale_temp_file = false;
  for (const DirectoryEntry& entry : entries) stale_temp_file |= entry.name.rfind("settings.tmp-", 0) == 0;
  EXPECT_TRUE(stale_temp_file);

  // The old value is intact, and the lock the dead writer held is free again.
  EXPECT_EQ(ReadDwordOr(*store, kKey, "Enable", 0), 1u);
  ASSERT_TRUE(store->WriteDword(kKey, "Enable", 3));
  EXPECT_EQ(ReadDwordOr(*store, kKey, "Enable", 0), 3u);
}

TEST_F(SettingsFileTest, WritersInSeveralProcessesLoseNothing) {
  std::string path = SettingsPath();
  constexpr int kWriters = 3;
  constexpr int kValuesEach = 15;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    pid_t pid = ::fork();
    if (pid == 0) {
      auto store = OpenFileSettingsStore(path);
      bool ok = true;
      for (int i = 0; i < kValuesEach; ++i) {
        ok = store->WriteDword(kKey, "w" + std::to_string(writer) + "-" + std::to_string(i), i) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    if (pid < 0) {
      ADD_FAILURE() << "writer " << writer << " could not be started";
      break;  // the writers started are still waited for below
    }
    children.push_back(pid);
  }
  for (size_t writer = 0; writer < children.size(); ++writer) {
    int exit_code = -1;
    EXPECT_TRUE(WaitForProcess(children[writer], 60000, &exit_code)) << "writer " << writer;
    EXPECT_EQ(exit_code, 0) << "writer " << writer;
  }
  if (children.size() != static_cast<size_t>(kWriters)) return;
  auto store = OpenFileSettingsStore(path);
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kValuesEach; ++i) {
      EXPECT_EQ(ReadDwordOr(*store, kKey, "w" + std::to_string(writer) + "-" + std::to_string(i), 999),
                static_cast<uint32_t>(i))
          << "writer " << writer << " value " << i;
    }
  }
}

TEST_F(SettingsFileTest, ACorruptFileReadsAsEmptyAndIsKeptAsideOnTheNextWrite) {
  const char* corrupt_files[] = {
      "garbage\n",
      "velzar-settings 1\nname=dword:00000001\n",             // a value before any key
      "velzar-settings 1\n[k]\nname=dword:1\n",               // short number
      "velzar-settings 1\n[k]\nname=binary:abc\n",            // odd hex
      "velzar-settings 1\n[k]\nname=string:%4\n",             // cut escape
      "velzar-settings 1\n[k]\nname=float:1\n",               // unknown type
      "velzar-settings 1\n[k\nname=dword:00000001\n",         // unclosed key
      "velzar-settings 1\n[k]\nname=dword:00000001",          // cut short
  };
  for (const char* content : corrupt_files) {
    SCOPED_TRACE(content);
    ASSERT_TRUE(WriteFileAtomic(SettingsPath(), content, 0600));
    auto store = OpenFileSettingsStore(SettingsPath());
    CapturedPlatformLog log;
    uint32_t value = 0;
    EXPECT_FALSE(store->ReadDword("k", "name", &value));
    EXPECT_TRUE(log.Has({SettingsPath(), "corrupt"}));
  }

  auto store = OpenFileSettingsStore(SettingsPath());
  CapturedPlatformLog log;
  ASSERT_TRUE(store->WriteDword(kKey, "Enable", 5));
  EXPECT_EQ(ReadDwordOr(*store, kKey, "Enable", 0), 5u);
  std::string kept;
  ASSERT_TRUE(ReadFileBytes(SettingsPath() + ".corrupt", &kept));
  EXPECT_EQ(kept, "velzar-settings 1\n[k]\nname=dword:00000001");
}

TEST_F(SettingsFileTest, UserSettingsLiveUnderXdgConfigHomeAndCanBeSwapped) {
  std::string config_home = temp_.path();
  int exit_code = RunInChildProcess([&] {
    ::setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    return UserSettings().WriteDword(kKey, "Enable", 1) ? 0 : 1;
  });
  ASSERT_EQ(exit_code, 0);
  std::string path = JoinPath(config_home, "velzar/settings");
  EXPECT_EQ(ModeOf(JoinPath(config_home, "velzar")), 0700u);
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_EQ(ReadDwordOr(*OpenFileSettingsStore(path), kKey, "Enable", 0), 1u);

  auto memory = CreateMemorySettingsStore();
  SetUserSettingsForTesting(memory.get());
  EXPECT_EQ(&UserSettings(), memory.get());
  ASSERT_TRUE(UserSettings().WriteDword(kKey, "Swapped", 1));
  EXPECT_EQ(ReadDwordOr(*memory, kKey, "Swapped", 0), 1u);
  SetUserSettingsForTesting(nullptr);
}

}  // namespace
}  // namespace vz
