#include <string>

#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "platform/text.h"
#include "weblink/json/json_lookup.h"
#include "weblink/records/logged_text_field.h"
#include "weblink/records/token_mask.h"
#include "weblink/records/record_builders.h"

namespace {

constexpr int32_t kDefaultTcpPort = 443;
// The web page's sharing token is at most this long before it is combined.
constexpr size_t kSharingTokenCapacity = 512;

// Token = "VDS %s:%s" of the stored meeting id and the token. A combination
// longer than the field leaves it empty: it is never cut or overrun.
void StoreCombinedToken(const std::string& token, DSSessionConfig* config) {
  VZ_LOG("strToken [%s]", MaskedToken(std::string_view(token)).c_str());
  char16_t bare[kSharingTokenCapacity];
  StoreWideField(bare, token, "token");
  const std::u16string combined = u"VDS " + std::u16string(config->MeetId) + u":" + std::u16string(bare);
  if (combined.size() < std::size(config->Token)) {
    vz::CopyUtf16(config->Token, std::size(config->Token), combined);
  } else {
    VZ_LOG_ERROR("the combined token is %zu characters, more than the %zu its field holds: left empty",
                 combined.size(), std::size(config->Token) - 1);
  }
  VZ_LOG("pConfig->Token [%s]", MaskedToken(config->Token).c_str());
}

}  // namespace

void ActionObj2DSConfig(const JsonMembers& action, DSSessionConfig* config) {
  *config = DSSessionConfig{};
  const JsonMembers conf = JsonGetObject(action, "ds_conf");
  if (conf.empty()) return;

  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "conf_id"), config, MeetId);
  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "server_addr"), config, ServerAddr);
  VZ_STORE_LOGGED_TEXT(JsonGetString(conf, "server_ip"), config, ServerIp);
  config->TcpPort = JsonGetNumber(conf, "port");
  if (config->TcpPort == 0) config->TcpPort = kDefaultTcpPort;
  StoreCombinedToken(JsonGetString(conf, "token"), config);

  const JsonMembers state = JsonGetObject(action, "ds_state");
  if (state.empty()) {
    VZ_LOG_ERROR("There isn't ds_state in JSON!");
    return;
  }
  VZ_STORE_LOGGED_TEXT(JsonGetString(state, "id"), config, RosterId);
  VZ_STORE_LOGGED_TEXT(JsonGetString(state, "ds_id"), config, DSId);
  config->IsPresenter = JsonGetNumber(state, "is_presenter");
  VZ_LOG("pConfig->IsPresenter [%d]", config->IsPresenter);
}
