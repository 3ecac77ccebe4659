#pragma once

#include "framework/graphics/Palette.h"
#include "gif/ColorHistogram.h"

#include <memory>
#include <span>
#include <vector>

// What the refinement found: the colours and how well they serve the image.
struct RefinedPalette {
    // At most the number asked for, all different; exactly the image's own colours when
    // it has no more than that.
    std::vector<TPaletteEntry> entries;
    // The squared error summed over every pixel and channel, each colour served by its
    // nearest centre: for the initial centres, then after each pass. It never rises.
    std::vector<double> errors;
};

// Chooses colorCount colours (1 .. 256, else "Optimized palette size must be 1 to 256")
// for a histogram. The initial centres come from a median cut that splits, each time,
// the box with the largest squared error where the split lowers it most (or are the seed
// colours, when given). Then every pass moves each colour to its nearest centre and each
// centre to the mean of its colours, until the error stops falling; a centre left
// without colours moves to the worst-served colour. Histograms of more than 65536
// colours are refined in the cells of a fine grid (2 x 2 x 2 colours for most photos),
// each cell with the exact sums of its colours. The passes share their work among up to
// `threads` threads, with the same result for any number.
RefinedPalette RefineColors(std::span<const ColorCount> histogram, int colorCount, int threads,
                            std::span<const TPaletteEntry> seed = {});

// The refined palette of the rows' colours; null when there are no pixels.
std::unique_ptr<TPalette> CreateRefinedPalette(const PixelRows& rows, int colorCount, int threads);
