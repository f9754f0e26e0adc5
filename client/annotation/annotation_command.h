#pragma once
// One annotation command received from another participant, carried out
// over the overlay: what the sharing UI controller does with a record of
// type DSCommandAnnotation. The controller is the host: it knows the
// monitors, shows the sender's pointer indicator and asks for a capture.
// UI thread only; the record is read, never kept.
#include <cstdint>

#include "client/annotation/annotation_frame.h"
#include "contracts/capture_records.h"
#include "contracts/ds_command_record.h"

class IDSAnnotationCommandHost {
 public:
  // The monitor record with that id, or null.
  virtual const MonitorInfo* GetMonitorInfo(int32_t monitor_id) = 0;
  // The sender's pointer indicator at a screen point, in the command's colour.
  virtual void ShowArrowIndicator(const char16_t* sender, uint32_t color, vz::Point screen) = 0;
  // The capture side takes a capture at once, so the change reaches the others.
  virtual void CaptureNow() = 0;

 protected:
  ~IDSAnnotationCommandHost() = default;
};

// Logs "type [%d], color [0x%08X], weight [%d] count [%d]". Nothing happens
// without a monitor record for the command's monitor. Otherwise the event is
// read and checked (a malformed one is refused with a log line), its points
// turned into screen coordinates, and it is carried out by type: 1 the
// sender's pointer indicator at the first point, 2 to 5 and 11 to 16 on the
// overlay; then CaptureNow, whatever the type. The caller has checked that
// the sender (the record's SrcRosterId) is a participant.
void ExecuteAnnotationControl(const DSCommandRecord& record, CDSAnnotationFrame& frame,
                              IDSAnnotationCommandHost& host);
