#pragma once

#include "framework/core/Object.h"
#include "framework/core/Types.h"
#include "framework/graphics/Color.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;

enum class TPenStyle { psSolid, psClear };

// A one-pixel pen.
class TPen : public TPersistent {
    CARNELO_CLASS(TPen, TPersistent)
public:
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle value);
    void CopyFrom(const TPersistent* source) override;

    TNotifyEvent OnChange;

private:
    void changed();
    TColor m_color = clBlack;
    TPenStyle m_style = TPenStyle::psSolid;
};

// bsPattern: the brush paints the pixels of a pattern bitmap, tiled from the surface's
// origin (so patterns of neighbouring controls on one form line up).
enum class TBrushStyle { bsSolid, bsClear, bsPattern };

// The pixels of a pattern brush, copied from the bitmap it was made from, so freeing
// that bitmap never leaves the brush pointing at it.
struct TBrushPattern {
    int width = 0;
    int height = 0;
    bool monochrome = false;      // bits follow the text and background colours
    std::vector<uint32_t> pixels; // 0x00BBGGRR, or 0 / 1 for a monochrome pattern; row by row
};

class TBrush : public TPersistent {
    CARNELO_CLASS(TBrush, TPersistent)
public:
    TColor Color() const { return m_color; }
    // A hollow brush becomes solid; a pattern stays.
    void SetColor(TColor value);
    TBrushStyle Style() const { return m_style; }
    // Solid or hollow drops the pattern; bsPattern without a pattern is solid.
    void SetStyle(TBrushStyle value);
    // Copies the top-left 8 x 8 pixels (or fewer) of the bitmap and paints with them;
    // null or an empty bitmap makes the brush solid again.
    void SetBitmap(const TBitmap* bitmap);
    const TBrushPattern* Pattern() const { return m_pattern.get(); }
    void CopyFrom(const TPersistent* source) override;

    TNotifyEvent OnChange;

private:
    void changed();
    TColor m_color = clWhite;
    TBrushStyle m_style = TBrushStyle::bsSolid;
    std::shared_ptr<const TBrushPattern> m_pattern;
};

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

// A font: face name, height in pixels (negative: character height without internal
// leading), styles and colour. Faces the machine lacks map to the nearest installed
// one ("MS Sans Serif" and "Arial" to a sans face, "Times New Roman" to a serif face).
class TFont : public TPersistent {
    CARNELO_CLASS(TFont, TPersistent)
public:
    static constexpr int PixelsPerInch = 96;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value);
    int Height() const { return m_height; }
    void SetHeight(int value);
    // Points at 96 pixels per inch: height -11 is 8 points.
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const { return m_style; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    void CopyFrom(const TPersistent* source) override;
    bool SameAs(const TFont& other) const;

    TNotifyEvent OnChange;

private:
    void changed();
    std::string m_name = "MS Sans Serif";
    int m_height = -11;
    TFontStyles m_style = 0;
    TColor m_color = clWindowText;
};
