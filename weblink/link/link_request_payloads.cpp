#include "weblink/link/link_request_payloads.h"

#include <cstring>

#include "common/vz_binary_data.h"
#include "platform/text.h"
#include "weblink/link/link_messages.h"
#include "contracts/link_request_records.h"
#include "contracts/session_records.h"
#include "weblink/records/wide_field.h"

namespace {

template <typename Record>
void DeleteWParam(uintptr_t wParam, intptr_t /*lParam*/) {
  delete FromParam<Record>(wParam);
}

template <typename Record>
void DeleteLParam(uintptr_t /*wParam*/, intptr_t lParam) {
  delete FromParam<Record>(static_cast<uintptr_t>(lParam));
}

void DeleteWideText(uintptr_t wParam, intptr_t /*lParam*/) { delete[] FromParam<char16_t>(wParam); }

void ReleaseBinaryData(uintptr_t wParam, intptr_t /*lParam*/) {
  if (CVZBinaryData* data = FromParam<CVZBinaryData>(wParam)) data->Release();
}

}  // namespace

CAppThread::PayloadFree PayloadFreeFor(uint32_t msg) {
  switch (msg) {
    case WMWS_APP_CMD_ROSTER_JOINED:
    case WMWS_APP_CMD_ROSTER_LEFT:
    case WMWS_APP_CMD_ROSTER_UPDATED:
      return DeleteWParam<RosterRecord>;
    case WMWS_APP_CMD_MEETCONFIG:
      return DeleteWParam<MeetConfig>;
    case WMWS_SHARING_SESSION_REQUEST_START:
    case WMWS_SHARING_SESSION_UPDATE:
    case WMWS_SHARING_SESSION_REQUEST_QUICKSTART:
    case WMWS_SHARING_SESSION_REQUEST_WEBJOIN:
      return DeleteWParam<DSSessionConfig>;
    case WMWS_AUDIO_SESSION_REQUEST_JOIN:
    case WMWS_AUDIO_SESSION_REQUEST_UPDATE:
      return DeleteWParam<ACSessionConfig>;
    case WMWS_VIDEO_SESSION_REQUEST_JOIN:
    case WMWS_VIDEO_SESSION_REQUEST_UPDATE:
      return DeleteWParam<AVSessionConfig>;
    case WMWS_APP_CMD_MESSAGE:
    case WMWS_SHARING_SESSION_REQUEST_STOP:
    case WMWS_AUDIO_SESSION_REQUEST_LEAVE:
    case WMWS_VIDEO_SESSION_REQUEST_LEAVE:
      return DeleteWideText;
    case WMWS_SHARING_DATA_COMMAND:
      return ReleaseBinaryData;
    case WMWS_PLUGIN_WINDOW_EVENT:
      return DeleteLParam<WindowEventRecord>;
    case WMWS_PLUGIN_MOUSE_EVENT:
      return DeleteLParam<MouseEventRecord>;
    default:
      return nullptr;
  }
}

void FreeLinkRequestPayload(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (CAppThread::PayloadFree free_payload = PayloadFreeFor(msg)) free_payload(wParam, lParam);
}

char16_t* NewWideText(std::string_view utf8) {
  const std::u16string wide = vz::Utf8ToUtf16(utf8);
  auto* text = new char16_t[wide.size() + 1]();
  std::memcpy(text, wide.data(), wide.size() * sizeof(char16_t));
  return text;
}

char16_t* NewSessionIdText(std::string_view utf8, const char* key) {
  auto* text = new char16_t[kSessionIdTextCapacity]();
  StoreWideField(text, kSessionIdTextCapacity, utf8, key);
  return text;
}
