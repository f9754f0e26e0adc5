#pragma once
// The messages the transport's threads post to the connection's helper
// window, and what each carries in (wParam, lParam).
#include <cstdint>

enum : uint32_t {
  WMTP_STATUS = 1025,           // status, 0
  WMTP_RECONNECTING = 1026,     // the transport's reason, value
  WMTP_ERROR = 1027,            // code, code type
  WMTP_CACHES = 1038,           // CCacheEntry** (new[]), count
  WMTP_BLOCKS = 1039,           // CKeyframeEntry** (new[]), count
  WMTP_SHARING_INFO = 1042,     // SharingInfo* (new), 0
  WMTP_MOUSE_INFO = 1043,       // CMouseEntry*, 0
  WMTP_REQUEST_CACHES = 1044,   // CKeyframeEntry** (new[]), count
  WMTP_SEND_BACKLOG = 1045,     // value, 0
  WMTP_COMMAND = 1046,          // DSCommandRecord* (new, points new[]), 0
  WMTP_WEB_BINARY = 1047,       // CVZBinaryData*, 0
  WMTP_RECEIVED = 1048,         // bytes of one received message whose records went before, 0
};
