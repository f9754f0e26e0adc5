#include "uikit/text_fit.h"

#include <string>

int WrappedLineCount(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font, int width) {
  int lines = 0;
  std::string line;
  size_t at = 0;
  while (at <= utf8.size()) {
    size_t end = utf8.find(' ', at);
    if (end == std::string_view::npos) end = utf8.size();
    const std::string_view word = utf8.substr(at, end - at);
    std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (!line.empty() && measurer.MeasureText(candidate, font).width > width) {
      ++lines;
      line = std::string(word);
    } else {
      line = std::move(candidate);
    }
    at = end + 1;
  }
  return lines + 1;
}

std::optional<double> FitFontSize(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font,
                                  vz::Size box, bool wrap) {
  if (utf8.empty()) return font.pixel_size;
  vz::Font trial = font;
  for (double size = font.pixel_size; size >= kMinFitPixelSize - 1e-9; size -= 0.5) {
    trial.pixel_size = size;
    const vz::Size one_line = measurer.MeasureText(utf8, trial);
    if (one_line.width <= box.width && one_line.height <= box.height) return size;
    const int line_height = std::max(1, one_line.height);
    if (wrap && box.height >= 2 * line_height) {
      const int lines = WrappedLineCount(measurer, utf8, trial, box.width);
      bool every_word_fits = true;
      for (size_t at = 0; at <= utf8.size() && every_word_fits;) {
        size_t end = utf8.find(' ', at);
        if (end == std::string_view::npos) end = utf8.size();
        every_word_fits = measurer.MeasureText(utf8.substr(at, end - at), trial).width <= box.width;
        at = end + 1;
      }
      if (every_word_fits && lines * line_height <= box.height) return size;
    }
    if (font.pixel_size <= kMinFitPixelSize) break;
  }
  return std::nullopt;
}

vz::Font FittedFont(vz::TextMeasurer& measurer, std::string_view utf8, const vz::Font& font, vz::Size box,
                    bool wrap) {
  vz::Font fitted = font;
  const std::optional<double> size = FitFontSize(measurer, utf8, font, box, wrap);
  fitted.pixel_size = size ? *size : std::min(font.pixel_size, kMinFitPixelSize);
  return fitted;
}
