#pragma once
// Fitting a control's text into its box in every language: the text keeps
// its font when it fits; otherwise the font shrinks in half-pixel steps, no
// further than kMinFitPixelSize, until it does (wrapped at word ends when the
// box holds more than one line). Only a text that does not fit even then is
// ellipsized by the drawing. Pure; UI thread (the measurer is pango's).
#include <optional>
#include <string_view>

#include "platform/ui/canvas.h"
#include "platform/ui/ui_types.h"

inline constexpr double kMinFitPixelSize = 9.0;

// How many lines the text takes when broken at spaces to `width` (a word
// wider than the width takes a line of its own).
int WrappedLineCount(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font, int width);

// The font size at which `utf8` fits `box`: the font's own when it fits,
// else the largest smaller one down to kMinFitPixelSize; nothing when it
// does not fit even then. `wrap` allows several lines when the box is tall
// enough for them.
std::optional<double> FitFontSize(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font,
                                  vz::Size box, bool wrap);

// The font to draw with: the fitted one, or the smallest when nothing fits
// (the drawing then ellipsizes).
vz::Font FittedFont(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font, vz::Size box,
                    bool wrap);

// A canvas as a measurer, for fitting while painting.
class CanvasMeasurer : public vz::TextMeasurer {
 public:
  explicit CanvasMeasurer(vz::Canvas& canvas) : canvas_(canvas) {}
  vz::Size MeasureText(std::string_view utf8, const vz::Font& font) override { return canvas_.MeasureText(utf8, font); }

 private:
  vz::Canvas& canvas_;
};
