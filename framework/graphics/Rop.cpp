#include "framework/graphics/Rop.h"

#include <array>
#include <utility>

namespace {
// The same truth table, expanded one variable at a time at compile time, so each code
// becomes the few word operations it needs and the row loop vectorises. Table bit
// (x << k) | rest: variable x set selects the upper half.
template <unsigned T>
inline uint32_t eval1(uint32_t d)
{
    if constexpr (T == 0)
        return 0;
    else if constexpr (T == 1)
        return ~d;
    else if constexpr (T == 2)
        return d;
    else
        return ~0u;
}

template <unsigned T>
inline uint32_t eval2(uint32_t s, uint32_t d)
{
    constexpr unsigned high = T >> 2, low = T & 3;
    if constexpr (high == low)
        return eval1<low>(d);
    else
        return (s & eval1<high>(d)) | (~s & eval1<low>(d));
}

template <unsigned T>
inline uint32_t eval3(uint32_t p, uint32_t s, uint32_t d)
{
    constexpr unsigned high = T >> 4, low = T & 15;
    if constexpr (high == low)
        return eval2<low>(s, d);
    else
        return (p & eval2<high>(s, d)) | (~p & eval2<low>(s, d));
}

using RowFunction = void (*)(const uint32_t*, const uint32_t*, const uint32_t*, uint32_t*, size_t, uint32_t);

template <unsigned T>
void ropRow(const uint32_t* p, const uint32_t* s, const uint32_t* d, uint32_t* out, size_t count, uint32_t keep)
{
    constexpr bool usesP = RopUsesPattern(T), usesS = RopUsesSource(T), usesD = RopUsesDestination(T);
    for (size_t i = 0; i < count; ++i)
        out[i] = eval3<T>(usesP ? p[i] : 0, usesS ? s[i] : 0, usesD ? d[i] : 0) & keep;
}

template <size_t... I>
constexpr std::array<RowFunction, sizeof...(I)> makeTable(std::index_sequence<I...>)
{
    return {&ropRow<static_cast<unsigned>(I)>...};
}

constexpr auto kRows = makeTable(std::make_index_sequence<256>());
} // namespace

void RopRow(uint8_t rop, const uint32_t* p, const uint32_t* s, const uint32_t* d, uint32_t* out, size_t count,
            uint32_t keep)
{
    kRows[rop](p, s, d, out, count, keep);
}
