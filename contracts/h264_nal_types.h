#pragma once
// The H.264 NAL unit header byte and the unit types that the codec library,
// the engine's RTP packing and priorities, and the receive side must read
// alike: one set of names for all of them. FU-A and STAP-A are the RTP
// payload format's aggregation and fragmentation units, carried in the same
// type field.
#include <cstdint>

inline constexpr uint8_t kNalTypeMask = 0x1F;    // nal_unit_type: the header byte's low five bits
inline constexpr uint8_t kNalRefIdcMask = 0x60;  // nal_ref_idc: zero for a picture nothing refers to

inline constexpr int kNalSliceNonIdr = 1;
inline constexpr int kNalSliceIdr = 5;
inline constexpr int kNalSei = 6;
inline constexpr int kNalSequenceParameterSet = 7;
inline constexpr int kNalPrefix = 14;    // SVC prefix unit
inline constexpr int kNalSvcSlice = 20;  // SVC coded slice extension
inline constexpr int kNalStapA = 24;
inline constexpr int kNalFuA = 28;

// The unit type of a NAL unit (or of an RTP payload's first byte).
inline constexpr int NalTypeOf(uint8_t header) { return header & kNalTypeMask; }
