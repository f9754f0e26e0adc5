#pragma once
// Table-driven helpers of the send side: repair packets per FEC level, the
// loss class, the layer class and count, and the NAL and SVC header readers
// (also used on receive, on network bytes, so they check the length).
#include <cstddef>
#include <cstdint>

namespace fec {

constexpr int kProfiles = 4;
constexpr int kLevels = 8;
constexpr int kMaxSourcePackets = 63;

// Cumulative repair packets for n source packets when protecting up to
// `level` (0 for n outside 1..63 or a profile or level out of range).
int RepairEntry(int profile, int level, int n);

// For a frame of n source packets: *total receives the repair packets up to
// max_level, and `levels` (room for *total bytes; may be null) the level of
// each, lowest first. Returns -1 for n <= 0, n > 63 (no row that long) or
// max_level >= 8 (total 0); 0 otherwise, with total 0 for max_level < 0 or
// a profile outside 0..3.
int PlanRepairPackets(int profile, int n, int* total, uint8_t* levels, int max_level);

// The class of a temporal layer type for a kind of stream (-1: none).
int MapLayerClass(int temporal_type, int unused, bool flag, int kind);

// Loss in per mille to 0..7: the index of the first step above it, 7 when
// none is (steps 20, 50, 70, 120, 170, 220, 250, 300).
int LossClass(int loss_per_mille);

// Layers for an index: 0 gives 5, 1 and 2 give 3, others -1.
int LayerCount(int index);

// The NAL unit type (low five bits of the first byte); -1 when empty.
int NalType(const uint8_t* header, size_t length);
// The temporal id of a NAL unit of type 14 or 20 (top three bits of its
// fourth byte); -1 when shorter than four bytes.
int SvcTemporalId(const uint8_t* header, size_t length);

}  // namespace fec
