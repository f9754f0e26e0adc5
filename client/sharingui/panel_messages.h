#pragma once
// The messages the sharing windows post to the floating panel, and the
// range of the panel's popup-menu commands.
#include <cstdint>

inline constexpr uint32_t kPanelSelectionConfirmed = 2033;
inline constexpr uint32_t kPanelSelectionClosed = 2035;
inline constexpr uint32_t kPanelWindowListRefresh = 2036;
inline constexpr uint32_t kPanelAnnotationToolClicked = 8000;
inline constexpr uint32_t kPanelMenuFirstCommand = 9000;
inline constexpr uint32_t kPanelMenuLastCommand = 9764;
