#pragma once

#include "framework/core/Object.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TColorLookup;

// The ditherer that maps a bitmap's pixels to palette indices (one byte).
enum TDitherMethod : uint8_t {
    dmNearest = 0,
    dmFloydSteinberg = 1,
    dmStucki = 2,
    dmSierra = 3,
    dmJaJuNi = 4,
    dmSteveArche = 5,
    dmBurkes = 6,
    dmSerpentine = 7,
};
inline constexpr TDitherMethod DefaultDitherMethod = dmNearest;

// Maps pixels in serpentine order: row 0 left to right, row 1 right to left, and so on.
// The caller maps the pixel at Column() while 0 <= Column() < Width(), then calls
// EndRow. This base engine takes the nearest colour and diffuses nothing.
class TDitherEngine : public TObject {
    CARNELO_CLASS(TDitherEngine, TObject)
public:
    // The lookup is not owned and must outlive the engine. A width of 0 is allowed (no
    // pixel is ever mapped); a negative one raises "Invalid image dimensions".
    TDitherEngine(int width, TColorLookup& lookup);

    // Returns the palette index for the pixel at Column(), writes the delivered colour
    // into r, g, b and moves Column() by Step().
    virtual uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
    // Turns round for the next row.
    virtual void EndRow();
    // Moves Column() without mapping a pixel; the error cursors of the diffusing engines
    // stay where they are.
    void SkipColumn() { m_column += m_step; }

    int Step() const { return m_step; }
    int Column() const { return m_column; }
    int Width() const { return m_width; }
    TColorLookup& ColorLookup() const { return m_lookup; }

protected:
    // The lookup and the column move, without diffusion.
    uint8_t mapNearest(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
    // Diffusing engines keep their cursors inside their buffers by mapping only pixels
    // of the row; raises "Invalid pixel coordinates" otherwise.
    void checkColumn() const;

private:
    int m_step = 1;
    int m_column = 0;
    TColorLookup& m_lookup;
    int m_width;
};

// Two rows, divisor 16. One array per channel carries errors from row to row; Carry goes
// to the next pixel of the row, Below and BelowBehind are partial sums for the row below,
// all in sixteenths. The pixel reads the entry at the cursor and then overwrites it with
// its contribution to the row below. Arrays have Width + 2 entries; the cursor starts at
// entry 0 on rows run left to right and at entry Width + 1 on the others.
class TFloydSteinbergDitherer : public TDitherEngine {
    CARNELO_CLASS(TFloydSteinbergDitherer, TDitherEngine)
public:
    TFloydSteinbergDitherer(int width, TColorLookup& lookup);
    uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
    void EndRow() override;

    // The inner state, channel 0 red, 1 green, 2 blue.
    int Cursor() const { return static_cast<int>(m_cursor); }
    int32_t Error(int channel, int entry) const;
    int32_t Carry(int channel) const { return m_carry[static_cast<size_t>(channel)]; }
    int32_t Below(int channel) const { return m_below[static_cast<size_t>(channel)]; }
    int32_t BelowBehind(int channel) const { return m_belowBehind[static_cast<size_t>(channel)]; }

private:
    std::array<std::vector<int32_t>, 3> m_errors;
    size_t m_cursor = 0;
    std::array<int32_t, 3> m_carry{};
    std::array<int32_t, 3> m_below{};
    std::array<int32_t, 3> m_belowBehind{};
};

// One share of a pixel's error: rows ahead (0 is the current row), columns counted in the
// direction of travel, numerator over the engine's divisor.
struct DiffusionTap {
    int row;
    int offset;
    int weight;
};

// Error diffusion over a few rows of error sums, one array per row and channel, each
// Width + 2 Padding entries with entry Padding + x for column x. A pixel reads the
// current row's entry, spreads its error by the taps, and all cursors move on together.
// EndRow zeroes the current row and rotates it to the back.
class KernelDitherer : public TDitherEngine {
    CARNELO_CLASS(KernelDitherer, TDitherEngine)
public:
    uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
    void EndRow() override;

    int Divisor() const { return m_divisor; }
    int Padding() const { return m_padding; }
    int Rows() const { return static_cast<int>(m_rows.size()); }
    // The inner state: row 0 is the current row; channel 0 red, 1 green, 2 blue.
    int Cursor() const { return static_cast<int>(m_cursor); }
    int32_t Error(int row, int channel, int entry) const;

protected:
    // The taps must stay within Padding columns and within the rows.
    KernelDitherer(int width, TColorLookup& lookup, int rows, int padding, int divisor,
                   std::span<const DiffusionTap> taps);

private:
    int m_padding;
    int m_divisor;
    std::span<const DiffusionTap> m_taps;
    std::vector<std::array<std::vector<int32_t>, 3>> m_rows;
    size_t m_cursor;
};

// Three rows (current, next, after), padding 2.
class T5by3Ditherer : public KernelDitherer {
    CARNELO_CLASS(T5by3Ditherer, KernelDitherer)
protected:
    T5by3Ditherer(int width, TColorLookup& lookup, int divisor, std::span<const DiffusionTap> taps)
        : KernelDitherer(width, lookup, 3, 2, divisor, taps)
    {}
};

class TStuckiDitherer : public T5by3Ditherer {
    CARNELO_CLASS(TStuckiDitherer, T5by3Ditherer)
public:
    TStuckiDitherer(int width, TColorLookup& lookup);
};

class TSierraDitherer : public T5by3Ditherer {
    CARNELO_CLASS(TSierraDitherer, T5by3Ditherer)
public:
    TSierraDitherer(int width, TColorLookup& lookup);
};

class TJaJuNiDitherer : public T5by3Ditherer {
    CARNELO_CLASS(TJaJuNiDitherer, T5by3Ditherer)
public:
    TJaJuNiDitherer(int width, TColorLookup& lookup);
};

// Four rows, padding 3, divisor 200; the taps leave every other column untouched.
class TSteveArcheDitherer : public KernelDitherer {
    CARNELO_CLASS(TSteveArcheDitherer, KernelDitherer)
public:
    TSteveArcheDitherer(int width, TColorLookup& lookup);
};

// Two rows, padding 2, divisor 32.
class TBurkesDitherer : public KernelDitherer {
    CARNELO_CLASS(TBurkesDitherer, KernelDitherer)
public:
    TBurkesDitherer(int width, TColorLookup& lookup);
};

// Floyd-Steinberg weights at full precision: each pixel's error goes at once to the next
// pixel of the row (7/16) and to the three below it (3/16 behind, 5/16 under, 1/16
// ahead), rows in serpentine order. Only a share of the error is passed on where the
// source itself changes sharply (against the pixel mapped before it and the one above):
// busy detail hides banding by itself, and error carried into it shows as noise.
class SerpentineDitherer : public TDitherEngine {
    CARNELO_CLASS(SerpentineDitherer, TDitherEngine)
public:
    SerpentineDitherer(int width, TColorLookup& lookup);
    uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
    void EndRow() override;

private:
    // Errors in 4096ths of a level, three channels per entry; entry x + 1 is column x and
    // one entry of padding on each side takes what spills past the row.
    std::vector<int32_t> m_errors;
    std::vector<int32_t> m_errorsBelow;
    // The source colours of the row above and of this one, -1 where none was mapped.
    std::vector<int16_t> m_above;
    std::vector<int16_t> m_row;
};

// The engine of the method; raises "Invalid dithering method" for a code beyond
// dmSerpentine.
std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMethod method, int width, TColorLookup& lookup);
