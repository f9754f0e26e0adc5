#pragma once
// The remote-control and annotation command record between the meeting
// client and the sharing engine (SendCommand, OnDSCommand). It never crosses
// a process boundary as bytes (the engine maps it field by field onto its
// wire message), and it holds a pointer to its points: so it keeps its field
// order, but not its 32-bit size (592 bytes there, 600 with 8-byte pointers).
//
// Writers zero-fill it and copy roster ids as at most 127 units plus the
// terminator. A received record, its points included, is the engine's and
// valid only during the callback: the points may be changed in place, but
// no pointer into the record is kept.
#include <cstddef>
#include <cstdint>

#include "contracts/capture_records.h"

enum DSCommandType : int32_t {
  DSCommandStopControl = 0,
  DSCommandGiveControl = 1,
  DSCommandPauseControl = 2,
  DSCommandRequestControl = 10,
  DSCommandReleaseControl = 11,
  DSCommandRefuseControl = 12,
  DSCommandAnnotation = 30,
  DSCommandLog = 50,
  // 20 and 21 are ignored by the client; any other value carries remote
  // mouse and keyboard input (DSCommandInput).
};

struct DSCommandRecord {
  char16_t SrcRosterId[128];  // the sender, zero-terminated
  char16_t DstRosterId[128];  // the addressee, zero-terminated
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
  uint8_t Reserved[16];  // zero
};

// The fields ahead of the pointer keep their 32-bit places.
static_assert(offsetof(DSCommandRecord, SrcRosterId) == 0);
static_assert(offsetof(DSCommandRecord, DstRosterId) == 256);
static_assert(offsetof(DSCommandRecord, Type) == 512);
static_assert(offsetof(DSCommandRecord, MouseType) == 516);
static_assert(offsetof(DSCommandRecord, MouseMonitorId) == 520);
static_assert(offsetof(DSCommandRecord, MouseX) == 524);
static_assert(offsetof(DSCommandRecord, MouseY) == 528);
static_assert(offsetof(DSCommandRecord, MouseWParam) == 532);
static_assert(offsetof(DSCommandRecord, AnnotationType) == 536);
static_assert(offsetof(DSCommandRecord, AnnotationMonitorId) == 540);
static_assert(offsetof(DSCommandRecord, AnnotationColor) == 544);
static_assert(offsetof(DSCommandRecord, AnnotationWeight) == 548);
static_assert(offsetof(DSCommandRecord, PointCount) == 552);
// From the pointer on, the fields keep their order and their spacing: the
// key fields 4 bytes apart (3 bytes of padding after KeyWParam), then the 16
// reserved bytes. With 4-byte pointers this is the 592-byte record.
static_assert(offsetof(DSCommandRecord, Points) == (sizeof(void*) == 4 ? 556 : 560));
static_assert(offsetof(DSCommandRecord, KeyType) == offsetof(DSCommandRecord, Points) + sizeof(void*));
static_assert(offsetof(DSCommandRecord, KeyMonitorId) == offsetof(DSCommandRecord, KeyType) + 4);
static_assert(offsetof(DSCommandRecord, KeyWParam) == offsetof(DSCommandRecord, KeyType) + 8);
static_assert(offsetof(DSCommandRecord, KeyLParam) == offsetof(DSCommandRecord, KeyType) + 12);
static_assert(offsetof(DSCommandRecord, Reserved) == offsetof(DSCommandRecord, KeyType) + 16);
static_assert(sizeof(DSCommandRecord) == (sizeof(void*) == 4 ? 592 : 600));
