#include "client/app/demo/extension_session.h"

#include <memory>

#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

bool ExtensionSession::Start(const std::string& host_path, const std::vector<std::string>& environment) {
  return host_.Start(host_path, {host_path}, environment);
}

bool ExtensionSession::Send(std::string_view message) {
  std::fprintf(out_, "%s -> vzbridge: %.*s\n", name_.c_str(), static_cast<int>(message.size()), message.data());
  std::fflush(out_);
  return host_.WriteAll(FrameNativeMessage(message), 5000);
}

bool ExtensionSession::Receive(std::string* message, int timeout_ms, bool* ended) {
  *ended = false;
  NativeMessageSourceOf source(
      [&](void* buffer, size_t size) { return host_.ReadExactly(buffer, size, timeout_ms, ended); });
  uint32_t announced = 0;
  if (ReadNativeMessage(source, &buffer_, &announced) != NativeReadResult::kMessage) return false;
  message->assign(buffer_.view());
  if (!show_logs_ && message->find("\"MEET_APP_LOG\"") != std::string::npos) {
    ++hidden_logs_;
    return true;
  }
  std::fprintf(out_, "vzbridge -> %s: %s\n", name_.c_str(), message->c_str());
  std::fflush(out_);
  return true;
}

std::string MessageType(const std::string& message) {
  const JsonDocument value = JsonParse(message);
  return value ? JsonGetString(value->members(), "type") : std::string();
}
