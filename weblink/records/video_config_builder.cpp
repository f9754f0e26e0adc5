#include <string>

#include "common/trace_client.h"
#include "weblink/json/json_lookup.h"
#include "weblink/records/logged_text_field.h"
#include "weblink/records/record_builders.h"

namespace {

constexpr int32_t kDefaultPort = 5000;
constexpr int32_t kDefaultTcpPort = 443;

}  // namespace

void ActionObj2AVConfig(const JsonMembers& action, AVSessionConfig* config) {
  *config = AVSessionConfig{};
  const JsonMembers conf = JsonGetObject(action, "av_conf");
  if (conf.empty()) return;

  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "conf_id"), config, MeetId);
  std::string server = JsonGetString(conf, "server_name");
  if (server.empty()) server = JsonGetString(conf, "server_addr");
  VZ_STORE_LOGGED_TEXT(server, config, ServerAddr);
  config->Port = JsonGetNumber(conf, "port");
  if (config->Port == 0) {
    VZ_LOG_ERROR("Video Config Port=0 is wrong, set to default value.");
    config->Port = kDefaultPort;
  }
  config->TcpPort = JsonGetNumber(conf, "tcp_port");
  if (config->TcpPort == 0) {
    VZ_LOG_ERROR("Video Config TcpPort=0 is wrong, set to default value.");
    config->TcpPort = kDefaultTcpPort;
  }
  VZ_STORE_LOGGED_TOKEN(JsonGetString(conf, "token"), config, Token);

  const JsonMembers state = JsonGetObject(action, "av_state");
  if (state.empty()) {
    VZ_LOG_ERROR("There isn't av_state in JSON!");
    return;
  }
  VZ_STORE_LOGGED_TEXT(JsonGetString(state, "id"), config, RosterId);
  config->Broadcast = JsonGetNumber(conf, "broadcast");
  config->Layout = JsonGetNumber(conf, "layout");
}
