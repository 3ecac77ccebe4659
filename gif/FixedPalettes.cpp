#include "gif/FixedPalettes.h"

#include "framework/graphics/DeviceContext.h"
#include "framework/graphics/Palette.h"

#include <vector>

namespace {

std::unique_ptr<TPalette> greys(std::initializer_list<int> levels)
{
    std::vector<TPaletteEntry> entries;
    for (int level : levels) {
        const auto v = static_cast<uint8_t>(level);
        entries.push_back({v, v, v, pcNoCollapse});
    }
    return std::make_unique<TPalette>(std::move(entries));
}

} // namespace

std::unique_ptr<TPalette> NetscapePalette()
{
    std::vector<TPaletteEntry> entries;
    entries.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries.push_back(
                    {static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
    return std::make_unique<TPalette>(std::move(entries));
}

std::unique_ptr<TPalette> Gray256Palette()
{
    std::vector<TPaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        entries[static_cast<size_t>(i)] = {v, v, v, pcNoCollapse};
    }
    return std::make_unique<TPalette>(std::move(entries));
}

std::unique_ptr<TPalette> WindowsGrayPalette()
{
    return greys({0, 128, 192, 255});
}

std::unique_ptr<TPalette> BlackWhitePalette()
{
    return greys({0, 255});
}

std::unique_ptr<TPalette> WindowsHalftonePalette()
{
    DeviceContext screen;
    return WindowsHalftonePalette(screen.Handle());
}

std::unique_ptr<TPalette> WindowsHalftonePalette(TCanvasHandle context)
{
    CheckGDIObject(context);
    return CreateHalftonePalette();
}
