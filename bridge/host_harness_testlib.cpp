#include "bridge/host_harness_testlib.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bridge/message_type_scan.h"
#include "common/native_message_framing.h"
#include "common/text_scrambler.h"
#include "platform/file_system.h"
#include "platform/clock.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

std::string MessageType(const std::string& message) {
  std::string_view scanned;
  if (ScanMessageType(message, &scanned)) return std::string(scanned);
  const JsonDocument value = JsonParse(message);
  return value ? JsonGetString(value->members(), "type") : std::string();
}

HostSandbox::HostSandbox() {
  for (const char* sub : {"run", "data", "config", "home"}) root_.Sub(sub);
}

std::vector<std::string> HostSandbox::Environment() const {
  return {"XDG_RUNTIME_DIR=" + Root() + "/run", "XDG_DATA_HOME=" + Root() + "/data",
          "XDG_CONFIG_HOME=" + Root() + "/config", "HOME=" + Root() + "/home",
          "VZ_FAKE_CLIENT_ARGV_FILE=" + ArgvFile()};
}

bool HostSandbox::InstallClient(const std::string& version) const {
  std::error_code error;
  std::filesystem::create_directories(DataFolder() + "/" + kFolder, error);
  return vz::CopyFileBytes(VZ_FAKE_CLIENT_BINARY, ClientPath(), 0755) &&
         vz::WriteFileAtomic(ClientPath() + ".version", version + "\n", 0644);
}

std::vector<std::string> HostSandbox::RecordedArgv() const {
  std::ifstream in(ArgvFile());
  std::vector<std::string> argv;
  for (std::string line; std::getline(in, line);) argv.push_back(line);
  return argv;
}

std::string HostSandbox::PackageText(const std::string& package, const std::string& version) {
  const std::string plain = "application_pkg:" + package + ";application_folder:" + kFolder +
                            ";application_ver:" + version + ";application_name:" + kName;
  std::string once, twice;
  vz::ScrambleHexText(plain, 4096, &once);
  vz::ScrambleHexText(once, 4096, &twice);
  return twice;
}

std::string HostSandbox::StartRequest(const std::string& add_on_version, const std::string& required_version,
                                      const std::string& domain, const std::string& package) const {
  return "{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"" + add_on_version + "\",\"domain\":\"" + domain +
         "\",\"meetid\":\"M1\",\"rosterid\":\"R1\",\"language\":\"en\",\"application_pkg\":\"" +
         PackageText(package, required_version) + "\"}";
}

bool HostHarness::Start(const std::string& program, const std::vector<std::string>& environment,
                        const std::vector<std::string>& arguments) {
  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return child_.Start(program, args, environment);
}

bool HostHarness::Send(std::string_view text) { return child_.WriteAll(FrameNativeMessage(text), 5000); }

bool HostHarness::Read(std::string* message, int timeout_ms, bool* ended) {
  NativeMessageSourceOf source(
      [&](void* buffer, size_t size) { return child_.ReadExactly(buffer, size, timeout_ms, ended); });
  uint32_t announced = 0;
  const NativeReadResult read = ReadNativeMessage(source, &buffer_, &announced);
  if (read != NativeReadResult::kMessage) return false;
  message->assign(buffer_.view());
  return true;
}

bool HostHarness::ReadNonLog(std::string* message, int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    const uint64_t now = vz::MonotonicMs();
    if (now >= deadline || !Read(message, static_cast<int>(deadline - now))) return false;
    // The host writes every log line with this start (LogMessageText); a
    // look at it, not a scan of the whole message, keeps the relay
    // benchmark's reading the same for every relay.
    if (message->rfind("{\"code\":0,\"type\":\"MEET_APP_LOG\",", 0) != 0) return true;
    logs.push_back(*message);
  }
}

bool HostHarness::ReadNonLogView(std::string_view* message, int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    const uint64_t now = vz::MonotonicMs();
    if (now >= deadline) return false;
    const int left = static_cast<int>(deadline - now);
    char header[sizeof(NativeMessageHeader)];
    if (!child_.ReadExactly(header, sizeof(header), left)) return false;
    uint32_t length = 0;
    std::memcpy(&length, header, sizeof(length));
    if (length == 0 || length > kNativeMessageMaxLength) return false;
    const size_t needed = sizeof(header) + length;
    if (needed > room_size_) {
      const size_t size = (needed + 63) / 64 * 64;
      room_.reset(static_cast<char*>(std::aligned_alloc(64, size)));
      room_size_ = room_ ? size : 0;
      if (!room_) return false;
    }
    char* const text = room_.get() + sizeof(header);
    if (!child_.ReadExactly(text, length, left)) return false;
    *message = std::string_view(text, length);
    if (!message->starts_with("{\"code\":0,\"type\":\"MEET_APP_LOG\",")) return true;
    logs.emplace_back(*message);
  }
}

bool HostHarness::ReadUntilType(const std::string& type, std::string* message, int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    const uint64_t now = vz::MonotonicMs();
    if (now >= deadline || !Read(message, static_cast<int>(deadline - now))) return false;
    const std::string found = MessageType(*message);
    if (found == type) return true;
    (found == "MEET_APP_LOG" ? logs : skipped).push_back(*message);
  }
}
