#include "gif/Quantizer.h"

#include "framework/graphics/Palette.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"

namespace {

void collectColors(const TOctreeNode& node, std::vector<TRGBQuad>& entries)
{
    if (node.IsLeaf) {
        TRGBQuad entry;
        if (node.PixelCount > 0) {
            entry.rgbBlue = static_cast<uint8_t>(node.BlueSum / node.PixelCount);
            entry.rgbGreen = static_cast<uint8_t>(node.GreenSum / node.PixelCount);
            entry.rgbRed = static_cast<uint8_t>(node.RedSum / node.PixelCount);
        }
        entries.push_back(entry);
        return;
    }
    for (const auto& child : node.Children)
        if (child)
            collectColors(*child, entries);
}

} // namespace

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits) : m_maxColors(maxColors), m_colorBits(colorBits)
{
    if (colorBits < 0 || colorBits > 8)
        RaiseGIFError(GIFText::QuantizerColorBits);
    if (maxColors < 1)
        RaiseGIFError(GIFText::QuantizerColorCount);
}

TColorQuantizer::~TColorQuantizer() = default;

void TColorQuantizer::addColor(uint8_t red, uint8_t green, uint8_t blue)
{
    std::unique_ptr<TOctreeNode>* slot = &m_root;
    for (int level = 0;; ++level) {
        if (!*slot) {
            *slot = std::make_unique<TOctreeNode>();
            TOctreeNode& created = **slot;
            created.IsLeaf = level == m_colorBits;
            if (created.IsLeaf) {
                ++m_leafCount;
            } else {
                created.Next = m_pendingNodes[static_cast<size_t>(level)];
                m_pendingNodes[static_cast<size_t>(level)] = &created;
            }
        }
        TOctreeNode& node = **slot;
        if (node.IsLeaf) {
            ++node.PixelCount;
            node.RedSum += red;
            node.GreenSum += green;
            node.BlueSum += blue;
            return;
        }
        const int shift = 7 - level;
        const int child = (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
        slot = &node.Children[static_cast<size_t>(child)];
    }
}

bool TColorQuantizer::mergeDeepestNode()
{
    if (m_colorBits == 0)
        return false;
    int level = m_colorBits - 1;
    while (level > 0 && !m_pendingNodes[static_cast<size_t>(level)])
        --level;
    TOctreeNode* node = m_pendingNodes[static_cast<size_t>(level)];
    if (!node)
        return false;
    m_pendingNodes[static_cast<size_t>(level)] = node->Next;
    node->Next = nullptr;
    // Deeper levels have nothing left to merge, so every child is a leaf.
    int children = 0;
    for (auto& child : node->Children) {
        if (!child)
            continue;
        node->PixelCount += child->PixelCount;
        node->RedSum += child->RedSum;
        node->GreenSum += child->GreenSum;
        node->BlueSum += child->BlueSum;
        child.reset();
        ++children;
    }
    node->IsLeaf = true;
    m_leafCount += 1 - children;
    return true;
}

void TColorQuantizer::AddPixel(uint8_t red, uint8_t green, uint8_t blue)
{
    addColor(red, green, blue);
    while (m_leafCount > m_maxColors && mergeDeepestNode()) {}
}

bool TColorQuantizer::ScanImage(TDIBReader& reader)
{
    if (reader.PixelFormat() != TPixelFormat::pf24bit)
        RaiseGIFError(GIFText::UnsupportedPixelFormat);
    const int width = reader.Target().Width(), height = reader.Target().Height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* pixel = reader.ScanLineAt(y);
        for (int x = 0; x < width; ++x, pixel += 3)
            AddPixel(pixel[2], pixel[1], pixel[0]);
    }
    return true;
}

std::vector<TRGBQuad> TColorQuantizer::ColorTable() const
{
    std::vector<TRGBQuad> entries;
    entries.reserve(static_cast<size_t>(m_leafCount));
    if (m_root)
        collectColors(*m_root, entries);
    return entries;
}

std::unique_ptr<TPalette> CreateOptimizedPalette(TDIBReader& reader, int colorCount, int colorBits,
                                                 bool withSystemColors)
{
    std::vector<TPaletteEntry> entries;
    size_t start = 0;
    if (withSystemColors) {
        const TPalette& system = DefaultPalette();
        entries.resize(256);
        system.GetEntries(0, 10, entries.data());
        system.GetEntries(system.Count() - 10, 10, entries.data() + 246);
        colorCount = 236;
        start = 10;
    } else {
        if (colorCount < 1 || colorCount > 256)
            RaiseGIFError(GIFText::QuantizerColorCount);
        entries.resize(static_cast<size_t>(colorCount));
    }
    std::vector<TRGBQuad> table;
    {
        TColorQuantizer quantizer(colorCount, colorBits);
        quantizer.ScanImage(reader);
        table = quantizer.ColorTable();
    }
    const size_t count = std::min(table.size(), static_cast<size_t>(colorCount));
    for (size_t i = 0; i < count; ++i)
        entries[start + i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, table[i].rgbReserved};
    return std::make_unique<TPalette>(std::move(entries));
}

std::unique_ptr<TPalette> CreateOptimizedPaletteFromBitmap(const TBitmap& bitmap, int colorCount, int colorBits,
                                                           bool withSystemColors)
{
    TDIBReader reader(bitmap, TPixelFormat::pf24bit);
    return CreateOptimizedPalette(reader, colorCount, colorBits, withSystemColors);
}
