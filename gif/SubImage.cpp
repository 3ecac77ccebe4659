#include "gif/SubImage.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/Encoder.h"
#include "gif/Extensions.h"
#include "gif/FrameDecoding.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"
#include "gif/Poison.h"
#include "gif/RleEncoder.h"
#include "gif/StreamHelpers.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <utility>

namespace {

// Freed frame pixels are kept for the next frames of the same size. Without them a load
// of many small frames after another takes fresh pages from the system for each (the C
// library gives the freed heap back), and their page faults cost as much as decoding.
// Reuse is by exact size, so a load holds no more than its frames' pixels. After every
// image is freed at most RetainedBytes stay held (one process-wide cache, the oldest
// block given back first); blocks below MinBlock bytes come cheaply from the heap, and
// the smallest from the thread's cache of item blocks, without a lock.
class PixelBlockCache {
public:
    static constexpr int64_t RetainedBytes = int64_t(16) << 20;
    static constexpr int64_t MinBlock = 1024;
    static constexpr int64_t ItemBlock = 256;

    static PixelBlockCache& instance()
    {
        // Never destroyed: images in static storage may free their frames after it.
        static PixelBlockCache* cache = new PixelBlockCache;
        return *cache;
    }

    // Null when the heap is to be asked, or (up to ItemBlock) when memory ran out.
    uint8_t* take(int64_t size)
    {
        if (size <= ItemBlock) {
            try {
                return static_cast<uint8_t*>(TakeItemBlock(static_cast<size_t>(size)));
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
        }
        if (size < MinBlock || size > RetainedBytes)
            return nullptr;
        std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_bySize.find(size);
        if (found == m_bySize.end())
            return nullptr;
        uint8_t* const block = found->second->data;
        m_order.erase(found->second);
        m_bySize.erase(found);
        m_held -= size;
        UnpoisonKeptBlock(block, static_cast<size_t>(size));
        return block;
    }

    // Takes the block (from take, or new[]) in any case.
    void give(uint8_t* block, int64_t size) noexcept
    {
        if (size <= ItemBlock) {
            GiveItemBlock(block, static_cast<size_t>(size));
            return;
        }
        if (size < MinBlock || size > RetainedBytes) {
            delete[] block;
            return;
        }
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            while (m_held + size > RetainedBytes) {
                const Block& oldest = m_order.front();
                UnpoisonKeptBlock(oldest.data, static_cast<size_t>(oldest.size));
                delete[] oldest.data;
                m_held -= oldest.size;
                m_bySize.erase(oldest.entry);
                m_order.pop_front();
            }
            m_order.push_back(Block{size, block, {}});
            try {
                m_order.back().entry = m_bySize.emplace(size, std::prev(m_order.end()));
            } catch (...) {
                m_order.pop_back();
                throw;
            }
        } catch (...) {
            delete[] block;
            return;
        }
        m_held += size;
        // A frame's pixels read after it freed them still show as a fault.
        PoisonKeptBlock(block, static_cast<size_t>(size));
    }

private:
    struct Block;
    using Order = std::list<Block>;
    using BySize = std::multimap<int64_t, Order::iterator>;
    struct Block {
        int64_t size;
        uint8_t* data;
        BySize::iterator entry;
    };
    std::mutex m_lock;
    Order m_order; // oldest first
    BySize m_bySize;
    int64_t m_held = 0;
};

// Interlaced rows arrive as 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ... Where the
// row that stands at y in the frame arrived, counted in rows.
int64_t arrivalOf(int y, int height)
{
    const int pass0 = (height + 7) / 8;
    const int pass1 = (height + 3) / 8;
    const int pass2 = (height + 1) / 4;
    if (y % 8 == 0)
        return y / 8;
    if (y % 8 == 4)
        return pass0 + y / 8;
    if (y % 4 == 2)
        return pass0 + pass1 + y / 4;
    return pass0 + pass1 + pass2 + y / 2;
}

// Moves rows held in arrival order to their places, in place: each cycle of the row
// map is followed once, a strip of columns at a time through a buffer on the stack.
void deinterlace(uint8_t* data, int width, int height)
{
    constexpr int Strip = 4096;
    uint8_t held[Strip];
    // One bit per row: moved already. A frame is at most 65535 rows high.
    uint64_t moved[(65536 + 63) / 64];
    for (int x = 0; x < width; x += Strip) {
        const size_t n = static_cast<size_t>(std::min(Strip, width - x));
        std::memset(moved, 0, sizeof(uint64_t) * static_cast<size_t>((height + 63) / 64));
        auto row = [&](int64_t y) { return data + y * width + x; };
        for (int start = 0; start < height; ++start) {
            if (moved[start / 64] >> (start % 64) & 1)
                continue;
            int y = start;
            int64_t from = arrivalOf(y, height);
            if (from == y) {
                moved[y / 64] |= uint64_t(1) << (y % 64);
                continue;
            }
            std::memcpy(held, row(y), n);
            // Each place takes the row that arrived there; the cycle closes on start.
            while (from != start) {
                std::memcpy(row(y), row(from), n);
                moved[y / 64] |= uint64_t(1) << (y % 64);
                y = static_cast<int>(from);
                from = arrivalOf(y, height);
            }
            std::memcpy(row(y), held, n);
            moved[y / 64] |= uint64_t(1) << (y % 64);
        }
    }
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
    // Decoded ahead, the pixels become the frame's.
    TPredecodedFrames::Frame* ahead = m_image ? m_image->takePredecoded(stream, int64_t(m_width) * m_height) : nullptr;
    allocateUnfilled(ahead ? ahead->pixels.get() : nullptr);
    if (ahead && m_data.get() == ahead->pixels.get())
        ahead->pixels.release();
    // The frame is decoded in one piece, in the order its indices arrive, and filled only
    // past the indices that arrived, however the reading ends; interlaced rows are then
    // moved to their places. One pass over the pixels instead of a pass per row.
    struct Unreached {
        uint8_t* data = nullptr;
        int64_t size = 0;
        int64_t reached = 0;
        uint8_t fill = 0;
        int width = 0;
        int height = 0;
        bool interlaced = false;
        ~Unreached()
        {
            if (!data)
                return;
            std::memset(data + reached, fill, static_cast<size_t>(size - reached));
            if (interlaced)
                deinterlace(data, width, height);
        }
    } unreached{m_data.get(), m_dataSize, 0, fillValue, frame.Width(), frame.Height(), frame.Interlaced()};

    const int minCodeSize = ReadByte(stream);
    if (minCodeSize < 0)
        return;
    auto warn = [&frame](LzwWarning warning) {
        frame.Warn(
            1, std::string(warning == LzwWarning::PrematureEnd ? GIFText::PrematureEnd : GIFText::BitBufferUnderrun));
    };
    const int64_t dataStart = stream.Position();
    size_t passOver = 0;
    std::exception_ptr handlerFailure;
    if (ahead && unreached.data) {
        unreached.reached = ahead->outcome.reached;
        try {
            for (; passOver < ahead->warnings.size(); ++passOver)
                warn(ahead->warnings[passOver]);
        } catch (...) {
            handlerFailure = std::current_exception();
        }
        if (!handlerFailure) {
            ahead->outcome.RaiseAny();
            stream.SetPosition(dataStart - ahead->offset + ahead->end);
            return;
        }
        // A handler that throws changes where the decoding stops: decoded here again, the
        // warnings it took passed over and its exception raised in place of the next.
    }
    auto sink = [&](LzwWarning warning) {
        if (passOver > 0)
            --passOver;
        else if (handlerFailure)
            std::rethrow_exception(std::exchange(handlerFailure, nullptr));
        else
            warn(warning);
    };
    FrameDecoding outcome;
    try {
        DecodeFrameData(stream, minCodeSize, unreached.data, unreached.size, sink, outcome);
    } catch (...) {
        unreached.reached = outcome.reached;
        throw;
    }
    unreached.reached = outcome.reached;
    outcome.RaiseAny();
}

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image), m_colorMap(this), m_extensions(this), m_revision(nextRevision())
{}

TGIFSubImage::~TGIFSubImage()
{
    // What Clear does that matters to others: the extensions go first (a graphic control
    // extension tells its frame) and the pixels leave the image's budget. The caches go
    // with the members.
    m_extensions.Clear();
    FreeData();
}

TGIFVersion TGIFSubImage::RequiredVersion() const
{
    // A frame that writes nothing needs no version: an image of such frames alone would
    // otherwise be written as a file without frames, which is refused on saving.
    if (Empty() && m_extensions.Count() == 0)
        return gvUnknown;
    return m_colorMap.Sorted() || m_extensions.Count() > 0 ? gv89a : gv87a;
}

void TGIFSubImage::Clear()
{
    m_extensions.Clear();
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

uint8_t* TakePixelBlock(int64_t size)
{
    uint8_t* block = PixelBlockCache::instance().take(size);
    if (!block && size > PixelBlockCache::ItemBlock)
        block = new (std::nothrow) uint8_t[static_cast<size_t>(size)];
    return block;
}

void GivePixelBlock(uint8_t* block, int64_t size) noexcept
{
    PixelBlockCache::instance().give(block, size);
}

void TGIFSubImage::allocateUnfilled(uint8_t* block)
{
    FreeData();
    const int64_t size = int64_t(m_width) * m_height;
    if (size <= 0)
        return;
    if (m_image)
        m_image->ReservePixelBytes(size);
    else if (size > DefaultMaxPixelBytes)
        throw EOutOfMemory();
    m_data.reset(block ? block : TakePixelBlock(size));
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
    if (m_data)
        GivePixelBlock(m_data.release(), m_dataSize);
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
    m_extensions.SaveToStream(stream);
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
    loadFresh(stream);
}

void TGIFSubImage::loadFresh(TStream& stream)
{
    m_extensions.LoadFromStream(stream, *this);
    const int next = ReadByte(stream);
    if (next < 0)
        return;
    StepBack(stream);
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
