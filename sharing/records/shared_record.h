#pragma once
// A record that the engine's tables may hold beside the message that brought
// it: each holder takes a reference and releases it when done; the last
// Release deletes.
#include "common/vz_object.h"

class CSharedRecord : public CVZObject {
 public:
  void AddRef() {
    lock_.Lock();
    ++ref_count_;
    lock_.Unlock();
  }
};
