#pragma once
// The messages of the capture library: those its helper window on the
// creating thread handles, and those its capture thread handles.
#include <cstdint>

// Helper window (creating thread).
inline constexpr uint32_t WMDS_SHARING_INFO = 0x701;      // SharingInfo*, 28,156
inline constexpr uint32_t WMDS_MOUSE_INFO = 0x702;        // CaptureMouseInfo*, size
inline constexpr uint32_t WMDS_SCREEN_DATA = 0x703;       // CaptureScreenData*, size
inline constexpr uint32_t WMDS_RESET_INDICATORS = 0x704;
inline constexpr uint32_t WMDS_INDICATOR_UPDATE = 0x705;
inline constexpr uint32_t WMDS_REFRESH_DONE = 0x706;
inline constexpr uint32_t WMDS_ARROW_CLICKED = 0x707;
inline constexpr uint32_t WMDS_DISPLAY_CHANGE = 0x7E;     // the display's mode or layout changed
inline constexpr uint32_t WMDS_DESKTOP_SWITCH = 2023;
inline constexpr uint32_t WMDS_DESKTOP_CHANGED = 2026;

// Capture thread.
inline constexpr uint32_t TMDS_REOPEN_DESKTOP = 0x8001;
inline constexpr uint32_t TMDS_CAPTURE_NOW = 0x8002;
