#include "client/app/demo/extension_session.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

bool ExtensionSession::Start(const std::string& host_path, const std::vector<std::string>& environment) {
  return host_.Start(host_path, {host_path}, environment);
}

bool ExtensionSession::Send(std::string_view message) {
  std::fprintf(out_, "extension -> vzbridge: %.*s\n", static_cast<int>(message.size()), message.data());
  std::fflush(out_);
  const uint32_t length = static_cast<uint32_t>(message.size());
  std::string bytes(sizeof(length), '\0');
  std::memcpy(bytes.data(), &length, sizeof(length));
  bytes.append(message);
  return host_.WriteAll(bytes, 5000);
}

bool ExtensionSession::Receive(std::string* message, int timeout_ms, bool* ended) {
  uint32_t length = 0;
  *ended = false;
  if (!host_.ReadExactly(&length, sizeof(length), timeout_ms, ended)) return false;
  message->assign(length, '\0');
  if (length != 0 && !host_.ReadExactly(message->data(), length, timeout_ms, ended)) return false;
  std::fprintf(out_, "vzbridge -> extension: %s\n", message->c_str());
  std::fflush(out_);
  return true;
}

std::string MessageType(const std::string& message) {
  const JsonDocument value = JsonParse(message);
  return value ? JsonGetString(value->members(), "type") : std::string();
}
