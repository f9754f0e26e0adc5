#include "video/engine/session/av_signalling.h"

#include <google/protobuf/unknown_field_set.h>

#include <vector>

#include "avdef.pb.h"
#include "common/trace_client.h"

namespace {

// Far above any message a transport record can carry (65,535 bytes), and
// below protobuf's own limit of a signed size.
constexpr size_t kMaxMessageSize = 64u << 20;

AvData Request(AvDataType type) {
  AvData message;
  message.set_type(type);
  message.set_client_version(kAvClientVersion);
  return message;
}

std::string SubscriptionRequest(AvDataType type, const std::string& myRosterId, const VideoSubscribeList& list) {
  AvData message = Request(type);
  message.set_roster_id(myRosterId);
  for (const VideoSubscribeEntry& entry : list) {
    AvRoster* roster = message.add_rosters();
    roster->set_roster_id(entry.rosterId);
    roster->set_videotype(static_cast<uint32_t>(entry.wantSize));
  }
  return message.SerializeAsString();
}

// The type as a number, also when it is one the schema does not name (the
// parser then keeps it among the unknown fields); 0 when absent.
int TypeNumber(const AvData& message) {
  if (message.has_type()) return message.type();
  const google::protobuf::UnknownFieldSet& unknown = message.unknown_fields();
  for (int i = 0; i < unknown.field_count(); ++i) {
    const google::protobuf::UnknownField& field = unknown.field(i);
    if (field.number() == AvData::kTypeFieldNumber && field.type() == google::protobuf::UnknownField::TYPE_VARINT) {
      return static_cast<int>(field.varint());
    }
  }
  return 0;
}

// The subscriber is the message's roster id; entries of size "none" are not
// subscriptions and give no call.
AvDispatch DispatchSubscriptions(const AvData& message, IVZVideoSessionSink* sink, bool subscribe) {
  AvDispatch result = AvDispatch::kNoCallback;
  for (const AvRoster& entry : message.rosters()) {
    if (entry.videotype() == kAvNoVideoType) continue;
    const auto size = static_cast<int32_t>(entry.videotype());
    if (subscribe) {
      sink->OnVideoSubscribedNotify(message.roster_id(), size);
    } else {
      sink->OnVideoUnsubscribedNotify(message.roster_id(), size);
    }
    result = AvDispatch::kDispatched;
  }
  return result;
}

AvDispatch DispatchRosterChange(const AvData& message, IVZVideoSessionSink* sink) {
  if (message.rosters_size() == 0) return AvDispatch::kNoCallback;
  std::vector<ServerRoster> rosters;
  rosters.reserve(static_cast<size_t>(message.rosters_size()));
  for (const AvRoster& entry : message.rosters()) {
    ServerRoster roster;
    roster.rosterId = entry.roster_id();
    roster.status = entry.status();
    roster.spotlight = entry.spotlight();
    roster.active = entry.active();
    roster.ssrc = entry.ssrc();
    rosters.push_back(std::move(roster));
  }
  sink->OnRosterChanged(message.rostertype(), rosters.data(), static_cast<uint32_t>(rosters.size()));
  return AvDispatch::kDispatched;
}

}  // namespace

std::string AvStartVideoRequest(const std::string& myRosterId, int32_t sizeType) {
  AvData message = Request(AV_START_VIDEO_REQUEST);
  message.set_roster_id(myRosterId);
  message.set_status(1);
  message.set_videotype(static_cast<uint32_t>(sizeType));
  return message.SerializeAsString();
}

std::string AvStopVideoRequest(const std::string& myRosterId) {
  AvData message = Request(AV_STOP_VIDEO_REQUEST);
  message.set_roster_id(myRosterId);
  message.set_status(0);
  return message.SerializeAsString();
}

std::string AvUpdateVideoSizeRequest(const std::string& myRosterId, int32_t sizeType) {
  AvData message = Request(AV_UPDATE_VIDEO_SIZE_REQUEST);
  message.set_roster_id(myRosterId);
  message.set_videotype(static_cast<uint32_t>(sizeType));
  return message.SerializeAsString();
}

std::string AvSubscribeVideoRequest(const std::string& myRosterId, const VideoSubscribeList& list) {
  return SubscriptionRequest(AV_SUBSCRIBE_VIDEO_REQUEST, myRosterId, list);
}

std::string AvUnsubscribeVideoRequest(const std::string& myRosterId, const VideoSubscribeList& list) {
  return SubscriptionRequest(AV_UNSUBSCRIBE_VIDEO_REQUEST, myRosterId, list);
}

std::string AvSetSpotlightRequest(const std::string& rosterId) {
  AvData message = Request(AV_SET_SPOTLIGHT_REQUEST);
  message.set_roster_id(rosterId);
  return message.SerializeAsString();
}

std::string AvUnsetSpotlightRequest() { return Request(AV_UNSET_SPOTLIGHT_REQUEST).SerializeAsString(); }

AvDispatch DispatchAvMessage(const uint8_t* data, size_t size, IVZVideoSessionSink* sink) {
  AvData message;
  if (size > kMaxMessageSize || (data == nullptr && size != 0) ||
      !message.ParseFromArray(data, static_cast<int>(size))) {
    VZ_LOG_WARN("protobuf parse error");
    return AvDispatch::kParseError;
  }
  const int type = TypeNumber(message);
  VZ_LOG("type=%d,len=%d", type, static_cast<int>(size));
  if (sink == nullptr) return AvDispatch::kNoCallback;
  switch (type) {
    case AV_START_VIDEO_REQUEST:
      sink->OnStartBroadcastNotify(message.roster_id());
      return AvDispatch::kDispatched;
    case AV_STOP_VIDEO_REQUEST:
      sink->OnStopBroadcastNotify(message.roster_id());
      return AvDispatch::kDispatched;
    case AV_SUBSCRIBE_VIDEO_REQUEST:
      return DispatchSubscriptions(message, sink, true);
    case AV_UNSUBSCRIBE_VIDEO_REQUEST:
      return DispatchSubscriptions(message, sink, false);
    case AV_SET_SPOTLIGHT_REQUEST:
      sink->OnSetSpotlightNotify(message.roster_id());
      return AvDispatch::kDispatched;
    case AV_UNSET_SPOTLIGHT_REQUEST:
      sink->OnUnsetSpotlightNotify();
      return AvDispatch::kDispatched;
    case AV_ROSTER_CHANGE:
      return DispatchRosterChange(message, sink);
    case AV_ACTIVE_SPEAKER:
      sink->OnActiveSpeakerNotify(message.roster_id());
      return AvDispatch::kDispatched;
    default:
      VZ_LOG_WARN("not support type=%d", type);
      return AvDispatch::kUnsupported;
  }
}
