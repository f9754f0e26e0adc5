#pragma once
// Small pure helpers that the video panel's windows are built from: the
// aspect fit of an image in a rectangle, the narrow form of a wide text, the
// composed name of a tile, the placing of a container's hint label and the
// frame order of the waiting animation. No window is touched here, so each
// is tested alone; the windows call them on the panel's UI thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/canvas.h"
#include "platform/ui/ui_types.h"

namespace vzpanel {

// The rectangle an image of `image` size takes when fitted into `rect` at
// its own aspect and centred. A rectangle 11 pixels wide or high, or less,
// comes back unchanged (too small to fit into), as does an empty image.
vz::Rect fitRectangle(const vz::Rect& rect, vz::Size image);

// UTF-8 of a UTF-16 text, sized from what the conversion gives (a character
// may take up to four bytes); null or empty gives "". Never depends on the
// locale; an unpaired surrogate becomes U+FFFD.
std::string ConvertWideToNarrow(const char16_t* wide);
std::string ConvertWideToNarrow(std::u16string_view wide);

// A tile's label text: the name, then " " and the host word when `host`,
// else " " and the presenter word when `presenter`.
std::u16string ComposeTileName(std::u16string_view name, bool host, bool presenter, std::u16string_view host_word,
                               std::u16string_view presenter_word);

// The longest name a tile label keeps, in UTF-16 units: a longer text is
// refused and the label keeps what it had.
inline constexpr size_t kTileNameRefusedAt = 112;

// The hint label of a video container: 17 pixels high unless the text is
// then wider than the client width less 100, when it drops to 13. The label
// is the text's width + 10 by its height, centred in the client area.
struct HintPlacement {
  vz::Rect rect;
  int font_height = 17;
};
HintPlacement PlaceHintLabel(vz::Size client, std::string_view text_utf8, vz::TextMeasurer& measurer);

// The waiting animation: twelve frames, shown every 80 ms. The image id of
// frame `index` (0 to 11, taken modulo 12) and the index after `index`.
inline constexpr int kWaitingFrameCount = 12;
inline constexpr int kWaitingFrameMs = 80;
uint32_t WaitingFrameImage(int index);
inline int NextWaitingFrame(int index) { return index >= kWaitingFrameCount - 1 ? 0 : index + 1; }

// Colours of the panel (0xAARRGGBB).
inline constexpr vz::Color kPanelBackground = 0xFF2D2D2D;
inline constexpr vz::Color kTileFrame = 0xFF3C3C3C;
inline constexpr vz::Color kNameText = 0xFF9B9B9B;
inline constexpr vz::Color kHintText = 0xFFD1D1D1;
inline constexpr vz::Color kHintBackground = 0xFF424242;
inline constexpr vz::Color kActiveViewBackground = 0xFF4D4D4D;
inline constexpr vz::Color kMenuBackground = 0xFF212121;
inline constexpr vz::Color kToolbarBackground = 0xFF151515;

// A canvas's own text measure, for the helpers that take a measurer.
class CanvasMeasurer : public vz::TextMeasurer {
 public:
  explicit CanvasMeasurer(vz::Canvas& canvas) : canvas_(canvas) {}
  vz::Size MeasureText(std::string_view utf8, const vz::Font& font) override { return canvas_.MeasureText(utf8, font); }

 private:
  vz::Canvas& canvas_;
};

// The font of tile names and labels: Tahoma (through fontconfig) 13 pixels.
vz::Font PanelFont(int pixel_height, int weight = 500);

}  // namespace vzpanel
