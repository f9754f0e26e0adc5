#include "sharing/protocol/ds_message_builder.h"

#include "common/trace_client.h"
#include "platform/text.h"
#include "sharing/protocol/ds_limits.h"
#include "sharing/protocol/ds_message_writer.h"

CDsMessageBuilder::CDsMessageBuilder(DsGuidSource guids)
    : guids_(guids ? std::move(guids) : DsGuidSource(&MakeRandomDsGuid)) {}

bool CDsMessageBuilder::SetDsId(const char16_t* ds_id) {
  std::string utf8 = vz::Utf16ToUtf8(ds_id);
  if (utf8.size() > kDsIdMaxBytes) {
    VZ_LOG_ERROR("DS id of [%zu] bytes does not fit", utf8.size());
    ds_id_.clear();
    return false;
  }
  ds_id_ = std::move(utf8);
  return true;
}

DsData CDsMessageBuilder::Start(DsDataType type) const {
  DsData message;
  WriteDsHeader(type, ds_id_, guids_, &message);
  return message;
}

bool CDsMessageBuilder::Serialize(const DsData& message, std::string* out) {
  out->clear();
  if (!message.SerializeToString(out)) {
    VZ_LOG_ERROR("message type [%d] could not be serialized", static_cast<int>(message.type()));
    out->clear();
    return false;
  }
  return true;
}

bool CDsMessageBuilder::BuildHeader(DsDataType type, std::string* out) { return Serialize(Start(type), out); }

bool CDsMessageBuilder::BuildSharingInfo(const SharingInfo& info, std::string* out) {
  DsData message = Start(DS_DATA_CREATE_SHARINGINFO);
  WriteDsSharingInfo(info, message.mutable_sharing_info());
  return Serialize(message, out);
}

bool CDsMessageBuilder::BuildMouseInfo(const CMouseEntry& mouse, std::string* out) {
  DsData message = Start(DS_DATA_CREATE_MOUSEINFO);
  WriteDsMouseInfo(mouse, message.mutable_mouse_info());
  return Serialize(message, out);
}

bool CDsMessageBuilder::BuildCaches(CCacheEntry* const* list, int32_t count, std::string* out) {
  DsData message = Start(DS_DATA_CREATE_CACHES);
  for (int32_t i = 0; list != nullptr && i < count; ++i) {
    if (list[i] != nullptr) WriteDsCache(*list[i], message.add_caches());
  }
  return Serialize(message, out);
}

bool CDsMessageBuilder::BuildBlocks(DsDataType type, CKeyframeEntry* const* list, int32_t count,
                                    std::string* out) {
  DsData message = Start(type);
  for (int32_t i = 0; list != nullptr && i < count; ++i) {
    if (list[i] != nullptr) WriteDsBlock(*list[i], message.add_blocks());
  }
  return Serialize(message, out);
}

bool CDsMessageBuilder::BuildCommand(const DSCommandRecord& command, std::string* out) {
  DsData message = Start(DS_DATA_COMMAND);
  WriteDsCommand(command, message.mutable_command());
  return Serialize(message, out);
}
