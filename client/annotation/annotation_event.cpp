#include "client/annotation/annotation_event.h"

#include <algorithm>
#include <cmath>

#include "client/annotation/annotation_tools.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

bool KnownType(int32_t type) {
  return (type >= DSAnnotationPointer && type <= DSAnnotationRemove) ||
         (type >= DSAnnotationStroke && type <= DSAnnotationFilledEllipse);
}

int32_t ClampCoordinate(float v) {
  if (std::isnan(v)) return 0;
  const float limit = static_cast<float>(kMaxAnnotationCoordinate);
  return static_cast<int32_t>(std::clamp(v, -limit, limit));
}

}  // namespace

bool ReadAnnotationEvent(const DSCommandRecord& record, std::span<const VzPoint> array, DSAnnotationEvent* event) {
  const int32_t type = record.AnnotationType;
  if (!KnownType(type)) {
    VZ_LOG_ERROR("annotation type [%d] unknown: event refused", type);
    return false;
  }
  if (record.PointCount > array.size()) {
    VZ_LOG_ERROR("annotation type [%d]: point count [%u] above its array [%zu]: event refused", type,
                 record.PointCount, array.size());
    return false;
  }
  if (record.PointCount > kMaxAnnotationPoints) {
    VZ_LOG_ERROR("annotation type [%d]: point count [%u] above [%u]: event refused", type, record.PointCount,
                 kMaxAnnotationPoints);
    return false;
  }
  event->type = type;
  event->monitorId = record.AnnotationMonitorId;
  event->color = record.AnnotationColor;
  event->weight = std::clamp(record.AnnotationWeight, 1, kMaxAnnotationWeight);
  event->points.clear();
  event->points.reserve(record.PointCount);
  for (uint32_t i = 0; i < record.PointCount; ++i) event->points.push_back({array[i].x, array[i].y});
  return true;
}

bool ReadAnnotationEvent(const DSCommandRecord& record, DSAnnotationEvent* event) {
  std::span<const VzPoint> array;
  if (record.Points != nullptr) array = std::span<const VzPoint>(record.Points, record.PointCount);
  return ReadAnnotationEvent(record, array, event);
}

int32_t AnnotationElementCode(int32_t type) {
  switch (type) {
    case DSAnnotationStroke:
      return kElementStroke;
    case DSAnnotationFilledStroke:
      return kElementFilledStroke;
    case DSAnnotationRectangle:
      return kToolRectangle;
    case DSAnnotationFilledRectangle:
      return kToolFilledRectangle;
    case DSAnnotationEllipse:
      return kToolEllipse;
    case DSAnnotationFilledEllipse:
      return kToolFilledEllipse;
    default:
      return 0;
  }
}

bool MonitorPointsToScreen(const MonitorInfo& monitor, std::vector<vz::Point>* points, vz::LogBudget& point_log,
                           uint64_t now_ms) {
  const float scale = monitor.DpiScale;
  if (!(scale > 0.0f) || !std::isfinite(scale)) {
    VZ_LOG_ERROR("monitor id [%d]: scale [%f] not usable", monitor.MonitorId, static_cast<double>(scale));
    return false;
  }
  for (vz::Point& p : *points) {
    if (point_log.Take(now_ms)) {
      VZ_LOG("monitor id [%d] points [%d, %d]%s", monitor.MonitorId, p.x, p.y, point_log.LeftOutNote().c_str());
    }
    const float x = static_cast<float>(p.x) / scale + static_cast<float>(monitor.LogicalRect.left);
    const float y = static_cast<float>(p.y) / scale + static_cast<float>(monitor.LogicalRect.top);
    p = {ClampCoordinate(x), ClampCoordinate(y)};
  }
  return true;
}

std::string NarrowRosterId(const char16_t* wide) {
  if (wide == nullptr) return {};
  size_t n = 0;
  while (n < 127 && wide[n] != 0) ++n;
  return vz::Utf16ToUtf8(std::u16string_view(wide, n));
}
