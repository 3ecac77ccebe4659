#include "gif/Encoder.h"

#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/GIFWriter.h"
#include "gif/LzwEncoder.h"
#include "gif/RleEncoder.h"
#include "gif/StreamHelpers.h"

TGIFEncoder::~TGIFEncoder() = default;

void TGIFEncoder::Output(int code)
{
    outputBits(code);
}

void TGIFEncoder::Clear()
{
    m_clearFlag = true;
    Output(m_clearCode);
}

void TGIFEncoder::putWords(TGIFWriter& writer, const uint32_t* words, int count)
{
    if constexpr (std::endian::native == std::endian::little) {
        writer.Write(words, size_t(count) * 4);
    } else {
        for (int i = 0; i < count; ++i)
            writer.PutWord(words[i]);
    }
}

void TGIFEncoder::raiseColorNotInTable()
{
    RaiseGIFError(GIFText::ColorNotInTable);
}

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlaced,
                           const uint8_t* data, int maxColor)
{
    m_maxColor = maxColor;
    m_bitsPerPixel = bitsPerPixel < 2 ? 2 : bitsPerPixel;
    m_width = width;
    m_height = height;
    m_interlaced = interlaced;
    m_data = data;
    m_initialBitsPerCode = m_bitsPerPixel + 1;
    WriteByte(stream, static_cast<uint8_t>(m_bitsPerPixel));

    m_bitsPerCode = m_initialBitsPerCode;
    m_maxCode = (1 << m_bitsPerCode) - 1;
    m_clearCode = 1 << m_bitsPerPixel;
    m_eoiCode = m_clearCode + 1;
    m_baseCode = m_clearCode + 2;
    m_bitBuffer = 0;
    m_bitCount = 0;
    m_wordCount = 0;

    // On failure the writer's destructor still hands the partial sub-block on.
    TGIFWriter writer(stream);
    m_writer = &writer;
    if (data && height > 0 && width > 0)
        DoCompress();
    Output(m_eoiCode);
    if (writer.Buffered() > 0)
        writer.FlushBuffer();
    m_writer = nullptr;
    WriteByte(stream, 0);
}

std::unique_ptr<TGIFEncoder> MakeEncoder(int compressionMethod)
{
    if (compressionMethod == cmRLE)
        return std::make_unique<TRLEEncoder>();
    return std::make_unique<TLZWEncoder>();
}
