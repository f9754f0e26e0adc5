#pragma once
// The numbers of avdef.proto for code that reads and writes the signalling
// messages without the generated classes: the relay, which works on
// protobuf's schema-free field sets so that no process registers the schema
// twice. Named once, beside the schema, as the generated classes name them
// (AvData::kTypeFieldNumber); avdef_fields_check.cpp, built into the schema's
// own library, stops the build when a number here and the .proto disagree.
#include <cstdint>

namespace vz::avdef {

// AvDataType, AV_ less.
enum DataType : uint64_t {
  kKeepAliveRequest = 1,
  kKeepAliveResponse = 2,
  kJoinConferenceRequest = 3,
  kJoinConferenceResponse = 4,
  kLeaveConferenceRequest = 5,
  kLeaveConferenceResponse = 6,
  kStartVideoRequest = 7,
  kStartVideoResponse = 8,
  kStopVideoRequest = 9,
  kStopVideoResponse = 10,
  kSubscribeVideoRequest = 11,
  kSubscribeVideoResponse = 12,
  kUnsubscribeVideoRequest = 13,
  kUnsubscribeVideoResponse = 14,
  kSubscribeThumbRequest = 15,
  kSubscribeThumbResponse = 16,
  kUnsubscribeThumbRequest = 17,
  kUnsubscribeThumbResponse = 18,
  kSetSpotlightRequest = 19,
  kSetSpotlightResponse = 20,
  kUnsetSpotlightRequest = 21,
  kUnsetSpotlightResponse = 22,
  kRosterChange = 23,
  kKeyFrameRequest = 24,
  kKeyFrameResponse = 25,
  kUpdateVideoSizeRequest = 26,
  kUpdateVideoSizeResponse = 27,
  kRecordingStatusChange = 28,
  kRecordingServerStartSubscribe = 29,
  kRecordingServerStopSubscribe = 30,
  kActiveSpeaker = 31,
};

// AvDataCode, AV_ less.
enum DataCode : uint64_t { kCodeSuccess = 0, kCodeError = 1 };

// Field numbers.
struct AvRoster {
  static constexpr int kRosterIdFieldNumber = 10;
  static constexpr int kStatusFieldNumber = 20;
  static constexpr int kVideotypeFieldNumber = 30;
  static constexpr int kSpotlightFieldNumber = 40;
  static constexpr int kActiveFieldNumber = 50;
  static constexpr int kSsrcFieldNumber = 60;
};

struct AvData {
  static constexpr int kCodeFieldNumber = 10;
  static constexpr int kTypeFieldNumber = 20;
  static constexpr int kClientVersionFieldNumber = 30;
  static constexpr int kConfidFieldNumber = 40;
  static constexpr int kConfTokenFieldNumber = 50;
  static constexpr int kRosterIdFieldNumber = 60;
  static constexpr int kStatusFieldNumber = 70;
  static constexpr int kVideotypeFieldNumber = 80;
  static constexpr int kSpotlightFieldNumber = 90;
  static constexpr int kActiveFieldNumber = 100;
  static constexpr int kSsrcFieldNumber = 110;
  static constexpr int kDestRosterIdFieldNumber = 120;
  static constexpr int kRosterTypeFieldNumber = 130;
  static constexpr int kRostersFieldNumber = 140;
};

}  // namespace vz::avdef
