#pragma once
// Test support: one session member through the transport library as the
// system loads it: a recording sink and the transport created with it.
#include <gtest/gtest.h>

#include <cstdint>

#include "contracts/vz_transport_wrapper.h"
#include "outside/vzwire/recording_sink_testlib.h"

namespace vzwire_test {

struct TransportPeer {
  RecordingSink sink;
  CVzTransportWrapper wrapper;
  // A transport of session type `type` (kTransportSession...): a failure
  // to create it fails the test.
  explicit TransportPeer(uint8_t type) { EXPECT_TRUE(wrapper.CreateInstance(&sink, type)); }
  // Joins with `record`; true once the join is confirmed.
  bool Join(const SessionRecord& record) {
    return wrapper.Join(record.Data(), nullptr, &sink) == 1 && sink.WaitFor("confirm");
  }
};

}  // namespace vzwire_test
