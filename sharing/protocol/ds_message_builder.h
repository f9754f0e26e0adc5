#pragma once
// Whole sharing messages as the session sends them: the header (type, a
// fresh sequence, the DS id) and the payload of each type, serialized.
// Every Build returns false (logged) only when the message could not be
// serialized (over 2 GiB); `out` is then empty.
//
// Threads: the Build functions may run on several threads at once; SetDsId
// must not run while one does (the session sets it before joining).
#include <cstdint>
#include <string>

#include "contracts/capture_records.h"
#include "dsdef.pb.h"
#include "contracts/ds_command_record.h"
#include "sharing/protocol/ds_sequence.h"
#include "sharing/records/cache_entry.h"
#include "sharing/records/keyframe_entry.h"
#include "sharing/records/mouse_entry.h"

class CDsMessageBuilder {
 public:
  // guids: where sequences come from (MakeRandomDsGuid when empty).
  explicit CDsMessageBuilder(DsGuidSource guids = {});

  // The DS id of every later message, UTF-8; a text of more than 255 bytes
  // does not fit and leaves the id empty (logged). Returns whether it fit.
  bool SetDsId(const char16_t* ds_id);
  const std::string& ds_id() const { return ds_id_; }

  // Header only: START, JOIN, STOP, LEAVE, GET_KEYFRAME.
  bool BuildHeader(DsDataType type, std::string* out);
  bool BuildSharingInfo(const SharingInfo& info, std::string* out);
  bool BuildMouseInfo(const CMouseEntry& mouse, std::string* out);
  // CREATE_CACHES with the entries in list order (null entries skipped).
  bool BuildCaches(CCacheEntry* const* list, int32_t count, std::string* out);
  // CREATE_BLOCKS, or GET_CACHES naming the caches asked for.
  bool BuildBlocks(DsDataType type, CKeyframeEntry* const* list, int32_t count, std::string* out);
  bool BuildCommand(const DSCommandRecord& command, std::string* out);

 private:
  DsData Start(DsDataType type) const;
  static bool Serialize(const DsData& message, std::string* out);

  DsGuidSource guids_;
  std::string ds_id_;
};
