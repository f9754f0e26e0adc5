#include "client/annotation/annotation_command.h"

#include "common/trace_client.h"

void ExecuteAnnotationControl(const DSCommandRecord& record, CDSAnnotationFrame& frame,
                              IDSAnnotationCommandHost& host) {
  VZ_LOG("type [%d], color [0x%08X], weight [%d] count [%d]", record.AnnotationType, record.AnnotationColor,
         record.AnnotationWeight, static_cast<int>(record.PointCount));
  const MonitorInfo* monitor = host.GetMonitorInfo(record.AnnotationMonitorId);
  if (monitor == nullptr) return;
  DSAnnotationEvent event;
  if (ReadAnnotationEvent(record, &event) && MonitorPointsToScreen(*monitor, &event.points)) {
    if (event.type == DSAnnotationPointer) {
      if (!event.points.empty()) host.ShowArrowIndicator(record.SrcRosterId, event.color, event.points[0]);
    } else {
      frame.applyRemoteEvent(event, record.SrcRosterId);
    }
  }
  host.CaptureNow();
}
