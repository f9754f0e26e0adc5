#pragma once
// The link instance's helper-window messages: what the pipe's I/O thread
// hands to the UI thread. Request messages carry the record they describe
// (see link_request_payloads.h for who frees what).
#include <cstdint>

enum LinkMessage : uint32_t {
  WMWS_APP_LISTENER_STATUS = 1132,  // wParam: 2 connected, 1 disconnected; lParam: reason

  WMWS_APP_CMD_ROSTER_JOINED = 1225,  // wParam: RosterRecord
  WMWS_APP_CMD_ROSTER_LEFT = 1226,
  WMWS_APP_CMD_ROSTER_UPDATED = 1227,
  WMWS_APP_CMD_MESSAGE = 1228,      // wParam: NUL-terminated wide text
  WMWS_APP_CMD_MEETCONFIG = 1229,   // wParam: MeetConfig
  WMWS_APP_CMD_PROXYCONFIG = 1230,
  WMWS_APP_REQUEST_PING = 1231,

  WMWS_SHARING_SESSION_REQUEST_START = 1325,  // wParam: DSSessionConfig
  WMWS_SHARING_SESSION_REQUEST_STOP = 1326,   // wParam: session id text
  WMWS_SHARING_SESSION_UPDATE = 1327,
  WMWS_SHARING_SESSION_REQUEST_QUICKSTART = 1328,
  WMWS_SHARING_SESSION_REQUEST_WEBJOIN = 1329,
  WMWS_SHARING_DATA_COMMAND = 1330,  // wParam: CVZBinaryData

  WMWS_AUDIO_SESSION_REQUEST_JOIN = 1425,   // wParam: ACSessionConfig
  WMWS_AUDIO_SESSION_REQUEST_LEAVE = 1426,  // wParam: session id text
  WMWS_AUDIO_SESSION_REQUEST_UPDATE = 1427,
  WMWS_AUDIO_SESSION_REQUEST_CONFIG = 1428,
  WMWS_AUDIO_SESSION_REQUEST_MUTE = 1429,
  WMWS_AUDIO_SESSION_REQUEST_UNMUTE = 1430,

  WMWS_APP_AUDIO_STATUS_JOINED = 1525,
  WMWS_APP_AUDIO_STATUS_LEFT = 1526,
  WMWS_APP_AUDIO_STATUS_MUTED = 1527,
  WMWS_APP_AUDIO_STATUS_UNMUTED = 1528,

  WMWS_VIDEO_SESSION_REQUEST_JOIN = 1625,   // wParam: AVSessionConfig
  WMWS_VIDEO_SESSION_REQUEST_LEAVE = 1626,  // wParam: session id text
  WMWS_VIDEO_SESSION_REQUEST_UPDATE = 1627,
  WMWS_VIDEO_SESSION_REQUEST_LAYOUT = 1628,  // wParam: layout; lParam: col << 16 | row
  WMWS_VIDEO_SESSION_REQUEST_CONFIG = 1629,
  WMWS_VIDEO_SESSION_REQUEST_CAMERAON = 1630,
  WMWS_VIDEO_SESSION_REQUEST_CAMERAOFF = 1631,

  WMWS_PLUGIN_WINDOW_EVENT = 2025,  // wParam: type; lParam: WindowEventRecord
  WMWS_PLUGIN_MOUSE_EVENT = 2026,   // wParam: type; lParam: MouseEventRecord
};

// WMWS_APP_LISTENER_STATUS's wParam.
constexpr uintptr_t kListenerDisconnected = 1;
constexpr uintptr_t kListenerConnected = 2;
