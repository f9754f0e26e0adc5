#pragma once
// The remote-control and annotation command record between the meeting
// client and the sharing engine (SendCommand, OnDSCommand). It holds a
// pointer to its points, so it keeps its field order but not its 32-bit
// size (592 bytes there).
#include <cstddef>
#include <cstdint>

#include "capture/capture_records.h"

enum DSCommandType : int32_t {
  DSCommandStopControl = 0,
  DSCommandGiveControl = 1,
  DSCommandPauseControl = 2,
  DSCommandRequestControl = 10,
  DSCommandReleaseControl = 11,
  DSCommandRefuseControl = 12,
  DSCommandAnnotation = 30,
  DSCommandLog = 50,
  // Any other value carries remote input (DSCommandInput).
};

struct DSCommandRecord {
  char16_t SrcRosterId[128];
  char16_t DstRosterId[128];
  int32_t Type;  // DSCommandType
  int32_t MouseType;  // 0: no mouse event
  int32_t MouseMonitorId;
  int32_t MouseX;
  int32_t MouseY;
  int32_t MouseWParam;
  int32_t AnnotationType;  // 0: none
  int32_t AnnotationMonitorId;
  uint32_t AnnotationColor;
  int32_t AnnotationWeight;
  uint32_t PointCount;
  VzPoint* Points;  // PointCount monitor-relative points
  int32_t KeyType;  // 0: none
  int32_t KeyMonitorId;
  uint8_t KeyWParam;  // virtual-key code
  int32_t KeyLParam;
  uint8_t Reserved[16];
};

// The fields ahead of the pointer keep their places.
static_assert(offsetof(DSCommandRecord, DstRosterId) == 256);
static_assert(offsetof(DSCommandRecord, Type) == 512);
static_assert(offsetof(DSCommandRecord, AnnotationType) == 536);
static_assert(offsetof(DSCommandRecord, PointCount) == 552);
