#include <string>

#include "common/trace_client.h"
#include "weblink/json/json_lookup.h"
#include "weblink/records/logged_text_field.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/wide_field.h"

namespace {

constexpr int32_t kDefaultPort = 5000;
constexpr int32_t kDefaultTcpPort = 443;

// "server_name" when it is a non-empty string, else "server_addr".
std::string ServerAddressOf(const JsonMembers& conf) {
  std::string name = JsonGetString(conf, "server_name");
  return name.empty() ? JsonGetString(conf, "server_addr") : name;
}

int32_t AudioPortOf(const JsonMembers& conf) {
  const int32_t port = JsonGetNumber(conf, "port");
  if (port != 0) return port;
  VZ_LOG_ERROR("Audio Config Port=0 is wrong, set to default value.");
  return kDefaultPort;
}

void ReadEdgeServer(const JsonMembers& server, EdgeServerEntry* entry) {
  StoreWideField(entry->AvailabilityZone, JsonGetString(server, "availability_zone"), "AvailabilityZone");
  StoreWideField(entry->ServerAddr, ServerAddressOf(server), "ServerAddr");
  entry->Port = JsonGetNumber(server, "port");
  if (entry->Port == 0) entry->Port = kDefaultPort;
  entry->TcpPort = JsonGetNumber(server, "tcp_port");
  if (entry->TcpPort == 0) entry->TcpPort = kDefaultTcpPort;
}

// In array order, up to the first element that is not an object, at most 16.
void ReadEdgeServers(const JsonMembers& conf, ACSessionConfig* config) {
  for (const JsonValue& server : JsonGetArray(conf, "edge_servers")) {
    if (config->EdgeServerCount == kMaxEdgeServers || server.tag != kJsonTagObject) break;
    ReadEdgeServer(server.members(), &config->EdgeServers[config->EdgeServerCount]);
    ++config->EdgeServerCount;
  }
}

}  // namespace

bool ActionObj2ACConfig(const JsonMembers& action, ACSessionConfig* config) {
  *config = ACSessionConfig{};
  VZ_STORE_LOGGED_TEXT(JsonGetString(action, "session_key"), config, MeetId);
  const std::string zone = JsonGetString(action, "zone");
  VZ_STORE_LOGGED_TEXT(zone, config, Zone);
  if (zone.empty()) return ActionObj2ACConfigNoZone(action, config);

  const JsonMembers state = JsonGetObject(action, "ac_state");
  if (state.empty()) {
    VZ_LOG_ERROR("There isn't ac_state in JSON!");
    return false;
  }
  VZ_STORE_LOGGED_TEXT(JsonGetString(state, "id"), config, RosterId);
  config->IsMuted = JsonGetNumber(state, "mute");

  const JsonMembers conf = JsonGetObject(action, "audio_conf");
  if (conf.empty()) return false;
  VZ_STORE_LOGGED_TEXT(ServerAddressOf(conf), config, ServerAddr);
  config->Port = AudioPortOf(conf);
  config->TcpPort = JsonGetNumber(conf, "tcp_port");
  if (config->TcpPort == 0) config->TcpPort = kDefaultTcpPort;
  VZ_STORE_LOGGED_TOKEN(JsonGetString(conf, "token"), config, Token);
  ReadEdgeServers(conf, config);
  return true;
}

bool ActionObj2ACConfigNoZone(const JsonMembers& action, ACSessionConfig* config) {
  *config = ACSessionConfig{};
  const JsonMembers conf = JsonGetObject(action, "ac_conf");
  if (conf.empty()) return false;
  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "conf_id"), config, MeetId);
  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "server_addr"), config, ServerAddr);
  config->Port = AudioPortOf(conf);
  config->TcpPort = kDefaultTcpPort;
  VZ_STORE_LOGGED_TOKEN(JsonGetString(conf, "token"), config, Token);

  const JsonMembers state = JsonGetObject(action, "ac_state");
  if (state.empty()) {
    VZ_LOG_ERROR("There isn't ac_state in JSON!");
    return false;
  }
  VZ_STORE_LOGGED_TEXT(JsonGetString(state, "id"), config, RosterId);
  config->IsMuted = JsonGetNumber(conf, "mute");
  return true;
}
