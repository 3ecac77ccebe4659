// The library's start-up and shut-down, and the settings that hold for every image.
#include "gif/GIFImage.h"

#include "framework/graphics/Clipboard.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/Picture.h"
#include "framework/graphics/Screen.h"

#include <atomic>

bool RenderOnLoad = false;
bool OptimizeOnWrite = false;

namespace {

// -1 until the first question after start-up reads the screen.
std::atomic<int> g_paletteDisplay{-1};
std::atomic<int> g_ditherOnPaletteDisplay{-1};
std::atomic<uint32_t> g_clipboardFormat{0};

bool screenSetting(std::atomic<int>& setting)
{
    int value = setting.load();
    if (value < 0) {
        value = Screen().BitsPerPixel() * Screen().Planes() <= 8 ? 1 : 0;
        setting.store(value);
    }
    return value != 0;
}

} // namespace

bool PaletteDisplay()
{
    return screenSetting(g_paletteDisplay);
}

void SetPaletteDisplay(bool value)
{
    g_paletteDisplay = value ? 1 : 0;
}

bool DitherOnPaletteDisplay()
{
    return screenSetting(g_ditherOnPaletteDisplay);
}

void SetDitherOnPaletteDisplay(bool value)
{
    g_ditherOnPaletteDisplay = value ? 1 : 0;
}

uint32_t GIFClipboardFormat()
{
    return g_clipboardFormat;
}

const TPalette* StockPalette()
{
    return &DefaultPalette();
}

void StartGIFLibrary()
{
    TPicture::RegisterFileFormat("GIF", "GIF Image", TGIFImage::StaticClass());
    g_clipboardFormat = RegisterClipboardFormat("GIF Image");
    TPicture::RegisterClipboardFormat(g_clipboardFormat, TGIFImage::StaticClass());
    g_paletteDisplay = -1;
    g_ditherOnPaletteDisplay = -1;
}

void StopGIFLibrary()
{
    TPicture::UnregisterGraphicClass(TGIFImage::StaticClass());
}
