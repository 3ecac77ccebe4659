#pragma once

#include "framework/core/Stream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// ReadExact for any stream, and where bytes in memory run out.
void ReadExactSlow(TStream& stream, void* buffer, size_t count);
// Reads exactly count bytes or raises GIFException "Premature end of data". Inline for
// bytes in memory: the records are a few bytes each, and a call cost more than the copy.
inline void ReadExact(TStream& stream, void* buffer, size_t count)
{
    size_t available;
    if (const uint8_t* bytes = stream.DirectBytes(available); bytes && count <= available) {
        std::memcpy(buffer, bytes, count);
        stream.SkipDirect(count);
        return;
    }
    ReadExactSlow(stream, buffer, count);
}
// The next byte, or -1 at the end of the data; what the end means is the caller's call.
inline int ReadByte(TStream& stream)
{
    return stream.ReadByte();
}
// Moves back over the byte just read (a block's first byte, read to learn its kind).
inline void StepBack(TStream& stream)
{
    size_t available;
    if (stream.DirectBytes(available))
        stream.SetPosition(stream.Position() - 1);
    else
        stream.Seek(-1, TSeekOrigin::soCurrent);
}
// Writes through the checked write: a stream that takes fewer bytes raises EWriteError.
void WriteByte(TStream& stream, uint8_t value);
void WriteBytes(TStream& stream, const void* buffer, size_t count);
// Moves count bytes forward, stopping at the end of the stream.
void SkipBytes(TStream& stream, int64_t count);
// 0 for 0; otherwise the smallest b >= 1 with 2^b >= count.
int BitsForColorCount(int count);

// Little-endian 16-bit values as every GIF record stores them.
inline uint16_t ReadLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void WriteLE16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Rounded to the nearest integer, halves up, in 64 bits; 0 when whole is not positive.
uint8_t PercentOf(int64_t part, int64_t whole);
