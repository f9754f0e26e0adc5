#pragma once
// Received wire messages into the engine's records. Each value is read back
// as the low 32 bits of its 64-bit field; a rectangle (x, y, width, height)
// becomes left = x, top = y, right = x + width, bottom = y + height. Texts
// are decoded from UTF-8 (malformed bytes become U+FFFD).
//
// Everything here bounds what the sender controls: at most 16 monitors, at
// most 10,000 annotation points, and a cache slot never holds more bytes
// than the message carried. Each cut is logged.
#include "contracts/capture_records.h"
#include "dsdef.pb.h"
#include "contracts/ds_command_record.h"
#include "sharing/protocol/ds_record_owners.h"
#include "sharing/records/cache_entry.h"
#include "sharing/records/keyframe_entry.h"
#include "sharing/records/mouse_entry.h"

// Zero-fills `info` first; block size 0, no applications.
void ReadDsSharingInfo(const DsSharingInfo& message, SharingInfo* info);
VzObjectPtr<CMouseEntry> ReadDsMouseInfo(const DsMouseInfo& message);
// The first cache_data fills slot 0, the second slot 1, more are ignored.
// A slot holds min(data_size, bytes carried) bytes. A failed allocation
// leaves that slot without data (logged "malloc memory size [%d] failed.").
VzObjectPtr<CCacheEntry> ReadDsCache(const DsCache& message);
VzObjectPtr<CKeyframeEntry> ReadDsBlock(const DsBlock& message);
// Zero-filled; each event group when present; points in a new array.
// Null only when memory ran out (logged).
DsCommandPtr ReadDsCommand(const DsCommand& message);
