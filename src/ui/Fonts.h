#pragma once
// The font maker that every window of the add-on uses, and the conversion of a pixel size to points.
// Sizes are in points and become character heights in pixels of the screen. A face that is not installed
// for the system's character set is replaced by the face of the system's menu font, so a window never ends
// up with the system's bitmap font.

#include "win/GdiHandles.h"

#include <string>

namespace ui
{

// True when a font family with `face` exists for `charset` on the screen.
[[nodiscard]] bool FontFaceExists(const std::wstring& face, BYTE charset) noexcept;

// The character set of the current ANSI code page (ANSI_CHARSET when the system cannot tell).
[[nodiscard]] BYTE CurrentAnsiCharset() noexcept;

// How a font is drawn besides its face and size; written with designated initializers,
// `{.bold = true, .clearType = true}`.
struct FontStyle
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool clearType = false;
};

// Makes a font of `face` and `points`; the description of the menu font is the base when `face` is not
// installed. False (and `font` empty) when the system makes no font.
[[nodiscard]] bool MakeFont(const std::wstring& face, int points, const FontStyle& style, win::Font& font) noexcept;

// Pixels of the screen to points: pixels x 72 / logical pixels per inch, rounded as MulDiv rounds.
[[nodiscard]] int PixelsToPoints(int pixels) noexcept;

}  // namespace ui
