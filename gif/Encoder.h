#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "gif/GIFWriter.h"

class TStream;

// Turns one frame's pixels into GIF image data: the LZW minimum code size byte, the
// codes packed least significant bit first into data sub-blocks, and the terminator.
// An encoder lives for one Compress call.
class TGIFEncoder {
public:
    virtual ~TGIFEncoder();

    // bitsPerPixel is raised to 2 when smaller; every pixel must be below maxColor,
    // else GIFException "Color not in color table" (the sub-blocks written so far reach
    // the stream, the terminator does not). Pixels are width x height bytes, row by
    // row; interlaced frames are sent in the four-pass row order.
    void Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlaced, const uint8_t* data,
                  int maxColor);

    // Given the owning image's warning handler; no step warns today.
    std::function<void(int severity, const std::string& message)> OnWarn;

protected:
    TGIFEncoder() = default;

    virtual void Output(int code);
    // Sends the clear code at the width in force, then lets Output reset the width.
    virtual void Clear();
    virtual void DoCompress() = 0;

    // Whole 32-bit words of codes are gathered in an array of this many and handed to
    // the writer a block at a time: the writer's byte stores may alias anything, so
    // storing into it word by word made a coding loop reload its state after each word.
    static constexpr int PackedWords = 64;
    // Packs a code at the current width; the end code also flushes the last bits.
    void outputBits(int code)
    {
        m_bitBuffer |= static_cast<uint64_t>(code) << m_bitCount;
        m_bitCount += m_bitsPerCode;
        if (m_bitCount >= 32) {
            m_words[m_wordCount++] = static_cast<uint32_t>(m_bitBuffer);
            m_bitBuffer >>= 32;
            m_bitCount -= 32;
            if (m_wordCount == PackedWords)
                flushWords();
        }
        if (code == m_eoiCode)
            flushWholeBytes(true);
    }
    // Hands count words to the writer, least significant byte first.
    static void putWords(TGIFWriter& writer, const uint32_t* words, int count);
    // Hands the gathered words to the writer.
    void flushWords()
    {
        putWords(*m_writer, m_words, m_wordCount);
        m_wordCount = 0;
    }
    // Hands the gathered words and every whole byte packed so far to the writer, and
    // with partial, the last bits too.
    void flushWholeBytes(bool partial = false)
    {
        flushWords();
        while (m_bitCount >= (partial ? 1 : 8))
            putByte();
    }
    // The stretches of the frame's pixels in sending order, one at a time, for a loop
    // that must keep its state in registers: the whole frame, or each row in the
    // four-pass order of an interlaced frame (rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...;
    // 1, 3, ...).
    class SendingOrder {
    public:
        SendingOrder(const uint8_t* data, int width, int height, bool interlaced)
            : m_data(data), m_width(width), m_height(height), m_interlaced(interlaced)
        {}
        bool Next(const uint8_t*& begin, const uint8_t*& end)
        {
            static constexpr int start[4] = {0, 4, 2, 1};
            static constexpr int step[4] = {8, 8, 4, 2};
            if (!m_interlaced) {
                if (m_pass++ > 0)
                    return false;
                begin = m_data;
                end = m_data + int64_t(m_width) * m_height;
                return true;
            }
            while (m_pass < 4) {
                if (m_row < m_height) {
                    begin = m_data + int64_t(m_row) * m_width;
                    end = begin + m_width;
                    m_row += step[m_pass];
                    return true;
                }
                if (++m_pass < 4)
                    m_row = start[m_pass];
            }
            return false;
        }

    private:
        const uint8_t* m_data;
        int m_width;
        int m_height;
        bool m_interlaced;
        int m_pass = 0;
        int m_row = 0;
    };
    SendingOrder sendingOrder() const { return SendingOrder(m_data, m_width, m_height, m_interlaced); }
    // The first of [from, stop) that is not pixel, or stop; flat areas are compared
    // eight pixels at a time.
    static const uint8_t* sameAhead(const uint8_t* from, const uint8_t* stop, uint8_t pixel)
    {
        if constexpr (std::endian::native == std::endian::little) {
            const uint64_t pattern = pixel * 0x0101010101010101ull;
            for (; stop - from >= 8; from += 8) {
                uint64_t word;
                std::memcpy(&word, from, 8);
                if (const uint64_t differ = word ^ pattern)
                    return from + std::countr_zero(differ) / 8;
            }
        }
        while (from < stop && *from == pixel)
            ++from;
        return from;
    }
    // Every pixel must be below the colour count.
    uint8_t checked(uint8_t pixel) const
    {
        if (pixel >= m_maxColor)
            raiseColorNotInTable();
        return pixel;
    }

    int m_maxColor = 0;
    int m_bitsPerPixel = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_interlaced = false;
    const uint8_t* m_data = nullptr;
    TGIFWriter* m_writer = nullptr;
    uint64_t m_bitBuffer = 0;
    int m_bitCount = 0;
    uint32_t m_words[PackedWords];
    int m_wordCount = 0;
    bool m_clearFlag = false;
    int m_bitsPerCode = 0;
    int m_initialBitsPerCode = 0;
    int m_maxCode = 0;
    int m_clearCode = 0;
    int m_eoiCode = 0;
    int m_baseCode = 0;

private:
    [[noreturn]] static void raiseColorNotInTable();
    void putByte()
    {
        m_writer->PutByte(static_cast<uint8_t>(m_bitBuffer));
        m_bitBuffer >>= 8;
        m_bitCount -= 8;
    }
};

// Selects the encoder for a compression method: RLE for cmRLE, LZW for anything else.
std::unique_ptr<TGIFEncoder> MakeEncoder(int compressionMethod);
