#pragma once

#include <string>

class QFont;
class TFont;

// What text of a TFont is drawn with: the installed face that stands for the named one,
// the character height in pixels and the style. The canvas draws its text with it and
// the windowed controls show theirs with it, so both look the same.
struct FontDescription {
    std::string face;
    int pixelSize = 11;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// Throws EInvalidOperation before the application exists when the font gives a cell
// height (a positive Height), which only the installed face's metrics turn into pixels.
FontDescription DescribeFont(const TFont& font);

// The one way a description becomes a Qt font: exact pixels, no smoothing, full hinting.
// Throws EInvalidOperation before the application exists.
QFont toQtFont(const FontDescription& description);
