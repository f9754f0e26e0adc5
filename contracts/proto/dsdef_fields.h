#pragma once
// The numbers of dsdef.proto for code that reads and writes the sharing
// messages without the generated classes: the relay, which works on
// protobuf's schema-free field sets so that no process registers the schema
// twice. Named once, beside the schema, as the generated classes name them
// (DsData::kCodeFieldNumber); dsdef_fields_check.cpp, built into the schema's
// own library, stops the build when a number here and the .proto disagree.
#include <cstdint>

namespace vz::dsdef {

// DsDataType, DS_DATA_ less.
enum DataType : uint64_t {
  kKeepAlive = 5,
  kStart = 10,
  kStop = 20,
  kJoin = 30,
  kLeave = 40,
  kCreateCaches = 50,
  kCreateBlocks = 60,
  kCreateSharingInfo = 70,
  kCreateMouseInfo = 80,
  kGetKeyFrame = 90,
  kGetCaches = 100,
  kCommand = 110,
  kServerDisconnect = 120,
};

// DsDataCode, DS_ less.
enum DataCode : uint64_t {
  kCodeSuccess = 0,
  kCodeError = 10,
  kCodeInvalidToken = 20,
  kCodeInvalidDsid = 30,
  kCodeDsidAlreadyStart = 40,
  kCodeDsidNotJoin = 50,
  kCodeInvalidDst = 60,
  kCodeInvalidConfid = 70,
  kCodeConfEnd = 80,
  kCodeKickoffByNewConnection = 90,
};

// DsCacheType, DS_ less.
enum CacheType : uint64_t { kCacheJpeg = 10, kCacheGif = 20, kCachePng = 30, kCacheData = 200 };

// Field numbers.
struct DsCacheData {
  static constexpr int kTypeFieldNumber = 10;
  static constexpr int kDataSizeFieldNumber = 20;
  static constexpr int kDataFieldNumber = 30;
};

struct DsCache {
  static constexpr int kIndexFieldNumber = 10;
  static constexpr int kPduIdFieldNumber = 20;
  static constexpr int kCacheDataFieldNumber = 30;
};

struct DsBlock {
  static constexpr int kIndexFieldNumber = 10;
  static constexpr int kPduIdFieldNumber = 20;
  static constexpr int kMonitorIdFieldNumber = 30;
  static constexpr int kPositionFieldNumber = 40;
  static constexpr int kCacheIndexFieldNumber = 50;
  static constexpr int kCachePduIdFieldNumber = 60;
  static constexpr int kRectFieldNumber = 70;
};

struct DsMouseInfo {
  static constexpr int kMonitorIdFieldNumber = 10;
  static constexpr int kHotspotFieldNumber = 20;
  static constexpr int kRectFieldNumber = 30;
  static constexpr int kCacheIndexFieldNumber = 40;
  static constexpr int kCachePduIdFieldNumber = 50;
};

struct DsCommand {
  static constexpr int kTypeFieldNumber = 10;
  static constexpr int kSrcRosterIdFieldNumber = 20;
  static constexpr int kDstRosterIdFieldNumber = 30;
  static constexpr int kMouseEventFieldNumber = 50;
  static constexpr int kKeyboardEventFieldNumber = 60;
  static constexpr int kAnnotationEventFieldNumber = 70;
};

struct DsData {
  static constexpr int kCodeFieldNumber = 10;
  static constexpr int kTypeFieldNumber = 20;
  static constexpr int kSequenceFieldNumber = 30;
  static constexpr int kDsIdFieldNumber = 40;
  static constexpr int kCachesFieldNumber = 50;
  static constexpr int kSharingInfoFieldNumber = 60;
  static constexpr int kMouseInfoFieldNumber = 70;
  static constexpr int kBlocksFieldNumber = 80;
  static constexpr int kCommandFieldNumber = 90;
};

}  // namespace vz::dsdef
