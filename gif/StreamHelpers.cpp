#include "gif/StreamHelpers.h"

#include "framework/core/Stream.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <cstring>

void ReadExactSlow(TStream& stream, void* buffer, size_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    size_t available;
    if (const uint8_t* bytes = stream.DirectBytes(available)) {
        const size_t n = std::min(count, available);
        std::memcpy(out, bytes, n);
        stream.SkipDirect(n);
        if (n < count)
            RaiseGIFError(GIFText::PrematureEnd);
        return;
    }
    while (count > 0) {
        const size_t n = stream.Read(out, count);
        if (n == 0)
            RaiseGIFError(GIFText::PrematureEnd);
        out += n;
        count -= n;
    }
}

void WriteByte(TStream& stream, uint8_t value)
{
    stream.WriteBuffer(&value, 1);
}

void WriteBytes(TStream& stream, const void* buffer, size_t count)
{
    stream.WriteBuffer(buffer, count);
}

void SkipBytes(TStream& stream, int64_t count)
{
    size_t available;
    if (stream.DirectBytes(available) && count >= 0) {
        stream.SkipDirect(std::min(static_cast<size_t>(count), available));
        return;
    }
    const int64_t position = stream.Position();
    stream.SetPosition(std::min(position + count, std::max(position, stream.Size())));
}

int BitsForColorCount(int count)
{
    if (count <= 0)
        return 0;
    int bits = 1;
    while ((1 << bits) < count)
        ++bits;
    return bits;
}

uint8_t PercentOf(int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0)
        return 0;
    if (part >= whole)
        return 100;
    return static_cast<uint8_t>((part * 200 + whole) / (2 * whole));
}
