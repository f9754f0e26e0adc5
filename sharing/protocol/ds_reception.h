#pragma once
// What one received sharing message means to the session: the events it
// gives, in the order they must reach the engine.
//
// Session answers first: START or JOIN with code 0 give status 2, with
// another code error (code, 50); SERVER_DISCONNECT with code 80 (the meeting
// ended) gives status 4, with another code error (code, 50); STOP or LEAVE
// give status 4. A COMMAND with a non-zero code is dropped; any other type
// with a non-zero code gives error (code, 50). Otherwise a web attendee gets
// the whole message unparsed, and everyone else the parts it carries in
// this order: sharing info, caches, mouse info, blocks (to the request path
// for GET_CACHES), command.
//
// Bytes that are not a message, more than kDsMaxMessageBytes, or a message
// of more than kDsMaxMessageParts embedded parts give nothing (logged).
// Caches and blocks whose index lies beyond what the tables hold are
// dropped (logged).
//
// Threads: any; it touches nothing but its arguments.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "contracts/capture_records.h"
#include "contracts/session_status.h"
#include "common/vz_binary_data.h"
#include "sharing/protocol/ds_record_owners.h"
#include "sharing/records/cache_entry.h"
#include "sharing/records/keyframe_entry.h"
#include "sharing/records/mouse_entry.h"

// The code type reported with a server's non-zero code.
inline constexpr int32_t kDsServerCodeType = 50;
// Session states are reported upward as SessionStatus values.

struct DsReceivedEvent {
  enum class Kind { kStatus, kError, kSharingInfo, kCaches, kMouseInfo, kBlocks, kRequestCaches, kCommand, kWebBinary };
  explicit DsReceivedEvent(Kind event_kind) : kind(event_kind) {}

  Kind kind;
  int32_t value = 0;      // status, or error code
  int32_t code_type = 0;  // error only
  std::unique_ptr<SharingInfo> sharing_info;
  std::vector<VzObjectPtr<CCacheEntry>> caches;
  VzObjectPtr<CMouseEntry> mouse;
  std::vector<VzObjectPtr<CKeyframeEntry>> blocks;  // kBlocks and kRequestCaches
  DsCommandPtr command;
  VzObjectPtr<CVZBinaryData> web_binary;
};

std::vector<DsReceivedEvent> ReadDsReception(const uint8_t* data, size_t size, bool web_attendee);
