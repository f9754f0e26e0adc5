#pragma once
// Owning handles for the records built from received messages, so that a
// record nobody took is freed whichever way it is dropped.
#include <memory>

#include "common/vz_object.h"
#include "contracts/ds_command_record.h"

struct VzObjectRelease {
  void operator()(CVZObject* object) const {
    if (object != nullptr) object->Release();
  }
};
template <typename T>
using VzObjectPtr = std::unique_ptr<T, VzObjectRelease>;

// A received command record and its point array (new[]).
void FreeDsCommandRecord(DSCommandRecord* command);
struct DsCommandDelete {
  void operator()(DSCommandRecord* command) const { FreeDsCommandRecord(command); }
};
using DsCommandPtr = std::unique_ptr<DSCommandRecord, DsCommandDelete>;
