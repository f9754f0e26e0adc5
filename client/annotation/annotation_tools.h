#pragma once
// The annotation tools, by id: what the sharing panel and the tool window
// choose, what the overlay draws with, and (for the shapes) the element code
// of the drawing model. A remote participant's element comes with a code of
// the same set; 8 and 9 are the codes of a remote stroke.
#include <cstdint>

enum AnnotationTool : int32_t {
  kToolNone = 0,
  kToolPointerIndicator = 1,  // the arrow that points for the others
  kToolLaserPointer = 2,      // shown by its own window; the overlay takes no input for it
  kToolEraser = 3,
  kToolPen = 4,
  kToolHighlighter = 5,
  kToolLine = 6,
  kToolArrow = 7,
  kElementStroke = 8,        // a remote stroke
  kElementFilledStroke = 9,  // a remote filled stroke
  kToolRectangle = 10,
  kToolTranslucentRectangle = 11,
  kToolFilledRectangle = 12,
  kToolEllipse = 13,
  kToolTranslucentEllipse = 14,
  kToolFilledEllipse = 15,
};
