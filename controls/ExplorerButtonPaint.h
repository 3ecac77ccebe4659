#pragma once

#include "controls/ExplorerButtonLayout.h"
#include "framework/graphics/DrawStyles.h"
#include "framework/graphics/GraphicsObjects.h"

#include <string>

class TBitmap;
class TCanvas;

enum TExplorerButtonOption : unsigned { boMonoDisplay = 1, boIconOnly = 2, boPopupMark = 4, boShowBevel = 8 };
using TExplorerButtonOptions = unsigned;

enum class TExplorerButtonShadingType { stLight, stMedium, stDark };

// What a button shows, from four flags:
//   Disabled  not enabled (a down button keeps its sunken bevel and its pattern)
//   Down      enabled and down
//   Pressed   enabled, up, pressed with the mouse inside
//   Hot       enabled, up, the mouse inside and not pressed
//   Flat      enabled, up, the mouse outside, pressed or not
enum class ExplorerButtonState { Flat, Hot, Pressed, Down, Disabled };
ExplorerButtonState explorerButtonState(bool enabled, bool down, bool pressed, bool mouseInside);

// Everything a button's appearance follows from, so a test can paint one on any canvas.
// Bitmaps may be null where the button has none; they are made dormant after painting.
struct ExplorerButtonLook {
    int width = 50;
    int height = 40;
    std::string caption;
    TFont font;
    TColor unselectedFontColor = clWindowText;
    TAlignment alignment = TAlignment::taCenter;
    TExplorerButtonLayout layout = TExplorerButtonLayout::blBitmapTop;
    TBevelStyle bevelStyle = TBevelStyle::bsRaised;
    TExplorerButtonOptions options = boMonoDisplay | boPopupMark | boShowBevel;
    bool hasDropDownMenu = false;
    bool enabled = true;
    bool down = false;
    bool pressed = false;
    bool mouseInside = false;
    bool showDownPattern = true;
    bool wordWrap = false;
    bool designing = false;
    bool useEllipsis = true;
    TBitmap* bitmap = nullptr;
    TBitmap* noFocusBitmap = nullptr;
    TBitmap* disabledBitmap = nullptr;
    TBitmap* shadedBitmap = nullptr;

    ExplorerButtonState state() const { return explorerButtonState(enabled, down, pressed, mouseInside); }
};

// Paints the button over what the canvas shows; nothing it leaves out is erased.
void paintExplorerButton(TCanvas& canvas, const ExplorerButtonLook& look);

// The text a caption is measured and drawn from: at most 255 bytes of it, never ending
// inside a UTF-8 character.
std::string workingCaption(const std::string& caption);

enum class BevelLook { Normal, Pressed };
// One-pixel frame of a width x height button: raised (light top-left) for bsRaised in
// the normal look, and the other way round for bsLowered or the pressed look.
void DrawBevel(TCanvas& canvas, int width, int height, TBevelStyle style, BevelLook look);
// A 7 x 4 triangle pointing down, in the canvas font's colour; its top row is y - 1.
void DrawPopupMark(TCanvas& canvas, int x, int y);
// The image at (x, y) at its own size; its pixels of the transparent colour leave the
// canvas as it was.
void DrawTransparentBitmap(TCanvas& canvas, TBitmap& image, int x, int y, TColor transparent);
// The disabled relief of an image: the pixels that are black in it get clBtnHighlight
// one pixel down and right, then clBtnShadow in place; the others leave the canvas as
// it was. Changes the canvas's brush, text and background colours.
void DrawEmbossedBitmap(TCanvas& canvas, int x, int y, TBitmap& image);
// The grey image of source: every pixel that differs from source's pixel (0, 0) becomes
// white, clBtnHighlight, clBtnShadow or black by the sum of its channels.
void MakeShadedBitmap(TBitmap& destination, TBitmap& source, TExplorerButtonShadingType shading);
// Fills an 8 x 8 bitmap with a clBtnFace / clBtnHighlight checkerboard, highlight at (0, 0).
void MakeDownPattern(TBitmap& pattern);

// The one checkered pattern all buttons share: made on first use, kept while any button
// holds a share in it, freed when the last share goes.
TBitmap& DownPattern();
bool downPatternExists();
// Frees it now; the next use makes it again, identically.
void freeDownPattern();

// A button's share in the pattern, held for the button's lifetime.
class DownPatternShare {
public:
    DownPatternShare();
    ~DownPatternShare();
    DownPatternShare(const DownPatternShare&) = delete;
    DownPatternShare& operator=(const DownPatternShare&) = delete;
};
