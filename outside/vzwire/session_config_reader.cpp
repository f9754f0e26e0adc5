#include "outside/vzwire/session_config_reader.h"

#include <cstring>

#include "platform/text.h"

namespace vzwire {
namespace {

// The session records' shared layout, in bytes.
constexpr size_t kServerAddr = 64, kServerAddrChars = 256;
constexpr size_t kToken = 576, kTokenChars = 128;
constexpr size_t kRosterId = 832, kRosterIdChars = 128;
constexpr size_t kMeetId = 1088, kMeetIdChars = 128;
constexpr size_t kPort = 1344;
constexpr size_t kTcpPort = 1348;
constexpr size_t kDSId = 1352, kDSIdChars = 128;
constexpr size_t kServerIp = 1608, kServerIpChars = 128;
constexpr size_t kApplicationName = 1864, kApplicationNameChars = 128;
constexpr size_t kJoinParameters = 2120, kJoinParametersChars = 256;
constexpr size_t kSharingIsPresenter = 7884;
constexpr size_t kSharingIsWebAttendee = 7888;

constexpr uint8_t kVideo = 2;
constexpr uint8_t kSharing = 3;

std::string Text(const uint8_t* record, size_t offset, size_t chars) {
  std::u16string text;
  for (size_t i = 0; i < chars; ++i) {
    char16_t unit;
    std::memcpy(&unit, record + offset + i * 2, 2);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return vz::Utf16ToUtf8(text);
}

int32_t Int(const uint8_t* record, size_t offset) {
  int32_t value;
  std::memcpy(&value, record + offset, 4);
  return value;
}

bool IsThisMachine(const std::string& address) {
  return address == "127.0.0.1" || address == "localhost";
}

}  // namespace

bool ReadSessionConfig(uint8_t session_type, const void* config, JoinTarget* target, std::string* error) {
  if (config == nullptr) {
    *error = "no session record";
    return false;
  }
  if (session_type != kVideo && session_type != kSharing) {
    *error = "session type " + std::to_string(session_type) + " is neither video nor sharing";
    return false;
  }
  const auto* record = static_cast<const uint8_t*>(config);
  vzrelay::JoinRequest& request = target->request;
  request.session_type = session_type;
  request.meet_id = Text(record, kMeetId, kMeetIdChars);
  request.token = Text(record, kToken, kTokenChars);
  request.roster_id = Text(record, kRosterId, kRosterIdChars);
  request.application_name = Text(record, kApplicationName, kApplicationNameChars);
  request.join_parameters = Text(record, kJoinParameters, kJoinParametersChars);
  if (session_type == kSharing) {
    request.session_id = Text(record, kDSId, kDSIdChars);
    request.presenter = Int(record, kSharingIsPresenter) != 0;
    request.web_attendee = Int(record, kSharingIsWebAttendee) != 0;
  } else {
    request.session_id = request.meet_id;
  }
  if (request.session_id.empty()) {
    *error = session_type == kSharing ? "the record has no DS id" : "the record has no meeting id";
    return false;
  }
  std::string server = Text(record, kServerAddr, kServerAddrChars);
  if (server.empty()) server = Text(record, kServerIp, kServerIpChars);
  if (server == kLoopbackServerAddress) {
    target->loopback = true;
    return true;
  }
  if (!IsThisMachine(server)) {
    *error = "server \"" + server + "\" is not on this machine; only 127.0.0.1, localhost or loopback is served";
    return false;
  }
  int32_t port = Int(record, kTcpPort);
  if (port == 0) port = Int(record, kPort);
  if (port <= 0 || port > 65535) {
    *error = "no usable port (" + std::to_string(port) + ")";
    return false;
  }
  target->port = static_cast<uint16_t>(port);
  return true;
}

}  // namespace vzwire
