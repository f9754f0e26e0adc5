#pragma once
// Bounds on what a received sharing message may make us allocate. The
// message size is bounded by the transport; these bound what one message
// turns into.
#include <cstddef>
#include <cstdint>

// Larger messages are dropped unparsed. One screen update of a 4K monitor
// in JPEG tiles stays below it.
inline constexpr size_t kDsMaxMessageBytes = 32u << 20;
// Embedded messages (caches, blocks, their rectangles, points...) of one
// message; more are refused before parsing, since a few bytes each would
// parse into far larger objects. Generous for 16 monitors of 4K blocks and
// capped annotations.
inline constexpr uint64_t kDsMaxMessageParts = 100000;
// A sharing info holds 17 monitor slots; the capture fills at most 16.
inline constexpr int kDsMaxMonitors = 16;
// Annotation points of one command; the rest is dropped.
inline constexpr uint32_t kDsMaxAnnotationPoints = 10000;
// Cache indices end where the cache table's tile range ends: a cache with a
// larger index could never be asked for, and would make the table grow.
inline constexpr uint64_t kDsCacheIndexEnd = 5000;
// Block indices are places in the presenter's keyframe table, one per block
// cell ever sent: at most 16 monitors of 100 x 100 cells.
inline constexpr uint64_t kDsBlockIndexEnd = 16 * 10000;
// UTF-8 limits of the texts sent (bytes, without a terminator).
inline constexpr size_t kDsIdMaxBytes = 255;
inline constexpr size_t kDsNameMaxBytes = 127;
