#pragma once
// The library-wide counters of the sharing engine: PDU ids (shared by tiles,
// cursor images and blocks) and the LRU stamps of the cache table. Both start
// at 0 when the library is loaded and are never reset.
//
// Threads: the engine uses them on its UI thread only; they are atomic anyway
// so that two engines in one process never hand out the same id.
#include <cstdint>

// The next PDU id: 1 first, never 0 (after 4294967295 comes 1).
uint32_t NextDsPduId();
// The next LRU stamp: the counter's value, then the counter moves on by 1.
uint32_t NextDsCacheStamp();

// For tests of the wrap-around only: sets the PDU id counter.
void SetDsPduIdCounterForTest(uint32_t value);
