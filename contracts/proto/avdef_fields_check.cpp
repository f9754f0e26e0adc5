// Fails the build of the video schema's library when avdef_fields.h and
// avdef.proto disagree on a number.
#include "contracts/proto/avdef_fields.h"

#include "avdef.pb.h"

#define VZ_SAME_FIELD(message, field) \
  static_assert(vz::avdef::message::field == ::message::field, #message "::" #field " differs from avdef.proto")
#define VZ_SAME_VALUE(ours, generated) \
  static_assert(vz::avdef::ours == static_cast<uint64_t>(generated), #ours " differs from avdef.proto")

VZ_SAME_VALUE(kKeepAliveRequest, AV_KEEPALIVE_REQUEST);
VZ_SAME_VALUE(kKeepAliveResponse, AV_KEEPALIVE_RESPONSE);
VZ_SAME_VALUE(kJoinConferenceRequest, AV_JOIN_CONFERENCE_REQUEST);
VZ_SAME_VALUE(kJoinConferenceResponse, AV_JOIN_CONFERENCE_RESPONSE);
VZ_SAME_VALUE(kLeaveConferenceRequest, AV_LEAVE_CONFERENCE_REQUEST);
VZ_SAME_VALUE(kLeaveConferenceResponse, AV_LEAVE_CONFERENCE_RESPONSE);
VZ_SAME_VALUE(kStartVideoRequest, AV_START_VIDEO_REQUEST);
VZ_SAME_VALUE(kStartVideoResponse, AV_START_VIDEO_RESPONSE);
VZ_SAME_VALUE(kStopVideoRequest, AV_STOP_VIDEO_REQUEST);
VZ_SAME_VALUE(kStopVideoResponse, AV_STOP_VIDEO_RESPONSE);
VZ_SAME_VALUE(kSubscribeVideoRequest, AV_SUBSCRIBE_VIDEO_REQUEST);
VZ_SAME_VALUE(kSubscribeVideoResponse, AV_SUBSCRIBE_VIDEO_RESPONSE);
VZ_SAME_VALUE(kUnsubscribeVideoRequest, AV_UNSUBSCRIBE_VIDEO_REQUEST);
VZ_SAME_VALUE(kUnsubscribeVideoResponse, AV_UNSUBSCRIBE_VIDEO_RESPONSE);
VZ_SAME_VALUE(kSubscribeThumbRequest, AV_SUBSCRIBE_THUMB_REQUEST);
VZ_SAME_VALUE(kSubscribeThumbResponse, AV_SUBSCRIBE_THUMB_RESPONSE);
VZ_SAME_VALUE(kUnsubscribeThumbRequest, AV_UNSUBSCRIBE_THUMB_REQUEST);
VZ_SAME_VALUE(kUnsubscribeThumbResponse, AV_UNSUBSCRIBE_THUMB_RESPONSE);
VZ_SAME_VALUE(kSetSpotlightRequest, AV_SET_SPOTLIGHT_REQUEST);
VZ_SAME_VALUE(kSetSpotlightResponse, AV_SET_SPOTLIGHT_RESPONSE);
VZ_SAME_VALUE(kUnsetSpotlightRequest, AV_UNSET_SPOTLIGHT_REQUEST);
VZ_SAME_VALUE(kUnsetSpotlightResponse, AV_UNSET_SPOTLIGHT_RESPONSE);
VZ_SAME_VALUE(kRosterChange, AV_ROSTER_CHANGE);
VZ_SAME_VALUE(kKeyFrameRequest, AV_KEY_FRAME_REQUEST);
VZ_SAME_VALUE(kKeyFrameResponse, AV_KEY_FRAME_RESPONSE);
VZ_SAME_VALUE(kUpdateVideoSizeRequest, AV_UPDATE_VIDEO_SIZE_REQUEST);
VZ_SAME_VALUE(kUpdateVideoSizeResponse, AV_UPDATE_VIDEO_SIZE_RESPONSE);
VZ_SAME_VALUE(kRecordingStatusChange, AV_RECORDING_STATUS_CHANGE);
VZ_SAME_VALUE(kRecordingServerStartSubscribe, AV_RECORDING_SERVER_START_SUBSCRIBE);
VZ_SAME_VALUE(kRecordingServerStopSubscribe, AV_RECORDING_SERVER_STOP_SUBSCRIBE);
VZ_SAME_VALUE(kActiveSpeaker, AV_ACTIVE_SPEAKER);
VZ_SAME_VALUE(kCodeSuccess, AV_CODE_SUCCESS);
VZ_SAME_VALUE(kCodeError, AV_CODE_ERROR);

VZ_SAME_FIELD(AvRoster, kRosterIdFieldNumber);
VZ_SAME_FIELD(AvRoster, kStatusFieldNumber);
VZ_SAME_FIELD(AvRoster, kVideotypeFieldNumber);
VZ_SAME_FIELD(AvRoster, kSpotlightFieldNumber);
VZ_SAME_FIELD(AvRoster, kActiveFieldNumber);
VZ_SAME_FIELD(AvRoster, kSsrcFieldNumber);
VZ_SAME_FIELD(AvData, kCodeFieldNumber);
VZ_SAME_FIELD(AvData, kTypeFieldNumber);
VZ_SAME_FIELD(AvData, kClientVersionFieldNumber);
VZ_SAME_FIELD(AvData, kConfidFieldNumber);
VZ_SAME_FIELD(AvData, kConfTokenFieldNumber);
VZ_SAME_FIELD(AvData, kRosterIdFieldNumber);
VZ_SAME_FIELD(AvData, kStatusFieldNumber);
VZ_SAME_FIELD(AvData, kVideotypeFieldNumber);
VZ_SAME_FIELD(AvData, kSpotlightFieldNumber);
VZ_SAME_FIELD(AvData, kActiveFieldNumber);
VZ_SAME_FIELD(AvData, kSsrcFieldNumber);
VZ_SAME_FIELD(AvData, kDestRosterIdFieldNumber);
VZ_SAME_FIELD(AvData, kRosterTypeFieldNumber);
VZ_SAME_FIELD(AvData, kRostersFieldNumber);
