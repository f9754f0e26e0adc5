#include "sharing/protocol/ds_reception.h"

#include <new>

#include "common/trace_client.h"
#include "dsdef.pb.h"
#include "sharing/protocol/ds_limits.h"
#include "sharing/protocol/ds_message_reader.h"
#include "sharing/protocol/ds_part_count.h"

namespace {

using Kind = DsReceivedEvent::Kind;

DsReceivedEvent Status(int32_t status) {
  DsReceivedEvent event(Kind::kStatus);
  event.value = status;
  return event;
}

DsReceivedEvent Error(int32_t code) {
  DsReceivedEvent event(Kind::kError);
  event.value = code;
  event.code_type = kDsServerCodeType;
  return event;
}

void ReadParts(const DsData& message, std::vector<DsReceivedEvent>* events) {
  if (message.has_sharing_info()) {
    DsReceivedEvent event(Kind::kSharingInfo);
    event.sharing_info.reset(new (std::nothrow) SharingInfo);
    if (event.sharing_info) {
      ReadDsSharingInfo(message.sharing_info(), event.sharing_info.get());
      events->push_back(std::move(event));
    } else {
      VZ_LOG_ERROR("no memory for a sharing info");
    }
  }
  if (message.caches_size() > 0) {
    DsReceivedEvent event(Kind::kCaches);
    event.caches.reserve(static_cast<size_t>(message.caches_size()));
    for (const DsCache& cache : message.caches()) {
      if (cache.index() >= kDsCacheIndexEnd) {
        VZ_LOG_ERROR("cache index [%llu] out of range, dropped", static_cast<unsigned long long>(cache.index()));
        continue;
      }
      if (auto entry = ReadDsCache(cache)) event.caches.push_back(std::move(entry));
    }
    if (!event.caches.empty()) events->push_back(std::move(event));
  }
  if (message.has_mouse_info()) {
    DsReceivedEvent event(Kind::kMouseInfo);
    event.mouse = ReadDsMouseInfo(message.mouse_info());
    if (event.mouse) events->push_back(std::move(event));
  }
  if (message.blocks_size() > 0) {
    DsReceivedEvent event(message.type() == DS_DATA_GET_CACHES ? Kind::kRequestCaches : Kind::kBlocks);
    event.blocks.reserve(static_cast<size_t>(message.blocks_size()));
    for (const DsBlock& block : message.blocks()) {
      if (block.index() >= kDsBlockIndexEnd) {
        VZ_LOG_ERROR("block index [%llu] out of range, dropped", static_cast<unsigned long long>(block.index()));
        continue;
      }
      if (auto entry = ReadDsBlock(block)) event.blocks.push_back(std::move(entry));
    }
    if (!event.blocks.empty()) events->push_back(std::move(event));
  }
  if (message.has_command()) {
    DsReceivedEvent event(Kind::kCommand);
    event.command = ReadDsCommand(message.command());
    if (event.command) events->push_back(std::move(event));
  }
}

}  // namespace

std::vector<DsReceivedEvent> ReadDsReception(const uint8_t* data, size_t size, bool web_attendee) {
  std::vector<DsReceivedEvent> events;
  if (size > kDsMaxMessageBytes) {
    VZ_LOG_ERROR("message of [%zu] bytes is too large, dropped", size);
    return events;
  }
  if (!DsPartsWithin(data, size, DsData::descriptor(), kDsMaxMessageParts)) {
    VZ_LOG_ERROR("message of [%zu] bytes is malformed or has too many parts, dropped", size);
    return events;
  }
  DsData message;
  if ((data == nullptr && size != 0) || !message.ParseFromArray(data, static_cast<int>(size))) {
    VZ_LOG_ERROR("message of [%zu] bytes is not a sharing message, dropped", size);
    return events;
  }
  const int type = message.type();
  const int code = message.code();
  switch (type) {
    case DS_DATA_START:
    case DS_DATA_JOIN:
      VZ_LOG("DS_DATA_START/DS_DATA_JOIN type [%d] code [%d]", type, code);
      events.push_back(code == DS_CODE_SUCCESS ? Status(kSessionJoined) : Error(code));
      return events;
    case DS_DATA_SERVER_DISCONNECT:
      VZ_LOG("DS_DATA_SERVER_DISCONNECT code [%d]", code);
      events.push_back(code == DS_CODE_CONF_END ? Status(kSessionEnded) : Error(code));
      return events;
    case DS_DATA_STOP:
    case DS_DATA_LEAVE:
      VZ_LOG("DS_DATA_STOP/DS_DATA_LEAVE type [%d]", type);
      events.push_back(Status(kSessionEnded));
      return events;
    default:
      break;
  }
  if (code != DS_CODE_SUCCESS) {
    VZ_LOG("on_message type [%d] crCode=[%d]", type, code);
    if (type != DS_DATA_COMMAND) events.push_back(Error(code));
    return events;
  }
  if (web_attendee) {
    DsReceivedEvent event(Kind::kWebBinary);
    event.web_binary.reset(new (std::nothrow) CVZBinaryData(data, static_cast<uint32_t>(size)));
    if (event.web_binary && event.web_binary->length() == size) {
      events.push_back(std::move(event));
    } else {
      VZ_LOG_ERROR("no memory for [%zu] bytes of web data", size);
    }
    return events;
  }
  ReadParts(message, &events);
  return events;
}
