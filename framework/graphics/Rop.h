#pragma once

#include <cstddef>
#include <cstdint>

// Ternary raster operations. A code's bits 16..23 hold its truth table; bit n of that
// byte is the result when pattern, source and destination are bits 2, 1 and 0 of n.
// The low 16 bits are the historical parse string and play no part here.
using TCopyMode = uint32_t;

inline constexpr TCopyMode cmBlackness = 0x00000042;
inline constexpr TCopyMode cmNotSrcErase = 0x001100A6;
inline constexpr TCopyMode cmNotSrcCopy = 0x00330008;
inline constexpr TCopyMode cmSrcErase = 0x00440328;
inline constexpr TCopyMode cmDstInvert = 0x00550009;
inline constexpr TCopyMode cmPatInvert = 0x005A0049;
inline constexpr TCopyMode cmSrcInvert = 0x00660046;
inline constexpr TCopyMode cmSrcAnd = 0x008800C6;
inline constexpr TCopyMode cmMergePaint = 0x00BB0226;
inline constexpr TCopyMode cmDstCopy = 0x00AA0029;
inline constexpr TCopyMode cmMergeCopy = 0x00C000CA;
inline constexpr TCopyMode cmSrcCopy = 0x00CC0020;
inline constexpr TCopyMode cmSrcPaint = 0x00EE0086;
inline constexpr TCopyMode cmPatCopy = 0x00F00021;
inline constexpr TCopyMode cmPatPaint = 0x00FB0A09;
inline constexpr TCopyMode cmWhiteness = 0x00FF0062;
// Pattern where the source is 1, destination where it is 0: paints a brush through a
// one-bit stencil whose white bits (with text colour black and background white) mark
// the pixels to paint. The embossed look draws with it.
inline constexpr TCopyMode cmPatThroughMask = 0x00E20746;

inline constexpr uint8_t RopIndex(TCopyMode rop)
{
    return static_cast<uint8_t>(rop >> 16);
}

// Four-operand code for masked copies: the foreground operation applies where the mask
// bit is 1, the background operation where it is 0. Masked copy with
// MakeRop4(cmDstCopy, cmSrcCopy) keeps the destination under 1 bits and copies the
// source under 0 bits; MakeRop4(cmSrcCopy, cmDstCopy) the other way round.
inline constexpr uint32_t MakeRop4(TCopyMode foreground, TCopyMode background)
{
    return ((background << 8) & 0xFF000000u) | foreground;
}
inline constexpr uint8_t Rop4Foreground(uint32_t rop4)
{
    return static_cast<uint8_t>(rop4 >> 16);
}
inline constexpr uint8_t Rop4Background(uint32_t rop4)
{
    return static_cast<uint8_t>(rop4 >> 24);
}

// The rule itself, a bit-parallel sum of the truth table's minterms.
constexpr uint32_t evalRop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d)
{
    uint32_t result = 0;
    for (int n = 0; n < 8; ++n)
        if (rop & (1u << n))
            result |= ((n & 4) ? p : ~p) & ((n & 2) ? s : ~s) & ((n & 1) ? d : ~d);
    return result;
}

inline constexpr bool RopUsesPattern(uint8_t rop)
{
    return ((rop >> 4) & 0x0F) != (rop & 0x0F);
}
inline constexpr bool RopUsesSource(uint8_t rop)
{
    return ((rop >> 2) & 0x33) != (rop & 0x33);
}
inline constexpr bool RopUsesDestination(uint8_t rop)
{
    return ((rop >> 1) & 0x55) != (rop & 0x55);
}

// out[i] = evalRop3(rop, p[i], s[i], d[i]) & keep for i < count. out may be d.
// Operands a code does not use are not read and may be null.
void RopRow(uint8_t rop, const uint32_t* p, const uint32_t* s, const uint32_t* d, uint32_t* out, size_t count,
            uint32_t keep);
