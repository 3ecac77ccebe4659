#include "gif/SubImage.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/Encoder.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"
#include "gif/RleEncoder.h"
#include "gif/StreamHelpers.h"

#include <cstring>
#include <exception>
#include <new>

namespace {

std::string_view stopText(LzwStop stop)
{
    switch (stop) {
    case LzwStop::ClearCodeTooLarge: return GIFText::ClearCodeTooLarge;
    case LzwStop::CodeTooLarge: return GIFText::CodeTooLarge;
    case LzwStop::CircularTable: return GIFText::CircularTable;
    case LzwStop::StartIndexTooLarge: return GIFText::StartIndexTooLarge;
    case LzwStop::Filled:
    case LzwStop::DataEnded:
    case LzwStop::EndCode: break;
    }
    return {};
}

} // namespace

// The pixels from the image data at the stream's position: the minimum code size byte,
// then the LZW sub-blocks through the terminator. Pixels the data does not reach keep
// the transparent index (when the frame has one) or 0. Damage warns through the frame
// and ends the decoding early; a table that refers to itself or codes beyond any table
// raise GIFException. Afterwards the stream stands on the byte after the terminator
// (or at its end).

void TGIFSubImage::readImageData(TStream& stream)
{
    TGIFSubImage& frame = *this;
    uint8_t fillValue = 0;
    if (frame.Transparent())
        if (const TGIFGraphicControlExtension* control = frame.GraphicControlExtension())
            fillValue = control->TransparentColorIndex();
    if (frame.Interlaced())
        frame.AllocateData(fillValue);
    else
        allocateUnfilled();
    // A frame decoded in one piece is filled only past the indices that arrived, however
    // the reading ends: one pass over its pixels instead of two.
    struct Unreached {
        uint8_t* data = nullptr;
        int64_t size = 0;
        int64_t reached = 0;
        uint8_t fill = 0;
        ~Unreached()
        {
            if (data)
                std::memset(data + reached, fill, static_cast<size_t>(size - reached));
        }
    } unreached{frame.Interlaced() ? nullptr : m_data.get(), m_dataSize, 0, fillValue};

    const int minCodeSize = ReadByte(stream);
    if (minCodeSize < 0)
        return;
    LzwDecoder decoder(stream, minCodeSize, [&frame](LzwWarning warning) {
        frame.Warn(
            1, std::string(warning == LzwWarning::PrematureEnd ? GIFText::PrematureEnd : GIFText::BitBufferUnderrun));
    });

    uint8_t* const data = frame.Data();
    const int64_t width = frame.Width();
    const int height = frame.Height();
    // Where the decoder writes now; what it stored past its last index is put back.
    uint8_t* at = data;
    int64_t room = 0;
    auto restore = [&](int64_t written) {
        std::memset(at + written, fillValue,
                    static_cast<size_t>(std::min<int64_t>(LzwDecoder::MaxOverrun, room - written)));
    };
    LzwStop stop = LzwStop::Filled;
    std::exception_ptr failure;
    try {
        auto decode = [&](uint8_t* to, int64_t count) {
            at = to;
            room = count;
            const LzwResult result = decoder.decode(to, count);
            stop = result.stop;
            if (stop != LzwStop::Filled)
                restore(result.count);
            return stop == LzwStop::Filled;
        };
        if (!data) {
        } else if (frame.Interlaced()) {
            // Rows arrive as 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...
            static constexpr int start[4] = {0, 4, 2, 1};
            static constexpr int step[4] = {8, 8, 4, 2};
            bool more = true;
            for (int pass = 0; pass < 4 && more; ++pass)
                for (int row = start[pass]; row < height && more; row += step[pass])
                    more = decode(data + row * width, width);
        } else {
            const LzwResult result = decoder.decodeWhole(data, frame.DataSize());
            unreached.reached = result.count;
            stop = result.stop;
        }
    } catch (...) {
        // The pixels decoded so far stay, and the reader's last step still runs.
        if (unreached.data)
            unreached.reached = decoder.written();
        else
            restore(decoder.written());
        failure = std::current_exception();
    }
    const LzwStop extra = decoder.extraStep();
    if (!stopText(extra).empty())
        RaiseGIFError(stopText(extra));
    if (failure)
        std::rethrow_exception(failure);
    if (!stopText(stop).empty())
        RaiseGIFError(stopText(stop));
    decoder.skipRest();
}

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image), m_colorMap(this), m_extensions(std::make_unique<TGIFExtensionList>(this)),
      m_revision(nextRevision())
{}

TGIFSubImage::~TGIFSubImage()
{
    Clear();
}

TGIFVersion TGIFSubImage::RequiredVersion() const
{
    // A frame that writes nothing needs no version: an image of such frames alone would
    // otherwise be written as a file without frames, which is refused on saving.
    if (Empty() && m_extensions->Count() == 0)
        return gvUnknown;
    return m_colorMap.Sorted() || m_extensions->Count() > 0 ? gv89a : gv87a;
}

void TGIFSubImage::Clear()
{
    m_extensions->Clear();
    m_colorMap.Clear();
    FreeData();
    // Straight to zero: going through the bounds setters would measure a frame that is
    // being emptied against the logical screen, and warn or grow it.
    m_height = 0;
    m_width = 0;
    m_transparent = false;
    m_graphicControl = nullptr;
    DiscardBitmap();
    DiscardMask();
}

bool TGIFSubImage::Empty() const
{
    return !m_data || m_dataSize == 0 || m_height == 0 || m_width == 0;
}

void TGIFSubImage::AllocateData(uint8_t fill)
{
    allocateUnfilled();
    if (m_data)
        std::memset(m_data.get(), fill, static_cast<size_t>(m_dataSize));
}

void TGIFSubImage::allocateUnfilled()
{
    FreeData();
    const int64_t size = int64_t(m_width) * m_height;
    if (size <= 0)
        return;
    if (m_image)
        m_image->ReservePixelBytes(size);
    else if (size > DefaultMaxPixelBytes)
        throw EOutOfMemory();
    m_data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!m_data) {
        if (m_image)
            m_image->ReleasePixelBytes(size);
        throw EOutOfMemory();
    }
    m_dataSize = size;
}

void TGIFSubImage::FreeData()
{
    if (m_data && m_image)
        m_image->ReleasePixelBytes(m_dataSize);
    m_data.reset();
    m_dataSize = 0;
}

void TGIFSubImage::NeedData()
{
    if (!m_data)
        AllocateData();
    if (m_dataSize == 0)
        RaiseGIFError(GIFText::ImageEmpty);
}

void TGIFSubImage::SetBoundsRect(int left, int top, int width, int height)
{
    auto fits = [](int value) { return value >= 0 && value <= 0xFFFF; };
    if (!fits(left) || !fits(top) || !fits(width) || !fits(height) || !fits(left + width) || !fits(top + height))
        RaiseGIFError(GIFText::FrameBoundsOutOfRange);
    const bool resized = width != m_width || height != m_height;
    m_left = static_cast<uint16_t>(left);
    m_top = static_cast<uint16_t>(top);
    m_width = static_cast<uint16_t>(width);
    m_height = static_cast<uint16_t>(height);
    if (resized) {
        DiscardBitmap();
        DiscardMask();
        AllocateData();
    }
    if (!m_image)
        return;
    bool grown = false;
    if (m_image->Width() < left + width) {
        if (m_image->Width() > 0) {
            grown = true;
            Warn(1, std::string(GIFText::WidthTooSmall));
        }
        m_image->SetWidth(left + width);
    }
    if (m_image->Height() < top + height) {
        if (m_image->Height() > 0) {
            grown = true;
            Warn(1, std::string(GIFText::HeightTooSmall));
        }
        m_image->SetHeight(top + height);
    }
    if (grown)
        Warn(1, std::string(GIFText::ExceedsScreen));
}

void TGIFSubImage::SetInterlaced(bool value)
{
    m_packedFields = value ? (m_packedFields | 0x40) : (m_packedFields & ~0x40);
}

TGIFColorMap& TGIFSubImage::EffectiveColorMap()
{
    if (m_colorMap.Count() > 0)
        return m_colorMap;
    if (m_image && m_image->Header().ColorMap().Count() > 0)
        return m_image->Header().ColorMap();
    return m_colorMap;
}

uint8_t* TGIFSubImage::Scanline(int y)
{
    if (y < 0 || y > m_height - 1)
        RaiseGIFError(GIFText::InvalidPixelCoordinates);
    NeedData();
    return m_data.get() + int64_t(y) * m_width;
}

uint8_t TGIFSubImage::Pixels(int x, int y)
{
    if (x < 0 || x > m_width - 1)
        RaiseGIFError(GIFText::InvalidPixelCoordinates);
    return Scanline(y)[x];
}

void TGIFSubImage::packDescriptor()
{
    // Interlace and the reserved bits stay; the map's own bits follow the map.
    uint8_t packed = m_packedFields & 0x58;
    if (m_colorMap.Count() > 0) {
        packed |= 0x80;
        if (m_colorMap.Sorted())
            packed |= 0x20;
        packed |= static_cast<uint8_t>(ColorResolution() & 7);
    }
    m_packedFields = packed;
}

void TGIFSubImage::SaveToStream(TStream& stream)
{
    m_extensions->SaveToStream(stream);
    if (Empty())
        return;
    packDescriptor();
    // Whatever byte introduced the frame when it was read, only ',' reads back.
    uint8_t descriptor[10] = {0x2C};
    WriteLE16(descriptor + 1, m_left);
    WriteLE16(descriptor + 3, m_top);
    WriteLE16(descriptor + 5, m_width);
    WriteLE16(descriptor + 7, m_height);
    descriptor[9] = m_packedFields;
    WriteBytes(stream, descriptor, sizeof descriptor);
    m_colorMap.SaveToStream(stream);

    int bits;
    int colors;
    if (m_colorMap.Count() > 0) {
        bits = m_colorMap.BitsPerPixel();
        colors = m_colorMap.Count();
    } else {
        bits = m_image ? m_image->BitsPerPixel() : 0;
        colors = 1 << bits;
    }
    // The encoder lives on the stack: a file of many small frames paid a heap round trip
    // per frame.
    auto compress = [&](TGIFEncoder& encoder) {
        if (m_image) {
            TGIFImage* image = m_image;
            encoder.OnWarn = [image](int severity, const std::string& message) {
                image->Warn(image, severity, message);
            };
        }
        encoder.Compress(stream, bits, m_width, m_height, Interlaced(), m_data.get(), colors);
    };
    if (m_image && m_image->CompressionMethod() == cmRLE) {
        TRLEEncoder encoder;
        compress(encoder);
    } else {
        TLZWEncoder encoder;
        compress(encoder);
    }
}

void TGIFSubImage::LoadFromStream(TStream& stream)
{
    Clear();
    m_extensions->LoadFromStream(stream, *this);
    const int next = ReadByte(stream);
    if (next < 0)
        return;
    stream.Seek(-1, TSeekOrigin::soCurrent);
    if (next == 0x3B || next == 0)
        return;

    uint8_t descriptor[10];
    ReadExact(stream, descriptor, sizeof descriptor);
    m_separator = descriptor[0];
    m_left = ReadLE16(descriptor + 1);
    m_top = ReadLE16(descriptor + 3);
    m_width = ReadLE16(descriptor + 5);
    m_height = ReadLE16(descriptor + 7);
    m_packedFields = descriptor[9];
    if (m_width == 0 || m_height == 0) {
        m_height = m_image ? m_image->Header().Height() : 0;
        m_width = m_image ? m_image->Header().Width() : 0;
        Warn(1, std::string(GIFText::ExceedsScreen));
    }
    if (m_packedFields & 0x80)
        m_colorMap.LoadFromStream(stream, 2 << (m_packedFields & 7));
    readImageData(stream);
}
