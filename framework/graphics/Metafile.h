#pragma once

#include "framework/graphics/Color.h"
#include "framework/graphics/Graphic.h"
#include "framework/graphics/GraphicsObjects.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;

// A picture kept as a list of drawing commands in its own pixel coordinates, with a
// size. Drawing replays the commands scaled from (0, 0, width, height) into the target
// rectangle; what no command paints is left as it was. Metafiles live in memory only:
// they have no file format here.
class TMetafile : public TGraphic {
    CARNELO_CLASS(TMetafile, TGraphic)
public:
    TMetafile();
    ~TMetafile() override;

    void SetSize(int width, int height);
    void AddFillRect(const TRect& rect, TColor color);
    void AddFrameRect(const TRect& rect, TColor color);
    // From one point to the other, the end point excluded.
    void AddLine(TPoint from, TPoint to, TColor color);
    void AddPixel(TPoint point, TColor color);
    // Text laid out in the rectangle with TTextFormat flags, in the font (and its colour).
    void AddText(const TRect& rect, const std::string& text, const TFont& font, uint32_t flags);
    // A copy of the bitmap, stretched into the rectangle.
    void AddBitmap(const TRect& rect, const TBitmap& bitmap);
    size_t CommandCount() const { return m_commands.size(); }
    void Clear();

    void CopyFrom(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const TRect& rect) override;
    // The same object, both empty, or the same size and commands.
    bool Equals(TGraphic& other) override;
    bool IsEmpty() const override;
    int QueryWidth() const override { return m_width; }
    int QueryHeight() const override { return m_height; }
    void ChangeWidth(int value) override;
    void ChangeHeight(int value) override;
    // Raise EInvalidGraphicOperation.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    enum class Kind { FillRect, FrameRect, Line, Pixel, Text, Bitmap };
    struct Command {
        Kind kind;
        TRect rect;
        TPoint from;
        TPoint to;
        TColor color = clBlack;
        std::string text;
        uint32_t flags = 0;
        std::shared_ptr<const TFont> font;
        std::shared_ptr<const TBitmap> bitmap; // never changed after recording, so copies share it
    };
    void add(Command command);

    int m_width = 0;
    int m_height = 0;
    std::vector<Command> m_commands;
};
