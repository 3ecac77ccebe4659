#include "gif/ColorHistogram.h"

#include "framework/core/Parallel.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

// Rows are counted in parts of about this many pixels: each part's keys and their sorting
// buffer stay within a few megabytes.
constexpr size_t PartPixels = size_t{1} << 18;

// Two counting passes of 12 bits each order the 24-bit keys.
void sortKeys(std::vector<uint32_t>& keys, std::vector<uint32_t>& scratch)
{
    scratch.resize(keys.size());
    for (int shift : {0, 12}) {
        std::array<size_t, 4097> start{};
        for (uint32_t key : keys)
            ++start[((key >> shift) & 0xFFF) + 1];
        // A digit shared by every key leaves the order as it is.
        if (std::find(start.begin(), start.end(), keys.size()) != start.end())
            continue;
        for (size_t i = 1; i < start.size(); ++i)
            start[i] += start[i - 1];
        for (uint32_t key : keys)
            scratch[start[(key >> shift) & 0xFFF]++] = key;
        keys.swap(scratch);
    }
}

std::vector<ColorCount> countPart(const PixelRows& rows, int firstRow, int endRow)
{
    std::vector<uint32_t> keys, scratch;
    keys.reserve(static_cast<size_t>(endRow - firstRow) * static_cast<size_t>(rows.width));
    for (int y = firstRow; y < endRow; ++y) {
        const uint8_t* p = rows.Row(y);
        for (int x = 0; x < rows.width; ++x, p += 3)
            keys.push_back(PackRgb(p[2], p[1], p[0]));
    }
    sortKeys(keys, scratch);
    std::vector<ColorCount> counts;
    for (uint32_t key : keys) {
        if (counts.empty() || counts.back().rgb != key)
            counts.push_back({key, 0});
        ++counts.back().count;
    }
    return counts;
}

std::vector<ColorCount> merged(const std::vector<ColorCount>& a, const std::vector<ColorCount>& b)
{
    std::vector<ColorCount> out;
    out.reserve(std::max(a.size(), b.size()));
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].rgb < b[j].rgb)
            out.push_back(a[i++]);
        else if (b[j].rgb < a[i].rgb)
            out.push_back(b[j++]);
        else
            out.push_back({a[i].rgb, a[i++].count + b[j++].count});
    }
    out.insert(out.end(), a.begin() + static_cast<ptrdiff_t>(i), a.end());
    out.insert(out.end(), b.begin() + static_cast<ptrdiff_t>(j), b.end());
    return out;
}

} // namespace

std::vector<ColorCount> CountColors(const PixelRows& rows, int threads)
{
    if (rows.width <= 0 || rows.height <= 0)
        return {};
    if (rows.Pixels() > std::numeric_limits<uint32_t>::max())
        RaiseGIFError(GIFText::InvalidImageDimensions);
    const int rowsPerPart = static_cast<int>(std::max<size_t>(1, PartPixels / static_cast<size_t>(rows.width)));
    const int partCount = (rows.height + rowsPerPart - 1) / rowsPerPart;
    std::vector<std::vector<ColorCount>> parts(static_cast<size_t>(partCount));
    ParallelFor(partCount, threads, [&](int part) {
        const int first = part * rowsPerPart;
        parts[static_cast<size_t>(part)] = countPart(rows, first, std::min(rows.height, first + rowsPerPart));
    });
    // Neighbours merge pairwise, so the tree of merges depends on the part count alone.
    while (parts.size() > 1) {
        std::vector<std::vector<ColorCount>> next((parts.size() + 1) / 2);
        ParallelFor(static_cast<int>(next.size()), threads, [&](int i) {
            const size_t left = 2 * static_cast<size_t>(i);
            next[static_cast<size_t>(i)] =
                left + 1 < parts.size() ? merged(parts[left], parts[left + 1]) : std::move(parts[left]);
        });
        parts = std::move(next);
    }
    return std::move(parts.front());
}
