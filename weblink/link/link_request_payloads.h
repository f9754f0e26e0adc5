#pragma once
// Who frees what a request message carries. Every record is allocated
// zero-filled on the I/O thread and owned by its message from posting on:
// the UI thread frees it after the sink call, the helper window frees it
// when the message is dropped undelivered.
#include <cstdint>
#include <string_view>

#include "common/app_thread.h"

// The free function of a message's record; null for messages without one.
CAppThread::PayloadFree PayloadFreeFor(uint32_t msg);
// Frees the record of a message (nothing for messages without one).
void FreeLinkRequestPayload(uint32_t msg, uintptr_t wParam, intptr_t lParam);

// A heap copy of `utf8` as NUL-terminated UTF-16, for the message text.
char16_t* NewWideText(std::string_view utf8);
// A zero-filled session id text of kSessionIdTextCapacity units holding
// `utf8`; left empty (logged) when it needs more than 255 units.
char16_t* NewSessionIdText(std::string_view utf8, const char* key);

template <typename Record>
uintptr_t AsParam(Record* record) {
  return reinterpret_cast<uintptr_t>(record);
}
template <typename Record>
Record* FromParam(uintptr_t param) {
  return reinterpret_cast<Record*>(param);
}
