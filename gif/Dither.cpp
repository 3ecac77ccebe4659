#include "gif/Dither.h"

#include "framework/core/Exception.h"
#include "gif/ColorLookup.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The pixel's value with its error sum added, in numerators of divisor. Both divisions
// truncate toward zero, so a negative sum rounds toward zero as well: (-9 + 8) / 16 = 0.
inline int corrected(int input, int32_t errorSum, int divisor)
{
    return std::clamp(input + (errorSum + divisor / 2) / divisor, 0, 255);
}

// Taps in numerators of the divisor; the weights of each engine sum to its divisor.
constexpr DiffusionTap kStucki[] = {
    {0, 1, 8}, {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
    {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1},
};
constexpr DiffusionTap kSierra[] = {
    {0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3}, {2, 1, 2},
};
constexpr DiffusionTap kJaJuNi[] = {
    {0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
    {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1},
};
constexpr DiffusionTap kBurkes[] = {
    {0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
};
constexpr DiffusionTap kSteveArche[] = {
    {0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30},  {1, 3, 16}, {2, -2, 12},
    {2, 0, 26}, {2, 2, 12},  {3, -3, 5},  {3, -1, 12}, {3, 1, 12}, {3, 3, 5},
};

constexpr int sumOfWeights(std::span<const DiffusionTap> taps)
{
    int sum = 0;
    for (const DiffusionTap& tap : taps)
        sum += tap.weight;
    return sum;
}
static_assert(sumOfWeights(kStucki) == 42 && sumOfWeights(kSierra) == 32 && sumOfWeights(kJaJuNi) == 48 &&
              sumOfWeights(kBurkes) == 32 && sumOfWeights(kSteveArche) == 200);

// Differences (summed over the six channel differences) of this size halve the share of
// error passed on: below it flat areas and gradients are dithered almost fully, sharp
// edges and texture hardly at all. Chosen on the photos of the colour benchmark.
constexpr int HalvingActivity = 16;
constexpr int MaxActivity = 6 * 255;

// The share of a pixel's error passed on, in 256ths, by its activity.
constexpr std::array<uint16_t, MaxActivity + 1> diffusionTable()
{
    std::array<uint16_t, MaxActivity + 1> table{};
    for (int a = 0; a <= MaxActivity; ++a)
        table[size_t(a)] = uint16_t((256 * HalvingActivity + (HalvingActivity + a) / 2) / (HalvingActivity + a));
    return table;
}
constexpr std::array<uint16_t, MaxActivity + 1> kDiffusion = diffusionTable();

std::vector<int32_t> zeroedEntries(int width, int padding)
{
    return std::vector<int32_t>(static_cast<size_t>(width) + 2 * static_cast<size_t>(padding), 0);
}

} // namespace

TDitherEngine::TDitherEngine(int width, TColorLookup& lookup) : m_lookup(lookup), m_width(width)
{
    if (width < 0)
        RaiseGIFError(GIFText::InvalidImageDimensions);
}

uint8_t TDitherEngine::mapNearest(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    const uint8_t index = m_lookup.MatchColor(red, green, blue, r, g, b);
    m_column += m_step;
    return index;
}

uint8_t TDitherEngine::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    return mapNearest(red, green, blue, r, g, b);
}

void TDitherEngine::EndRow()
{
    m_step = -m_step;
    m_column = m_step > 0 ? 0 : m_width - 1;
}

void TDitherEngine::checkColumn() const
{
    if (m_column < 0 || m_column >= m_width)
        throw EInvalidGraphicOperation(std::string(GIFText::InvalidPixelCoordinates));
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup) : TDitherEngine(width, lookup)
{
    for (auto& errors : m_errors)
        errors = zeroedEntries(width, 1);
}

int32_t TFloydSteinbergDitherer::Error(int channel, int entry) const
{
    return m_errors.at(static_cast<size_t>(channel)).at(static_cast<size_t>(entry));
}

uint8_t TFloydSteinbergDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    checkColumn();
    const size_t at = m_cursor;
    const int v[3] = {corrected(red, m_errors[0][at] + m_carry[0], 16),
                      corrected(green, m_errors[1][at] + m_carry[1], 16),
                      corrected(blue, m_errors[2][at] + m_carry[2], 16)};
    const uint8_t index =
        mapNearest(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]), r, g, b);
    const int delivered[3] = {r, g, b};
    for (size_t c = 0; c < 3; ++c) {
        const int32_t e = v[c] - delivered[c];
        if (e == 0) {
            m_carry[c] = 0;
            continue;
        }
        m_errors[c][at] = m_belowBehind[c] + 3 * e;
        m_belowBehind[c] = m_below[c] + 5 * e;
        m_below[c] = e;
        m_carry[c] = 7 * e;
    }
    m_cursor = static_cast<size_t>(static_cast<int>(m_cursor) + Step());
    return index;
}

void TFloydSteinbergDitherer::EndRow()
{
    for (size_t c = 0; c < 3; ++c) {
        m_errors[c][m_cursor] = m_belowBehind[c];
        m_carry[c] = m_below[c] = m_belowBehind[c] = 0;
    }
    TDitherEngine::EndRow();
    m_cursor = Step() > 0 ? 0 : static_cast<size_t>(Width()) + 1;
}

KernelDitherer::KernelDitherer(int width, TColorLookup& lookup, int rows, int padding, int divisor,
                               std::span<const DiffusionTap> taps)
    : TDitherEngine(width, lookup), m_padding(padding), m_divisor(divisor), m_taps(taps),
      m_rows(static_cast<size_t>(rows)), m_cursor(static_cast<size_t>(padding))
{
    for (auto& row : m_rows)
        for (auto& errors : row)
            errors = zeroedEntries(width, padding);
}

int32_t KernelDitherer::Error(int row, int channel, int entry) const
{
    return m_rows.at(static_cast<size_t>(row)).at(static_cast<size_t>(channel)).at(static_cast<size_t>(entry));
}

uint8_t KernelDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    checkColumn();
    const size_t at = m_cursor;
    const auto& current = m_rows[0];
    const int v[3] = {corrected(red, current[0][at], m_divisor), corrected(green, current[1][at], m_divisor),
                      corrected(blue, current[2][at], m_divisor)};
    const uint8_t index =
        mapNearest(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]), r, g, b);
    const int delivered[3] = {r, g, b};
    // mapNearest has moved the column but not the cursor, and Step() is unchanged.
    const int step = Step();
    for (size_t c = 0; c < 3; ++c) {
        const int32_t e = v[c] - delivered[c];
        if (e == 0)
            continue;
        for (const DiffusionTap& tap : m_taps) {
            int32_t* entry = m_rows[static_cast<size_t>(tap.row)][c].data() + at;
            entry[tap.offset * step] += e * tap.weight;
        }
    }
    m_cursor = static_cast<size_t>(static_cast<int>(m_cursor) + step);
    return index;
}

void KernelDitherer::EndRow()
{
    for (auto& errors : m_rows.front())
        std::fill(errors.begin(), errors.end(), 0);
    // Exchanges the arrays; the zeroed row becomes the last one.
    std::rotate(m_rows.begin(), m_rows.begin() + 1, m_rows.end());
    TDitherEngine::EndRow();
    m_cursor = static_cast<size_t>(m_padding + Column());
}

TStuckiDitherer::TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 42, kStucki) {}

TSierraDitherer::TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 32, kSierra) {}

TJaJuNiDitherer::TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 48, kJaJuNi) {}

TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup)
    : KernelDitherer(width, lookup, 4, 3, 200, kSteveArche)
{}

TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup) : KernelDitherer(width, lookup, 2, 2, 32, kBurkes) {}

SerpentineDitherer::SerpentineDitherer(int width, TColorLookup& lookup)
    : TDitherEngine(width, lookup), m_errors(3 * (size_t(std::max(width, 0)) + 2)), m_errorsBelow(m_errors.size()),
      m_above(3 * size_t(std::max(width, 0)), -1), m_row(m_above.size(), -1)
{}

uint8_t SerpentineDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b)
{
    checkColumn();
    const int x = Column(), step = Step();
    int32_t* const here = m_errors.data() + 3 * (x + 1);
    int32_t* const below = m_errorsBelow.data() + 3 * (x + 1);
    const int source[3] = {red, green, blue};
    int v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = std::clamp(source[c] + ((here[c] + 2048) >> 12), 0, 255);
    const uint8_t index = mapNearest(uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]), r, g, b);

    int16_t* const row = m_row.data() + 3 * x;
    const int16_t* const above = m_above.data() + 3 * x;
    const int previous = x - step;
    const int16_t* const before = previous >= 0 && previous < Width() ? m_row.data() + 3 * previous : nullptr;
    int activity = 0;
    for (int c = 0; c < 3; ++c) {
        if (before && before[0] >= 0)
            activity += std::abs(source[c] - before[c]);
        if (above[0] >= 0)
            activity += std::abs(source[c] - above[c]);
        row[c] = int16_t(source[c]);
    }
    const int share = kDiffusion[size_t(activity)];

    const int delivered[3] = {r, g, b};
    const int ahead = 3 * step;
    for (int c = 0; c < 3; ++c) {
        const int32_t e = (v[c] - delivered[c]) * share;
        here[c + ahead] += 7 * e;
        below[c - ahead] += 3 * e;
        below[c] += 5 * e;
        below[c + ahead] += e;
    }
    return index;
}

void SerpentineDitherer::EndRow()
{
    m_errors.swap(m_errorsBelow);
    std::fill(m_errorsBelow.begin(), m_errorsBelow.end(), 0);
    m_above.swap(m_row);
    std::fill(m_row.begin(), m_row.end(), -1);
    TDitherEngine::EndRow();
}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMethod method, int width, TColorLookup& lookup)
{
    switch (method) {
    case dmNearest: return std::make_unique<TDitherEngine>(width, lookup);
    case dmFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case dmStucki: return std::make_unique<TStuckiDitherer>(width, lookup);
    case dmSierra: return std::make_unique<TSierraDitherer>(width, lookup);
    case dmJaJuNi: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case dmSteveArche: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case dmBurkes: return std::make_unique<TBurkesDitherer>(width, lookup);
    case dmSerpentine: return std::make_unique<SerpentineDitherer>(width, lookup);
    }
    RaiseGIFError(GIFText::InvalidDitherMethod);
}
