#pragma once
// Records of the sharing engine into wire messages. 32-bit values go into the
// 64-bit fields zero-extended when unsigned by nature (ids, indices, colours)
// and sign-extended when signed (coordinates, sizes, types, modes); a
// receiver takes the low 32 bits back. A RECT travels as x, y, width, height.
#include <cstdint>
#include <string>

#include "contracts/capture_records.h"
#include "dsdef.pb.h"
#include "contracts/ds_command_record.h"
#include "sharing/protocol/ds_sequence.h"
#include "sharing/records/cache_entry.h"
#include "sharing/records/keyframe_entry.h"
#include "sharing/records/mouse_entry.h"

// The header every message the engine sends carries: type, a fresh sequence
// and the DS id (already UTF-8, at most 255 bytes). `code` is never set.
void WriteDsHeader(DsDataType type, const std::string& ds_id, const DsGuidSource& guids,
                   DsData* message);

void WriteDsRect(const VzRect& rect, DsRect* out);
// The first MonitorCount monitors (bounded by the record's 17 slots); block
// size and applications are not carried.
void WriteDsSharingInfo(const SharingInfo& info, DsSharingInfo* out);
void WriteDsMouseInfo(const CMouseEntry& mouse, DsMouseInfo* out);
// One cache_data per slot whose type is non-zero, in slot order. A slot whose
// type is no DsCacheType is left out with a log line.
void WriteDsCache(const CCacheEntry& cache, DsCache* out);
void WriteDsBlock(const CKeyframeEntry& block, DsBlock* out);
// Each event group only when its type is non-zero; annotation points only
// when the record has a count and an array.
void WriteDsCommand(const DSCommandRecord& command, DsCommand* out);
