#include "outside/vzwire/session_config_reader.h"

#include <cstring>

#include "contracts/session_records.h"
#include "platform/text.h"

namespace vzwire {
namespace {

// The fields both session records share sit at the same offsets (checked
// below), so they are read through the sharing record's names.
// VZ_FIELD gives a text field's offset and its size in UTF-16 units.
#define VZ_FIELD(record, field) offsetof(record, field), sizeof(record::field) / sizeof(char16_t)

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

static_assert(offsetof(AVSessionConfig, MeetId) == offsetof(DSSessionConfig, MeetId));
static_assert(offsetof(AVSessionConfig, TcpPort) == offsetof(DSSessionConfig, TcpPort));
static_assert(offsetof(AVSessionConfig, JoinParameters) == offsetof(DSSessionConfig, JoinParameters));

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
  request.meet_id = Text(record, VZ_FIELD(DSSessionConfig, MeetId));
  request.token = Text(record, VZ_FIELD(DSSessionConfig, Token));
  request.roster_id = Text(record, VZ_FIELD(DSSessionConfig, RosterId));
  request.application_name = Text(record, VZ_FIELD(DSSessionConfig, ApplicationName));
  request.join_parameters = Text(record, VZ_FIELD(DSSessionConfig, JoinParameters));
  if (session_type == kSharing) {
    request.session_id = Text(record, VZ_FIELD(DSSessionConfig, DSId));
    request.presenter = Int(record, offsetof(DSSessionConfig, IsPresenter)) != 0;
    request.web_attendee = Int(record, offsetof(DSSessionConfig, IsWebAttendee)) != 0;
  } else {
    request.session_id = request.meet_id;
  }
  if (request.session_id.empty()) {
    *error = session_type == kSharing ? "the record has no DS id" : "the record has no meeting id";
    return false;
  }
  std::string server = Text(record, VZ_FIELD(DSSessionConfig, ServerAddr));
  if (server.empty()) server = Text(record, VZ_FIELD(DSSessionConfig, ServerIp));
  if (server == kLoopbackServerAddress) {
    target->loopback = true;
    return true;
  }
  if (!IsThisMachine(server)) {
    *error = "server \"" + server + "\" is not on this machine; only 127.0.0.1, localhost or loopback is served";
    return false;
  }
  int32_t port = Int(record, offsetof(DSSessionConfig, TcpPort));
  if (port == 0) port = Int(record, offsetof(DSSessionConfig, Port));
  if (port <= 0 || port > 65535) {
    *error = "no usable port (" + std::to_string(port) + ")";
    return false;
  }
  target->port = static_cast<uint16_t>(port);
  return true;
}

#undef VZ_FIELD

}  // namespace vzwire
