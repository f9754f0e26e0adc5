#include "weblink/link/request_delivery.h"

#include "common/trace_client.h"
#include "weblink/link/link_messages.h"
#include "weblink/link/link_request_payloads.h"

namespace {

// Frees the message's record however the delivery ends.
class PayloadOwner {
 public:
  PayloadOwner(uint32_t msg, uintptr_t wParam, intptr_t lParam) : msg_(msg), wParam_(wParam), lParam_(lParam) {}
  ~PayloadOwner() { FreeLinkRequestPayload(msg_, wParam_, lParam_); }
  PayloadOwner(const PayloadOwner&) = delete;
  PayloadOwner& operator=(const PayloadOwner&) = delete;

 private:
  uint32_t msg_;
  uintptr_t wParam_;
  intptr_t lParam_;
};

int32_t AsNumber(uintptr_t param) { return static_cast<int32_t>(static_cast<uint32_t>(param)); }

void DeliverSharing(IVzLinkInstanceSink& sink, uint32_t msg, DSSessionConfig* config) {
  if (config == nullptr) return;
  const int presenter = config->IsPresenter;
  const int attendee = config->IsWebAttendee;
  switch (msg) {
    case WMWS_SHARING_SESSION_REQUEST_START:
      VZ_LOG("WMWS_SHARING_SESSION_REQUEST_START");
      VZ_COLLECT("web request ds start with is presenter [%d] is web attendee [%d]", presenter, attendee);
      sink.OnDSSessionRequestStart(config);
      break;
    case WMWS_SHARING_SESSION_UPDATE:
      VZ_LOG("WMWS_SHARING_SESSION_UPDATE");
      VZ_COLLECT("web request ds update with is presenter [%d] is web attendee [%d]", presenter, attendee);
      sink.OnDSSessionRequestUpdate(config);
      break;
    case WMWS_SHARING_SESSION_REQUEST_QUICKSTART:
      VZ_LOG("WMWS_SHARING_SESSION_REQUEST_QUICKSTART");
      sink.OnDSSessionRequestQuickStart(config);
      VZ_COLLECT("web request ds quick start with is presenter [%d] is web attendee [%d]", presenter, attendee);
      break;
    case WMWS_SHARING_SESSION_REQUEST_WEBJOIN:
      VZ_LOG("WMWS_SHARING_SESSION_REQUEST_WEBJOIN");
      VZ_COLLECT("web request ds join with is presenter [%d] is web attendee [%d]", presenter, attendee);
      sink.OnDSSessionRequestWebJoin(config);
      break;
    default:
      break;
  }
}

void DeliverRoster(IVzLinkInstanceSink& sink, uint32_t msg, RosterRecord* roster) {
  if (roster == nullptr) return;
  switch (msg) {
    case WMWS_APP_CMD_ROSTER_JOINED:
      VZ_LOG("WMWS_APP_CMD_ROSTER_JOINED");
      sink.OnAppCmdUserJoined(roster);
      break;
    case WMWS_APP_CMD_ROSTER_LEFT:
      VZ_LOG("WMWS_APP_CMD_ROSTER_LEFT");
      sink.OnAppCmdUserLeft(roster);
      break;
    default:
      VZ_LOG("WMWS_APP_CMD_ROSTER_UPDATED");
      sink.OnAppCmdUserUpdated(roster);
      break;
  }
}

void DeliverAudio(IVzLinkInstanceSink& sink, uint32_t msg, uintptr_t wParam) {
  switch (msg) {
    case WMWS_AUDIO_SESSION_REQUEST_JOIN:
    case WMWS_AUDIO_SESSION_REQUEST_UPDATE: {
      auto* config = FromParam<ACSessionConfig>(wParam);
      if (config == nullptr) return;
      if (msg == WMWS_AUDIO_SESSION_REQUEST_JOIN) {
        VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_JOIN");
        VZ_COLLECT("web request ac join with is muted [%d]", config->IsMuted);
        sink.OnACSessionRequestJoin(config);
      } else {
        VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_UPDATE");
        VZ_COLLECT("web request ac update with is muted [%d]", config->IsMuted);
        sink.OnACSessionRequestUpdate(config);
      }
      break;
    }
    case WMWS_AUDIO_SESSION_REQUEST_LEAVE:
      VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_LEAVE");
      VZ_COLLECT("web request ac leave");
      sink.OnACSessionRequestLeave(FromParam<char16_t>(wParam));
      break;
    case WMWS_AUDIO_SESSION_REQUEST_CONFIG:
      VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_CONFIG");
      VZ_COLLECT("web request ac config");
      sink.OnACSessionRequestConfig(0);
      break;
    case WMWS_AUDIO_SESSION_REQUEST_MUTE:
      VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_MUTE");
      VZ_COLLECT("web request ac mute");
      sink.OnACSessionRequestMute(0);
      break;
    case WMWS_AUDIO_SESSION_REQUEST_UNMUTE:
      VZ_LOG("WMWS_AUDIO_SESSION_REQUEST_UNMUTE");
      VZ_COLLECT("web request ac unmute");
      sink.OnACSessionRequestUnmute(0);
      break;
    case WMWS_APP_AUDIO_STATUS_JOINED:
      VZ_LOG("WMWS_APP_AUDIO_STATUS_JOINED");
      sink.OnAppAudioStatusJoined(0);
      break;
    case WMWS_APP_AUDIO_STATUS_LEFT:
      VZ_LOG("WMWS_APP_AUDIO_STATUS_LEFT");
      sink.OnAppAudioStatusLeft();
      break;
    case WMWS_APP_AUDIO_STATUS_MUTED:
      VZ_LOG("WMWS_APP_AUDIO_STATUS_MUTED");
      sink.OnAppAudioStatusMuted();
      break;
    case WMWS_APP_AUDIO_STATUS_UNMUTED:
      VZ_LOG("WMWS_APP_AUDIO_STATUS_UNMUTED");
      sink.OnAppAudioStatusUnmuted();
      break;
    default:
      break;
  }
}

void DeliverVideo(IVzLinkInstanceSink& sink, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case WMWS_VIDEO_SESSION_REQUEST_JOIN:
    case WMWS_VIDEO_SESSION_REQUEST_UPDATE: {
      auto* config = FromParam<AVSessionConfig>(wParam);
      if (config == nullptr) return;
      if (msg == WMWS_VIDEO_SESSION_REQUEST_JOIN) {
        VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_JOIN");
        VZ_COLLECT("web request av join broadcast [%d]", config->Broadcast);
        sink.OnAVSessionRequestJoin(config);
      } else {
        VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_UPDATE");
        VZ_COLLECT("web request av update broadcast [%d]", config->Broadcast);
        sink.OnAVSessionRequestUpdate(config);
      }
      break;
    }
    case WMWS_VIDEO_SESSION_REQUEST_LEAVE:
      VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_LEAVE");
      VZ_COLLECT("web request av leave");
      sink.OnAVSessionRequestLeave(FromParam<char16_t>(wParam));
      break;
    case WMWS_VIDEO_SESSION_REQUEST_LAYOUT: {
      VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_LAYOUT");
      const auto packed = static_cast<uint32_t>(lParam);
      int32_t row_column[2] = {static_cast<int32_t>(packed & 0xFFFFu), static_cast<int32_t>(packed >> 16)};
      sink.OnAVSessionRequestLayout(0, AsNumber(wParam), row_column);
      break;
    }
    case WMWS_VIDEO_SESSION_REQUEST_CONFIG:
      VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_CONFIG");
      VZ_COLLECT("web request av config");
      sink.OnAVSessionRequestConfig(0);
      break;
    case WMWS_VIDEO_SESSION_REQUEST_CAMERAON:
      VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_CAMERAON");
      VZ_COLLECT("web request av camera on");
      sink.OnAVSessionRequestCameraOn(0);
      break;
    case WMWS_VIDEO_SESSION_REQUEST_CAMERAOFF:
      VZ_LOG("WMWS_VIDEO_SESSION_REQUEST_CAMERAOFF");
      VZ_COLLECT("web request av camera off");
      sink.OnAVSessionRequestCameraOff(0);
      break;
    default:
      break;
  }
}

}  // namespace

bool DeliverLinkRequest(IVzLinkInstanceSink& sink, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const bool audio = (msg >= WMWS_AUDIO_SESSION_REQUEST_JOIN && msg <= WMWS_AUDIO_SESSION_REQUEST_UNMUTE) ||
                     (msg >= WMWS_APP_AUDIO_STATUS_JOINED && msg <= WMWS_APP_AUDIO_STATUS_UNMUTED);
  const bool video = msg >= WMWS_VIDEO_SESSION_REQUEST_JOIN && msg <= WMWS_VIDEO_SESSION_REQUEST_CAMERAOFF;
  const bool other = (msg >= WMWS_APP_CMD_ROSTER_JOINED && msg <= WMWS_APP_CMD_PROXYCONFIG) ||
                     (msg >= WMWS_SHARING_SESSION_REQUEST_START && msg <= WMWS_SHARING_DATA_COMMAND) ||
                     msg == WMWS_PLUGIN_WINDOW_EVENT || msg == WMWS_PLUGIN_MOUSE_EVENT;
  if (!audio && !video && !other) return false;
  const PayloadOwner owner(msg, wParam, lParam);
  if (audio) {
    DeliverAudio(sink, msg, wParam);
    return true;
  }
  if (video) {
    DeliverVideo(sink, msg, wParam, lParam);
    return true;
  }
  switch (msg) {
    case WMWS_APP_CMD_ROSTER_JOINED:
    case WMWS_APP_CMD_ROSTER_LEFT:
    case WMWS_APP_CMD_ROSTER_UPDATED:
      DeliverRoster(sink, msg, FromParam<RosterRecord>(wParam));
      break;
    case WMWS_APP_CMD_MESSAGE:
      VZ_LOG("WMWS_APP_CMD_MESSAGE");
      break;
    case WMWS_APP_CMD_MEETCONFIG:
      VZ_LOG("WMWS_APP_CMD_MEETCONFIG");
      sink.OnAppCmdMeetConfig(FromParam<MeetConfig>(wParam));
      break;
    case WMWS_APP_CMD_PROXYCONFIG:
      VZ_LOG("WMWS_APP_CMD_PROXYCONFIG");
      sink.OnAppRequestConfigProxy(0);
      VZ_COLLECT("web request proxy config");
      break;
    case WMWS_SHARING_SESSION_REQUEST_STOP:
      VZ_LOG("WMWS_SHARING_SESSION_REQUEST_STOP");
      VZ_COLLECT("web request ds stop");
      sink.OnDSSessionRequestStop(FromParam<char16_t>(wParam));
      break;
    case WMWS_SHARING_DATA_COMMAND:
      VZ_LOG("WMWS_SHARING_DATA_COMMAND");
      sink.OnDSDataCommand(FromParam<CVZBinaryData>(wParam));
      break;
    case WMWS_PLUGIN_WINDOW_EVENT:
      VZ_LOG("WMWS_PLUGIN_WINDOW_EVENT");
      sink.OnPluginWindowEvent(AsNumber(wParam), FromParam<WindowEventRecord>(static_cast<uintptr_t>(lParam)));
      break;
    case WMWS_PLUGIN_MOUSE_EVENT:
      VZ_LOG("WMWS_PLUGIN_MOUSE_EVENT");
      sink.OnPluginMouseEvent(FromParam<MouseEventRecord>(static_cast<uintptr_t>(lParam)));
      break;
    default:
      DeliverSharing(sink, msg, FromParam<DSSessionConfig>(wParam));
      break;
  }
  return true;
}
