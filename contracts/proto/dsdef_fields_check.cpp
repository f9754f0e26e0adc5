// Fails the build of the sharing schema's library when dsdef_fields.h and
// dsdef.proto disagree on a number.
#include "contracts/proto/dsdef_fields.h"

#include "dsdef.pb.h"

#define VZ_SAME_FIELD(message, field) \
  static_assert(vz::dsdef::message::field == ::message::field, #message "::" #field " differs from dsdef.proto")
#define VZ_SAME_VALUE(ours, generated) \
  static_assert(vz::dsdef::ours == static_cast<uint64_t>(generated), #ours " differs from dsdef.proto")

VZ_SAME_VALUE(kKeepAlive, DS_DATA_KEEPALIVE);
VZ_SAME_VALUE(kStart, DS_DATA_START);
VZ_SAME_VALUE(kStop, DS_DATA_STOP);
VZ_SAME_VALUE(kJoin, DS_DATA_JOIN);
VZ_SAME_VALUE(kLeave, DS_DATA_LEAVE);
VZ_SAME_VALUE(kCreateCaches, DS_DATA_CREATE_CACHES);
VZ_SAME_VALUE(kCreateBlocks, DS_DATA_CREATE_BLOCKS);
VZ_SAME_VALUE(kCreateSharingInfo, DS_DATA_CREATE_SHARINGINFO);
VZ_SAME_VALUE(kCreateMouseInfo, DS_DATA_CREATE_MOUSEINFO);
VZ_SAME_VALUE(kGetKeyFrame, DS_DATA_GET_KEYFRAME);
VZ_SAME_VALUE(kGetCaches, DS_DATA_GET_CACHES);
VZ_SAME_VALUE(kCommand, DS_DATA_COMMAND);
VZ_SAME_VALUE(kServerDisconnect, DS_DATA_SERVER_DISCONNECT);

VZ_SAME_VALUE(kCodeSuccess, DS_CODE_SUCCESS);
VZ_SAME_VALUE(kCodeError, DS_CODE_ERROR);
VZ_SAME_VALUE(kCodeInvalidToken, DS_CODE_INVALID_TOKEN);
VZ_SAME_VALUE(kCodeInvalidDsid, DS_CODE_INVALID_DSID);
VZ_SAME_VALUE(kCodeDsidAlreadyStart, DS_CODE_DSID_ALREADY_START);
VZ_SAME_VALUE(kCodeDsidNotJoin, DS_CODE_DSID_NOT_JOIN);
VZ_SAME_VALUE(kCodeInvalidDst, DS_CODE_INVALID_DST);
VZ_SAME_VALUE(kCodeInvalidConfid, DS_CODE_INVALID_CONFID);
VZ_SAME_VALUE(kCodeConfEnd, DS_CODE_CONF_END);
VZ_SAME_VALUE(kCodeKickoffByNewConnection, DS_CODE_KICKOFF_BY_NEW_CONNECTION);

VZ_SAME_VALUE(kCacheJpeg, DS_CACHE_JPEG);
VZ_SAME_VALUE(kCacheGif, DS_CACHE_GIF);
VZ_SAME_VALUE(kCachePng, DS_CACHE_PNG);
VZ_SAME_VALUE(kCacheData, DS_CACHE_DATA);

VZ_SAME_FIELD(DsCacheData, kTypeFieldNumber);
VZ_SAME_FIELD(DsCacheData, kDataSizeFieldNumber);
VZ_SAME_FIELD(DsCacheData, kDataFieldNumber);
VZ_SAME_FIELD(DsCache, kIndexFieldNumber);
VZ_SAME_FIELD(DsCache, kPduIdFieldNumber);
VZ_SAME_FIELD(DsCache, kCacheDataFieldNumber);
VZ_SAME_FIELD(DsBlock, kIndexFieldNumber);
VZ_SAME_FIELD(DsBlock, kPduIdFieldNumber);
VZ_SAME_FIELD(DsBlock, kMonitorIdFieldNumber);
VZ_SAME_FIELD(DsBlock, kPositionFieldNumber);
VZ_SAME_FIELD(DsBlock, kCacheIndexFieldNumber);
VZ_SAME_FIELD(DsBlock, kCachePduIdFieldNumber);
VZ_SAME_FIELD(DsBlock, kRectFieldNumber);
VZ_SAME_FIELD(DsMouseInfo, kMonitorIdFieldNumber);
VZ_SAME_FIELD(DsMouseInfo, kHotspotFieldNumber);
VZ_SAME_FIELD(DsMouseInfo, kRectFieldNumber);
VZ_SAME_FIELD(DsMouseInfo, kCacheIndexFieldNumber);
VZ_SAME_FIELD(DsMouseInfo, kCachePduIdFieldNumber);
VZ_SAME_FIELD(DsCommand, kTypeFieldNumber);
VZ_SAME_FIELD(DsCommand, kSrcRosterIdFieldNumber);
VZ_SAME_FIELD(DsCommand, kDstRosterIdFieldNumber);
VZ_SAME_FIELD(DsCommand, kMouseEventFieldNumber);
VZ_SAME_FIELD(DsCommand, kKeyboardEventFieldNumber);
VZ_SAME_FIELD(DsCommand, kAnnotationEventFieldNumber);
VZ_SAME_FIELD(DsData, kCodeFieldNumber);
VZ_SAME_FIELD(DsData, kTypeFieldNumber);
VZ_SAME_FIELD(DsData, kSequenceFieldNumber);
VZ_SAME_FIELD(DsData, kDsIdFieldNumber);
VZ_SAME_FIELD(DsData, kCachesFieldNumber);
VZ_SAME_FIELD(DsData, kSharingInfoFieldNumber);
VZ_SAME_FIELD(DsData, kMouseInfoFieldNumber);
VZ_SAME_FIELD(DsData, kBlocksFieldNumber);
VZ_SAME_FIELD(DsData, kCommandFieldNumber);
