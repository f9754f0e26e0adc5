#pragma once
// The sixteen annotation colours (0xAABBGGRR, alpha 0xFF), in the colour
// menu's order: four columns of four, menu ids 9700 to 9715.
#include <array>
#include <cstdint>

inline constexpr std::array<uint32_t, 16> kAnnotationPalette = {
    0xFFC02E30, 0xFFA3359F, 0xFF0AF3FF, 0xFF1F69FC, 0xFFE28F12, 0xFF3BA623, 0xFF1C00E5, 0xFF10BFFE,
    0xFFB07E5E, 0xFFE1AFBC, 0xFF4566A9, 0xFF110073, 0xFF18E5A8, 0xFFFFE899, 0xFFBD9BFD, 0xFFAEF2FF,
};
inline constexpr uint32_t kColorMenuFirstId = 9700;
