#pragma once
// The annotation event of a command record that another participant sent
// (the record's annotation group), read and checked before anything draws
// it, and its points turned from the sending monitor's device pixels into
// screen coordinates.
//
// Everything in the group comes from a peer: the type must be one the
// overlay knows, the point count must fit the record's point array and stay
// below kMaxAnnotationPoints, and the weight is clamped to
// 1..kMaxAnnotationWeight. A refused event is logged and changes nothing.
// UI thread only; the record is read, never kept.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/log_budget.h"
#include "contracts/capture_records.h"
#include "contracts/ds_command_record.h"
#include "platform/ui/ui_types.h"

// Annotation event types of DSCommandRecord::AnnotationType.
enum DSAnnotationType : int32_t {
  DSAnnotationPointer = 1,  // the sender's pointer indicator at the first point
  DSAnnotationErase = 2,    // the sender's eraser at the first point
  DSAnnotationRedo = 3,
  DSAnnotationUndo = 4,
  DSAnnotationRemove = 5,   // all of the sender's elements
  DSAnnotationStroke = 11,
  DSAnnotationFilledStroke = 12,
  DSAnnotationRectangle = 13,
  DSAnnotationFilledRectangle = 14,
  DSAnnotationEllipse = 15,
  DSAnnotationFilledEllipse = 16,
};

inline constexpr uint32_t kMaxAnnotationPoints = 65536;
inline constexpr int32_t kMaxAnnotationWeight = 100;
// Screen coordinates are kept within this bound (a generous multiple of any
// screen), so the drawing arithmetic never meets peer-sized numbers.
inline constexpr int32_t kMaxAnnotationCoordinate = 1 << 20;

struct DSAnnotationEvent {
  int32_t type = 0;
  int32_t monitorId = 0;
  uint32_t color = 0;  // 0xAABBGGRR, alpha as sent
  int32_t weight = 1;
  std::vector<vz::Point> points;
};

// Reads the annotation group of `record` whose point array holds `array`
// (what the sender really delivered). False, with a log line, for an
// unknown type, a count above the array or above kMaxAnnotationPoints.
bool ReadAnnotationEvent(const DSCommandRecord& record, std::span<const VzPoint> array, DSAnnotationEvent* event);
// The same with the record's own array (Points, PointCount); a count with
// no array is refused.
bool ReadAnnotationEvent(const DSCommandRecord& record, DSAnnotationEvent* event);

// The element code of the drawing model for a shape type (11 to 16), or 0.
int32_t AnnotationElementCode(int32_t type);

// The line logged for each point converted comes from peers by the
// thousand and would wrap the log over everything else: the sharing UI
// lets 20 be written at once, then one every 15 s, which says how many
// were left out before it.
inline constexpr uint32_t kPointLogBurst = 20;
inline constexpr uint64_t kPointLogRefillMs = 15000;

// Turns every point from the monitor's device pixels into screen
// coordinates: x / DpiScale + logical left (single precision, truncated),
// the same for y, clamped to kMaxAnnotationCoordinate; logs "monitor id
// [%d] points [%d, %d]" before each point as far as `point_log` allows at
// `now_ms`. False (logged, points unchanged) when the monitor's scale is not
// positive.
bool MonitorPointsToScreen(const MonitorInfo& monitor, std::vector<vz::Point>* points, vz::LogBudget& point_log,
                           uint64_t now_ms);

// The wide roster id of a record as narrow (UTF-8) text, at most 127 units.
std::string NarrowRosterId(const char16_t* wide);
