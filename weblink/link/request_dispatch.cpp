#include "weblink/link/request_dispatch.h"

#include <exception>
#include <memory>
#include <new>
#include <string_view>

#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "common/vz_binary_data.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"
#include "weblink/link/link_messages.h"
#include "weblink/link/link_request_payloads.h"
#include "contracts/link_request_records.h"
#include "weblink/records/record_builders.h"

namespace {

using PostFn = void (*)(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster);

// Wraps on overflow, as the 32-bit sums of the frame's edges always did.
int32_t WrappingSum(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

uintptr_t NumberParam(int32_t value) { return static_cast<uintptr_t>(static_cast<uint32_t>(value)); }

void PostBare(uint32_t msg, const JsonMembers& /*action*/, LinkRequestPoster& poster) {
  poster.PostRequest(msg, 0, 0);
}

void PostWindowEvent(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  const int32_t type = JsonGetNumber(action, "type");
  const JsonMembers frame = JsonGetObject(action, "frame");
  const int32_t x = JsonGetNumber(frame, "x");
  const int32_t y = JsonGetNumber(frame, "y");
  auto* record = new WindowEventRecord{x, y, WrappingSum(x, JsonGetNumber(frame, "width")),
                                       WrappingSum(y, JsonGetNumber(frame, "height"))};
  poster.PostRequest(msg, NumberParam(type), static_cast<intptr_t>(AsParam(record)));
}

void PostMouseEvent(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  const int32_t type = JsonGetNumber(action, "type");
  const int32_t count = JsonGetNumber(action, "count");
  const JsonMembers point = JsonGetObject(action, "point");
  auto* record = new MouseEventRecord{type, JsonGetNumber(point, "x"), JsonGetNumber(point, "y"), count};
  poster.PostRequest(msg, NumberParam(type), static_cast<intptr_t>(AsParam(record)));
}

// One record per element of "rosters", in array order.
void PostRosters(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  const JsonItems rosters = JsonGetArray(action, "rosters");
  if (rosters.empty()) {
    VZ_LOG("join there isn't roster");
    return;
  }
  for (const JsonValue& element : rosters) {
    if (element.tag != kJsonTagObject) {
      VZ_LOG_ERROR("a roster that is not an object is skipped");
      continue;
    }
    auto* record = new RosterRecord{};
    if (msg == WMWS_APP_CMD_ROSTER_LEFT) {
      ParseRosterLeftRecord(element.members(), record);
      VZ_LOG("Left %s", WideToNarrow(record->RosterId).c_str());
    } else {
      ParseRosterRecord(element.members(), record);
      VZ_LOG("Updated RosterId=%s, name=%s", WideToNarrow(record->RosterId).c_str(),
             WideToNarrow(record->Name).c_str());
    }
    poster.PostRequest(msg, AsParam(record), 0);
  }
}

void PostMessageText(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  const std::string message = JsonGetString(action, "message");
  VZ_LOG("ptcMessage=%s", message.c_str());
  poster.PostRequest(msg, AsParam(NewWideText(message)), 0);
}

// Stop and leave: the one id of the session's config object.
void PostSessionId(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  std::string_view object = "av_conf";
  std::string_view key = "conf_id";
  if (msg == WMWS_SHARING_SESSION_REQUEST_STOP) {
    object = "ds_conf";
    key = "ds_sessionid";
  } else if (msg == WMWS_AUDIO_SESSION_REQUEST_LEAVE) {
    object = "ac_conf";
  }
  const JsonMembers conf = JsonGetObject(action, object);
  if (conf.empty()) return;
  const std::string id = JsonGetString(conf, key);
  poster.PostRequest(msg, AsParam(NewSessionIdText(id, std::string(key).c_str())), 0);
}

// Row and column travel as unsigned 16-bit halves of lParam.
void PostLayout(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  const JsonMembers conf = JsonGetObject(action, "av_conf");
  if (conf.empty()) return;
  const auto row = static_cast<uint32_t>(JsonGetNumber(conf, "row"));
  const auto col = static_cast<uint32_t>(JsonGetNumber(conf, "col"));
  const uint32_t packed = ((col & 0xFFFFu) << 16) | (row & 0xFFFFu);
  poster.PostRequest(msg, NumberParam(JsonGetNumber(conf, "layout")), static_cast<intptr_t>(packed));
}

struct ActionRequest {
  std::string_view type;
  uint32_t msg;
  PostFn post;
};

// Every type that needs a non-empty "action" object.
constexpr ActionRequest kActionRequests[] = {
    {"PLUGIN_WINDOW_EVENT", WMWS_PLUGIN_WINDOW_EVENT, PostWindowEvent},
    {"PLUGIN_MOUSE_EVENT", WMWS_PLUGIN_MOUSE_EVENT, PostMouseEvent},
    {"APP_ROSTERS_CMD_JOINED", WMWS_APP_CMD_ROSTER_JOINED, PostRosters},
    {"APP_ROSTERS_CMD_LEFT", WMWS_APP_CMD_ROSTER_LEFT, PostRosters},
    {"APP_ROSTERS_CMD_UPDATED", WMWS_APP_CMD_ROSTER_UPDATED, PostRosters},
    {"APP_REQUEST_PING", WMWS_APP_REQUEST_PING, PostBare},
    {"APP_MESSAGE_CMD_UPDATE", WMWS_APP_CMD_MESSAGE, PostMessageText},
    {"DS_SESSION_REQUEST_QUICKSTART", WMWS_SHARING_SESSION_REQUEST_QUICKSTART, PostSharingRequest},
    {"DS_SESSION_REQUEST_START", WMWS_SHARING_SESSION_REQUEST_START, PostSharingRequest},
    {"DS_SESSION_REQUEST_JOIN", WMWS_SHARING_SESSION_REQUEST_WEBJOIN, PostSharingRequest},
    {"DS_SESSION_REQUEST_UPDATE", WMWS_SHARING_SESSION_UPDATE, PostSharingRequest},
    {"DS_SESSION_REQUEST_STOP", WMWS_SHARING_SESSION_REQUEST_STOP, PostSessionId},
    {"AC_SESSION_REQUEST_JOIN", WMWS_AUDIO_SESSION_REQUEST_JOIN, PostAudioRequest},
    {"AC_SESSION_REQUEST_UPDATE", WMWS_AUDIO_SESSION_REQUEST_UPDATE, PostAudioRequest},
    {"AC_SESSION_REQUEST_MUTE", WMWS_AUDIO_SESSION_REQUEST_MUTE, PostBare},
    {"AC_SESSION_REQUEST_UNMUTE", WMWS_AUDIO_SESSION_REQUEST_UNMUTE, PostBare},
    {"AC_SESSION_REQUEST_CONFIG", WMWS_AUDIO_SESSION_REQUEST_CONFIG, PostBare},
    {"AC_SESSION_REQUEST_LEAVE", WMWS_AUDIO_SESSION_REQUEST_LEAVE, PostSessionId},
    {"AC_SESSION_STATUS_JOINED", WMWS_APP_AUDIO_STATUS_JOINED, PostBare},
    {"AC_SESSION_STATUS_LEFT", WMWS_APP_AUDIO_STATUS_LEFT, PostBare},
    {"AC_SESSION_STATUS_MUTED", WMWS_APP_AUDIO_STATUS_MUTED, PostBare},
    {"AC_SESSION_STATUS_UNMUTED", WMWS_APP_AUDIO_STATUS_UNMUTED, PostBare},
    {"AV_SESSION_REQUEST_JOIN", WMWS_VIDEO_SESSION_REQUEST_JOIN, PostVideoRequest},
    {"AV_SESSION_REQUEST_UPDATE", WMWS_VIDEO_SESSION_REQUEST_UPDATE, PostVideoRequest},
    {"AV_SESSION_REQUEST_LEAVE", WMWS_VIDEO_SESSION_REQUEST_LEAVE, PostSessionId},
    {"AV_SESSION_REQUEST_CONFIG", WMWS_VIDEO_SESSION_REQUEST_CONFIG, PostBare},
    {"AV_SESSION_REQUEST_CAMERAON", WMWS_VIDEO_SESSION_REQUEST_CAMERAON, PostBare},
    {"AV_SESSION_REQUEST_CAMERAOFF", WMWS_VIDEO_SESSION_REQUEST_CAMERAOFF, PostBare},
    {"AV_SESSION_REQUEST_LAYOUT", WMWS_VIDEO_SESSION_REQUEST_LAYOUT, PostLayout},
};

// The whole text, unparsed, for the sharing engine.
void PostDataCommand(const std::string& payload, LinkRequestPoster& poster) {
  auto* data = new CVZBinaryData(payload.data(), static_cast<uint32_t>(payload.size()));
  if (data->length() != payload.size()) {
    VZ_LOG_ERROR("no memory for a data command of %zu bytes: dropped", payload.size());
    data->Release();
    return;
  }
  poster.PostRequest(WMWS_SHARING_DATA_COMMAND, AsParam(data), 0);
}

void PostMeetConfig(const JsonMembers& message, LinkRequestPoster& poster) {
  const JsonMembers conf = JsonGetObject(message, "conf");
  if (conf.empty()) {
    VZ_LOG_ERROR("config is empty");
    return;
  }
  auto* config = new MeetConfig{};
  ParseMeetConfig(conf, config);
  poster.PostRequest(WMWS_APP_CMD_MEETCONFIG, AsParam(config), 0);
}

void DispatchParsed(const std::string& payload, LinkRequestPoster& poster) {
  const JsonDocument root = JsonParse(payload);
  if (!root) return;
  const JsonMembers message = root->members();  // empty unless the root is an object
  const std::string type = JsonGetString(message, "type");

  if (type == "DS_DATA_GET_CACHES" || type == "DS_DATA_COMMAND") {
    PostDataCommand(payload, poster);
    return;
  }
  if (type == "APP_MEET_CONFIG") {
    PostMeetConfig(message, poster);
    return;
  }
  if (type == "APP_PROXY_CONFIG") {
    poster.PostRequest(WMWS_APP_CMD_PROXYCONFIG, 0, 0);
    return;
  }
  const JsonMembers action = JsonGetObject(message, "action");
  if (action.empty()) {
    VZ_LOG("action is empty");
    return;
  }
  for (const ActionRequest& request : kActionRequests) {
    if (request.type == type) {
      request.post(request.msg, action, poster);
      return;
    }
  }
}

}  // namespace

// The I/O thread must outlive any one message: a request whose records the
// system has no memory for is dropped like a malformed one (what it posted
// before stays posted).
void DispatchLinkRequest(const std::string& payload, LinkRequestPoster& poster) {
  try {
    DispatchParsed(payload, poster);
  } catch (const std::bad_alloc&) {
    VZ_LOG_ERROR("out of memory on a request of %zu bytes: dropped", payload.size());
  } catch (const std::exception& error) {
    VZ_LOG_ERROR("request of %zu bytes dropped: %s", payload.size(), error.what());
  } catch (...) {
    VZ_LOG_ERROR("request of %zu bytes dropped: unknown exception", payload.size());
  }
}
