#include "gif/Trailer.h"

#include "gif/GIFException.h"
#include "gif/StreamHelpers.h"

void TGIFTrailer::SaveToStream(TStream& stream)
{
    WriteByte(stream, 0x3B);
}

void TGIFTrailer::LoadFromStream(TStream& stream)
{
    const int byte = ReadByte(stream);
    if (byte >= 0 && byte != 0x3B)
        Warn(1, std::string(GIFText::InvalidTrailer));
}
