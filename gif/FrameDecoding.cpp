#include "gif/FrameDecoding.h"

#include "framework/core/Parallel.h"
#include "framework/core/Stream.h"
#include "gif/GIFException.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

#include <new>
#include <string_view>

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

bool FrameDecoding::Raises() const
{
    return !stopText(extra).empty() || failure || !stopText(stop).empty();
}

void FrameDecoding::RaiseAny() const
{
    if (!stopText(extra).empty())
        RaiseGIFError(stopText(extra));
    if (failure)
        std::rethrow_exception(failure);
    if (!stopText(stop).empty())
        RaiseGIFError(stopText(stop));
}

void DecodeFrameData(TStream& stream, int minCodeSize, uint8_t* out, int64_t count, LzwDecoder::WarningSink sink,
                     FrameDecoding& outcome)
{
    outcome = FrameDecoding{};
    LzwDecoder decoder(stream, minCodeSize, std::move(sink));
    try {
        if (out) {
            const LzwResult result = decoder.decodeWhole(out, count);
            outcome.reached = result.count;
            outcome.stop = result.stop;
        }
    } catch (...) {
        // The pixels decoded so far stay, and the reader's last step still runs.
        outcome.reached = decoder.written();
        outcome.failure = std::current_exception();
    }
    outcome.extra = decoder.extraStep();
    if (!outcome.Raises())
        decoder.skipRest();
}

namespace {

// Calls found(offset, minimum code size, pixels) for the image data of each frame in
// bytes, found by skipping blocks by their lengths, up to budget pixels in all; it stops
// at the first byte that starts no block.
template <typename Found>
void findFrames(const uint8_t* bytes, size_t size, int64_t budget, Found found)
{
    if (size < 13 || bytes[0] != 'G' || bytes[1] != 'I' || bytes[2] != 'F')
        return;
    const int64_t screen = int64_t(ReadLE16(bytes + 6)) * ReadLE16(bytes + 8);
    size_t pos = 13;
    auto skipMap = [&](uint8_t flags) {
        if (flags & 0x80)
            pos += 3 * (size_t(2) << (flags & 7));
    };
    skipMap(bytes[10]);
    auto skipSubBlocks = [&] {
        while (pos < size) {
            const uint8_t length = bytes[pos++];
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    int64_t total = 0;
    while (pos < size) {
        const uint8_t byte = bytes[pos];
        if (byte == 0) {
            ++pos;
        } else if (byte == 0x21) {
            pos += 2;
            if (!skipSubBlocks())
                break;
        } else if (byte == 0x2C && size - pos > 10) {
            const uint8_t* descriptor = bytes + pos;
            const int64_t width = ReadLE16(descriptor + 5), height = ReadLE16(descriptor + 7);
            pos += 10;
            skipMap(descriptor[9]);
            if (pos >= size)
                break;
            const int minCodeSize = bytes[pos++];
            const int64_t count = width == 0 || height == 0 ? screen : width * height;
            total += count;
            if (count == 0 || total > budget)
                break;
            found(static_cast<int64_t>(pos), minCodeSize, count);
            if (!skipSubBlocks())
                break;
        } else {
            break;
        }
    }
}

} // namespace

TPredecodedFrames::TPredecodedFrames(const uint8_t* bytes, size_t size, int threads, int64_t minPixels, int64_t budget)
{
    // Counted first: most files a caller loads this way are too small to share out.
    int frames = 0;
    int64_t pixels = 0;
    findFrames(bytes, size, budget, [&](int64_t, int, int64_t count) { ++frames, pixels += count; });
    if (frames < 2 || pixels < minPixels)
        return;
    m_frames.reserve(size_t(frames));
    findFrames(bytes, size, budget, [&](int64_t offset, int minCodeSize, int64_t count) {
        Frame& frame = m_frames.emplace_back();
        frame.offset = offset;
        frame.minCodeSize = minCodeSize;
        frame.count = count;
    });
    ParallelFor(static_cast<int>(m_frames.size()), threads, [&](int index) {
        Frame& frame = m_frames[size_t(index)];
        bool lost = false;
        try {
            frame.pixels = {TakePixelBlock(frame.count), PixelBlockGiveBack{frame.count}};
            if (!frame.pixels)
                return;
            TReadOnlyMemoryStream stream(bytes, size);
            stream.SetPosition(frame.offset);
            DecodeFrameData(
                stream, frame.minCodeSize, frame.pixels.get(), frame.count,
                [&frame, &lost](LzwWarning warning) {
                    try {
                        frame.warnings.push_back(warning);
                    } catch (const std::bad_alloc&) {
                        lost = true;
                    }
                },
                frame.outcome);
            frame.end = stream.Position();
            frame.usable = !lost;
        } catch (const std::bad_alloc&) {
            // The reader decodes this frame itself.
            frame.pixels.reset();
        }
    });
}

void PixelBlockGiveBack::operator()(uint8_t* block) const noexcept
{
    GivePixelBlock(block, size);
}

TPredecodedFrames::Frame* TPredecodedFrames::Take(int64_t offset, int minCodeSize, int64_t count)
{
    while (m_next < m_frames.size() && m_frames[m_next].offset < offset)
        ++m_next;
    if (m_next == m_frames.size())
        return nullptr;
    Frame& frame = m_frames[m_next];
    if (frame.offset != offset || frame.minCodeSize != minCodeSize || frame.count != count || !frame.usable)
        return nullptr;
    ++m_next;
    return &frame;
}
