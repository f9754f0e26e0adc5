// The session requests of the web page: the sharing, audio and video records
// filled by the record builders, one log line each (tokens masked), posted.
#include <memory>

#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "weblink/link/link_messages.h"
#include "weblink/link/link_request_payloads.h"
#include "weblink/link/request_dispatch.h"
#include "weblink/records/token_mask.h"
#include "weblink/records/record_builders.h"

namespace {

// A logged field: wide text as UTF-8.
struct Text {
  explicit Text(const char16_t* wide) : utf8(WideToNarrow(wide)) {}
  const char* c_str() const { return utf8.c_str(); }
  std::string utf8;
};

std::unique_ptr<DSSessionConfig> BuildSharing(const JsonMembers& action) {
  auto config = std::make_unique<DSSessionConfig>();  // zero-filled
  ActionObj2DSConfig(action, config.get());
  return config;
}

// Each sharing request is posted whether or not it held "ds_conf" (without
// it the record stays zero).
void PostSharingQuickStart(const JsonMembers& action, LinkRequestPoster& poster) {
  VZ_LOG("");
  auto config = BuildSharing(action);
  VZ_LOG("serverAddr=[%s] sessionId=[%s], token=[%s] isPresenter=%d", Text(config->ServerAddr).c_str(),
         Text(config->RosterId).c_str(), MaskedToken(config->Token).c_str(), config->IsPresenter);
  poster.PostRequest(WMWS_SHARING_SESSION_REQUEST_QUICKSTART, AsParam(config.release()), 0);
}

void PostSharingStart(const JsonMembers& action, LinkRequestPoster& poster) {
  VZ_LOG("");
  auto config = BuildSharing(action);
  VZ_LOG("serverAddr=[%s] serverIp=[%s] sessionId=[%s], token=[%s] isPresenter=[%d]", Text(config->ServerAddr).c_str(),
         Text(config->ServerIp).c_str(), Text(config->RosterId).c_str(), MaskedToken(config->Token).c_str(),
         config->IsPresenter);
  poster.PostRequest(WMWS_SHARING_SESSION_REQUEST_START, AsParam(config.release()), 0);
}

void PostSharingJoin(const JsonMembers& action, LinkRequestPoster& poster) {
  VZ_LOG("");
  auto config = BuildSharing(action);
  config->IsWebAttendee = 1;
  VZ_LOG("serverAddr=[%s] serverIp=[%s] sessionId=[%s], token=[%s]", Text(config->ServerAddr).c_str(),
         Text(config->ServerIp).c_str(), Text(config->RosterId).c_str(), MaskedToken(config->Token).c_str());
  poster.PostRequest(WMWS_SHARING_SESSION_REQUEST_WEBJOIN, AsParam(config.release()), 0);
}

void PostSharingUpdate(const JsonMembers& action, LinkRequestPoster& poster) {
  VZ_LOG("");
  auto config = BuildSharing(action);
  VZ_LOG("serverAddr=%s sessionId=%s, token=%s", Text(config->ServerAddr).c_str(), Text(config->RosterId).c_str(),
         MaskedToken(config->Token).c_str());
  poster.PostRequest(WMWS_SHARING_SESSION_UPDATE, AsParam(config.release()), 0);
}

void LogAudioConfig(const ACSessionConfig& config) {
  VZ_LOG("zone [%s], serverAddr=[%s] sessionId=[%s], token=[%s] mute=[%d], edge_count [%d]", Text(config.Zone).c_str(),
         Text(config.ServerAddr).c_str(), Text(config.RosterId).c_str(), MaskedToken(config.Token).c_str(),
         config.IsMuted, config.EdgeServerCount);
}

void PostAudioJoin(const JsonMembers& action, LinkRequestPoster& poster) {
  auto config = std::make_unique<ACSessionConfig>();
  if (!ActionObj2ACConfig(action, config.get())) {
    VZ_LOG_ERROR("wrong json.");
    return;
  }
  LogAudioConfig(*config);
  poster.PostRequest(WMWS_AUDIO_SESSION_REQUEST_JOIN, AsParam(config.release()), 0);
}

void PostAudioUpdate(const JsonMembers& action, LinkRequestPoster& poster) {
  auto config = std::make_unique<ACSessionConfig>();
  if (!ActionObj2ACConfig(action, config.get())) {
    VZ_LOG_ERROR("Wrong json");
    return;
  }
  LogAudioConfig(*config);
  poster.PostRequest(WMWS_AUDIO_SESSION_REQUEST_UPDATE, AsParam(config.release()), 0);
}

void PostVideoJoin(const JsonMembers& action, LinkRequestPoster& poster) {
  auto config = std::make_unique<AVSessionConfig>();
  ActionObj2AVConfig(action, config.get());
  VZ_LOG("sessionId=[%s], token=[%s] broadcast=[%d] layout=[%d]", Text(config->RosterId).c_str(),
         MaskedToken(config->Token).c_str(), config->Broadcast, config->Layout);
  VZ_LOG("serverAddr=[%s] TcpPort[%d] UdpPort[%d]", Text(config->ServerAddr).c_str(), config->TcpPort, config->Port);
  poster.PostRequest(WMWS_VIDEO_SESSION_REQUEST_JOIN, AsParam(config.release()), 0);
}

void PostVideoUpdate(const JsonMembers& action, LinkRequestPoster& poster) {
  auto config = std::make_unique<AVSessionConfig>();
  ActionObj2AVConfig(action, config.get());
  VZ_LOG("serverAddr=[%s] sessionId=[%s], token=[%s] broadcast=[%d]", Text(config->ServerAddr).c_str(),
         Text(config->RosterId).c_str(), MaskedToken(config->Token).c_str(), config->Broadcast);
  poster.PostRequest(WMWS_VIDEO_SESSION_REQUEST_UPDATE, AsParam(config.release()), 0);
}

}  // namespace

void PostSharingRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  switch (msg) {
    case WMWS_SHARING_SESSION_REQUEST_QUICKSTART: PostSharingQuickStart(action, poster); break;
    case WMWS_SHARING_SESSION_REQUEST_START: PostSharingStart(action, poster); break;
    case WMWS_SHARING_SESSION_REQUEST_WEBJOIN: PostSharingJoin(action, poster); break;
    case WMWS_SHARING_SESSION_UPDATE: PostSharingUpdate(action, poster); break;
    default: break;
  }
}

void PostAudioRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  switch (msg) {
    case WMWS_AUDIO_SESSION_REQUEST_JOIN: PostAudioJoin(action, poster); break;
    case WMWS_AUDIO_SESSION_REQUEST_UPDATE: PostAudioUpdate(action, poster); break;
    default: break;
  }
}

void PostVideoRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster) {
  switch (msg) {
    case WMWS_VIDEO_SESSION_REQUEST_JOIN: PostVideoJoin(action, poster); break;
    case WMWS_VIDEO_SESSION_REQUEST_UPDATE: PostVideoUpdate(action, poster); break;
    default: break;
  }
}
