// Annotation events come from other participants: any record and point
// array must be refused or read without fault, and what is read must stay
// within the limits before the drawing model and its hit tests see it; a
// stroke is kept as a part of its points, ends included, and however often
// the same event comes, the participant's elements stay within the model's
// point and ink limits.
// Input: type, monitor id, colour, weight, point count, monitor scale (six
// little-endian 32-bit values), then the point array (x, y pairs).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client/annotation/annotation_event.h"
#include "client/annotation/draw_objects.h"
#include "client/annotation/element_ink.h"
#include "client/annotation/stroke_simplify.h"
#include "common/trace_client_test_hooks.h"

namespace {
uint32_t Word(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool unbound = [] {
    vz::BindTracerForTest(nullptr);
    return true;
  }();
  (void)unbound;
  if (size < 24) return 0;
  DSCommandRecord record{};
  record.Type = DSCommandAnnotation;
  record.AnnotationType = static_cast<int32_t>(Word(data));
  record.AnnotationMonitorId = static_cast<int32_t>(Word(data + 4));
  record.AnnotationColor = Word(data + 8);
  record.AnnotationWeight = static_cast<int32_t>(Word(data + 12));
  record.PointCount = Word(data + 16);
  float scale = 0;
  const uint32_t scale_bits = Word(data + 20);
  std::memcpy(&scale, &scale_bits, sizeof scale);
  std::vector<VzPoint> array((size - 24) / sizeof(VzPoint));
  if (!array.empty()) std::memcpy(array.data(), data + 24, array.size() * sizeof(VzPoint));

  DSAnnotationEvent event;
  if (!ReadAnnotationEvent(record, array, &event)) return 0;
  if (event.points.size() != record.PointCount || event.points.size() > kMaxAnnotationPoints) std::abort();
  if (event.weight < 1 || event.weight > kMaxAnnotationWeight) std::abort();

  MonitorInfo monitor{};
  monitor.DpiScale = scale;
  monitor.LogicalRect = {-100, -100, 1820, 980};
  static vz::LogBudget point_log(kPointLogBurst, kPointLogRefillMs);
  if (MonitorPointsToScreen(monitor, &event.points, point_log, 0)) {
    for (const vz::Point& p : event.points) {
      if (p.x < -kMaxAnnotationCoordinate || p.x > kMaxAnnotationCoordinate) std::abort();
      if (p.y < -kMaxAnnotationCoordinate || p.y > kMaxAnnotationCoordinate) std::abort();
    }
  }
  const std::vector<vz::Point> kept = vzannotation::SimplifyStroke(event.points);
  if (kept.size() > event.points.size()) std::abort();
  if (!kept.empty() && (kept.front() != event.points.front() || kept.back() != event.points.back())) std::abort();
  for (size_t i = 0, j = 0; i < kept.size(); ++i, ++j) {  // in order, each one sent
    while (j < event.points.size() && event.points[j] != kept[i]) ++j;
    if (j == event.points.size()) std::abort();
  }

  CDrawObjects objects;
  for (int i = 0; i < 4; ++i) {
    objects.createElement(AnnotationElementCode(event.type), event.points, event.color, event.weight, "peer");
  }
  int64_t points = 0, ink = 0;
  for (int32_t i = 0; i < objects.count(); ++i) {
    points += static_cast<int64_t>(objects.at(i)->points.size());
    ink += vzannotation::InkOf(*objects.at(i));
  }
  if (points > CDrawObjects::kMaxPointsPerRoster || ink > CDrawObjects::kMaxInkPerRoster) std::abort();
  if (!event.points.empty()) {
    objects.eraseRosterElementAt(event.points[0].x, event.points[0].y, "peer");
    objects.undo("peer");
    objects.eraseElementAt(event.points.back().x, event.points.back().y, "me");
  }
  return 0;
}
