#pragma once
// The sharing engine's connection to the media transport: IDSTp is what the
// engine calls, IDSTpSink what it is called back on.
//
// Threads: the engine calls IDSTp on its own thread (the one that created
// the connection); every IDSTpSink call is made on that same thread, in the
// order the transport reported the events. Records handed to the sink belong
// to the connection and live during the call only; an engine that keeps an
// entry takes a reference (AddRef).
#include <cstdint>

#include "contracts/capture_records.h"
#include "common/vz_binary_data.h"
#include "contracts/ds_command_record.h"
#include "sharing/records/cache_entry.h"
#include "sharing/records/keyframe_entry.h"
#include "sharing/records/mouse_entry.h"
#include "contracts/session_records.h"

struct NetworkProxyEntry;

// Senders return 1 when the message was handed to the transport, 0 when it
// was dropped (not joined, or the transport refused it), each logged. A
// list of count 0 sends nothing and returns 1.
class IDSTp {
 public:
  // Starts joining the session (copies the config and proxy; null proxy:
  // none). 1: the join started, its outcome arrives as status 2 or an
  // error. 0: no transport, or it refused ("Join failed, it is already
  // joined.").
  virtual int32_t DSConnect(const DSSessionConfig* config, const NetworkProxyEntry* proxy) = 0;  // 0
  // Sends STOP (presenter) or LEAVE, leaves and releases the transport. 1.
  virtual int32_t DSDisconnect() = 0;                                                            // 1
  virtual int32_t DSSendSharingInfo(const SharingInfo* info) = 0;                                // 2
  virtual int32_t DSSendMouseInfo(const CMouseEntry* mouse) = 0;                                 // 3
  virtual int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) = 0;                     // 4
  virtual int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) = 0;                  // 5
  virtual int32_t DSRequestKeyFrame() = 0;                                                       // 6
  // Asks the server for the caches the blocks name.
  virtual int32_t DSRequestCaches(CKeyframeEntry* const* list, int32_t count) = 0;               // 7
  virtual int32_t DSSendCommand(const DSCommandRecord* command) = 0;                             // 8
  // A web attendee's bytes, unchanged.
  virtual int32_t DSSendWebBinary(const CVZBinaryData* data) = 0;                                // 9

 protected:
  ~IDSTp() = default;
};

class IDSTpSink {
 public:
  // 1 reconnecting, 2 session up, 4 session over.
  virtual int32_t OnTPStatusNotification(int32_t status) = 0;                       // 0
  // (server code, 50), or the transport's (reason, value) when it left. The
  // connection has already disconnected itself.
  virtual int32_t OnTPErrorNotification(int32_t code, int32_t code_type) = 0;      // 1
  virtual int32_t OnDSTpSharingInfo(SharingInfo* info) = 0;                         // 2
  virtual int32_t OnDSTpMouseInfo(CMouseEntry* mouse) = 0;                          // 3
  virtual int32_t OnDSTpCaches(CCacheEntry** list, int32_t count) = 0;              // 4
  virtual int32_t OnDSTpBlocks(CKeyframeEntry** list, int32_t count) = 0;           // 5
  // The answer to DSRequestCaches: the blocks asked for (their caches came
  // just before through OnDSTpCaches).
  virtual int32_t OnDSTpRequestCaches(CKeyframeEntry** list, int32_t count) = 0;    // 6
  // Bytes queued in the transport and not yet sent.
  virtual int32_t OnDSTpSendBacklog(int32_t value) = 0;                             // 7
  virtual int32_t OnDSTpCommand(DSCommandRecord* command) = 0;                      // 8
  // A web attendee's session: a received message, unparsed.
  virtual int32_t OnDSTpWebBinary(CVZBinaryData* data) = 0;                         // 9

 protected:
  ~IDSTpSink() = default;
};
