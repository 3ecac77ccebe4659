#pragma once

#include "framework/core/Object.h"
#include "framework/graphics/Bitmap.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TDIBReader;
class TPalette;

// A node of the colour octree. A leaf sums the pixels that ended in it; any other node
// has children by one bit of each channel (red bit x 4 + green bit x 2 + blue bit).
// Sums and counts are 64-bit: a leaf may receive every pixel of a large image.
class TOctreeNode : public TObject {
    CARNELO_CLASS(TOctreeNode, TObject)
public:
    bool IsLeaf = false;
    int64_t PixelCount = 0;
    int64_t RedSum = 0;
    int64_t GreenSum = 0;
    int64_t BlueSum = 0;
    // The next node of the same level that may still be merged; not owned.
    TOctreeNode* Next = nullptr;
    std::array<std::unique_ptr<TOctreeNode>, 8> Children;
};

// Octree colour quantizer: every pixel goes down to depth ColorBits, and whenever the tree
// holds more than MaxColors leaves the deepest mergeable node (the newest of its level)
// folds its children into itself. No weighting by pixel count.
class TColorQuantizer : public TObject {
    CARNELO_CLASS(TColorQuantizer, TObject)
public:
    // Raises GIFException for maxColors below 1 or colorBits outside 0 .. 8.
    TColorQuantizer(int maxColors, int colorBits);
    ~TColorQuantizer() override;
    TColorQuantizer(const TColorQuantizer&) = delete;
    TColorQuantizer& operator=(const TColorQuantizer&) = delete;

    // Adds every pixel of the reader's bitmap, rows top to bottom, each left to right.
    // The reader must be 24-bit ("Unsupported PixelFormat" otherwise).
    bool ScanImage(TDIBReader& reader);
    // Adds one pixel, then merges until at most MaxColors leaves remain.
    void AddPixel(uint8_t red, uint8_t green, uint8_t blue);
    // One entry per leaf (blue, green, red, 0), depth first with children in index order;
    // each the average of its pixels, black for a leaf without any.
    std::vector<TRGBQuad> ColorTable() const;

    int LeafCount() const { return m_leafCount; }
    int MaxColors() const { return m_maxColors; }
    int ColorBits() const { return m_colorBits; }
    const TOctreeNode* Root() const { return m_root.get(); }

private:
    void addColor(uint8_t red, uint8_t green, uint8_t blue);
    bool mergeDeepestNode();

    std::unique_ptr<TOctreeNode> m_root;
    int m_leafCount = 0;
    // Per level, the non-leaf nodes that may still be merged, newest first.
    std::array<TOctreeNode*, 8> m_pendingNodes{};
    int m_maxColors;
    int m_colorBits;
};

// A palette of colorCount entries computed from the reader's 24-bit rows by a quantizer
// of colorCount leaves (entries beyond the leaves found are black). With system colours
// the palette has 256 entries: the first ten and the last ten of the stock default
// palette at 0 to 9 and 246 to 255, and 236 computed colours from entry 10 (colorCount
// is ignored then). Raises GIFException for colorCount outside 1 .. 256.
std::unique_ptr<TPalette> CreateOptimizedPalette(TDIBReader& reader, int colorCount, int colorBits,
                                                 bool withSystemColors);
std::unique_ptr<TPalette> CreateOptimizedPaletteFromBitmap(const TBitmap& bitmap, int colorCount, int colorBits,
                                                           bool withSystemColors);
