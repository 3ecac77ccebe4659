#include "gif/RleEncoder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// The smallest k with k(k + 1) >= 2 count, looked up for the short counts most runs
// have: on frames of few colours a save asks for it every few pixels.
constexpr int SmallCounts = 2048;
constexpr auto smallestTriangle = [] {
    std::array<uint8_t, SmallCounts> smallest{};
    int k = 0;
    for (int count = 1; count < SmallCounts; ++count) {
        while (k * (k + 1) < 2 * count)
            ++k;
        smallest[size_t(count)] = static_cast<uint8_t>(k);
    }
    return smallest;
}();
} // namespace

int64_t TRLEEncoder::IntSqrt(int64_t x)
{
    if (x < 2)
        return x;
    int64_t r = 1;
    for (int64_t t = x; t != 0; t /= 4)
        r *= 2;
    for (;;) {
        const int64_t v = (r + x / r) / 2;
        if (v == r || v == r + 1)
            return r;
        r = v;
    }
}

int64_t TRLEEncoder::RunCost(int64_t count, int64_t n)
{
    int64_t cost = 0;
    const int64_t per = n * (n + 1) / 2;
    if (per > 0 && count >= per) {
        cost += (count / per) * n;
        count %= per;
    }
    if (count > 0 && count < SmallCounts) {
        cost += smallestTriangle[size_t(count)];
    } else if (count > 0) {
        // The smallest k with k(k + 1) >= 2 count, from a guess near it (no divisions:
        // this runs for every run of more than four pixels).
        int64_t k = static_cast<int64_t>(std::sqrt(static_cast<double>(2 * count)));
        while (k * (k + 1) >= 2 * count)
            --k;
        while (k * (k + 1) < 2 * count)
            ++k;
        cost += k;
    }
    return cost;
}

void TRLEEncoder::Clear()
{
    m_outBump = m_outBumpInit;
    m_outClear = m_outClearInit;
    m_outCount = 0;
    m_tableMax = 0;
    TGIFEncoder::Clear();
    m_bitsPerCode = m_initialBitsPerCode;
}

void TRLEEncoder::restoreOutClear()
{
    m_outClear = m_outClearInit;
    if (m_outCount >= m_outClear)
        Clear();
}

void TRLEEncoder::flushAfterClear(int64_t count)
{
    setOutClearMax();
    m_tablePixel = m_runPixel;
    int n = 1;
    while (count > 0) {
        if (n == 1) {
            m_tableMax = 1;
            emitPlain(m_runPixel);
            count -= 1;
        } else if (count >= n) {
            m_tableMax = n;
            emitPlain(m_baseCode + n - 2);
            count -= n;
        } else if (count == 1) {
            ++m_tableMax;
            emitPlain(m_runPixel);
            break;
        } else {
            ++m_tableMax;
            emitPlain(m_baseCode + static_cast<int>(count) - 2);
            break;
        }
        // A clear code forced by the last code starts the runs over.
        n = m_outCount == 0 ? 1 : n + 1;
    }
    restoreOutClear();
}

void TRLEEncoder::flushByRepeatOrClear(int64_t count)
{
    // Runs of up to 4 never cost fewer codes than their pixels; most runs in a photo
    // are that short.
    if (count > 4 && 1 + RunCost(count, m_maxCodes) < count) {
        Clear();
        flushAfterClear(count);
    } else {
        for (int64_t i = 0; i < count; ++i)
            emitPlain(m_runPixel);
    }
}

void TRLEEncoder::flushWithTable(int64_t count)
{
    int64_t reps = count / m_tableMax;
    int64_t left = count % m_tableMax;
    int64_t leftCodes = left > 0 ? 1 : 0;
    if (m_outCount + reps + leftCodes > m_maxCodes) {
        reps = m_maxCodes - m_outCount;
        left = count - reps * m_tableMax;
        leftCodes = 1 + RunCost(left, m_maxCodes);
    }
    if (1 + RunCost(count, m_maxCodes) < reps + leftCodes) {
        Clear();
        flushAfterClear(count);
        return;
    }
    setOutClearMax();
    for (int64_t i = 0; i < reps; ++i)
        emitPlain(m_baseCode + m_tableMax - 2);
    if (left > 0) {
        if (m_clearFlag)
            flushAfterClear(left);
        else if (left == 1)
            emitPlain(m_runPixel);
        else
            emitPlain(m_baseCode + static_cast<int>(left) - 2);
    }
    restoreOutClear();
}

void TRLEEncoder::flushRun(int64_t count)
{
    if (count == 1)
        emitPlain(m_runPixel);
    else if (m_clearFlag)
        flushAfterClear(count);
    else if (m_tableMax < 2 || m_tablePixel != m_runPixel)
        flushByRepeatOrClear(count);
    else
        flushWithTable(count);
}

void TRLEEncoder::DoCompress()
{
    m_outBumpInit = m_clearCode - 1;
    m_outClearInit = m_bitsPerPixel <= 3 ? 9 : m_clearCode - 2;
    m_maxCodes = 4095 - m_baseCode;
    Clear();
    m_runPixel = -1;
    int64_t run = 0;

    // A pixel unlike the next goes out as one plain code, the common case on photographs:
    // that step works on copies in locals (byte stores may alias members), and the
    // members are brought up to date around every other step.
    TGIFWriter& writer = *m_writer;
    const int maxColor = m_maxColor;
    uint64_t bitBuffer = 0;
    int bitCount = 0;
    int wordCount = 0;
    int bitsPerCode = 0;
    int outCount = 0;
    // The code count at which the width grows or a clear is due.
    int nextEvent = 0;
    auto load = [&] {
        bitBuffer = m_bitBuffer;
        bitCount = m_bitCount;
        wordCount = m_wordCount;
        bitsPerCode = m_bitsPerCode;
        outCount = m_outCount;
        nextEvent = std::min(m_outBump, m_outClear);
    };
    auto save = [&] {
        m_bitBuffer = bitBuffer;
        m_bitCount = bitCount;
        m_wordCount = wordCount;
        m_bitsPerCode = bitsPerCode;
        m_outCount = outCount;
    };
    auto emitLone = [&](int code) {
        m_clearFlag = false;
        bitBuffer |= static_cast<uint64_t>(code) << bitCount;
        bitCount += bitsPerCode;
        if (bitCount >= 32) {
            m_words[wordCount++] = static_cast<uint32_t>(bitBuffer);
            bitBuffer >>= 32;
            bitCount -= 32;
            if (wordCount == PackedWords) {
                putWords(writer, m_words, wordCount);
                wordCount = 0;
            }
        }
        if (++outCount >= nextEvent) {
            save();
            afterCode();
            load();
        }
    };

    load();
    SendingOrder order = sendingOrder();
    const uint8_t* pixel = nullptr;
    const uint8_t* end = nullptr;
    while (order.Next(pixel, end)) {
        while (pixel < end) {
            const int value = *pixel;
            if (value >= maxColor) {
                // What was coded before the failing pixel reaches the stream whole.
                save();
                flushWholeBytes();
                checked(*pixel);
            }
            if (value == m_runPixel) {
                const uint8_t* next = sameAhead(pixel + 1, end, static_cast<uint8_t>(value));
                run += next - pixel;
                pixel = next;
                continue;
            }
            if (run == 1) {
                emitLone(m_runPixel);
            } else if (run <= 4 && !m_clearFlag && (m_tableMax < 2 || m_tablePixel != m_runPixel)) {
                // A short run without a table of its pixel goes out pixel by pixel.
                for (int i = 0; i < run; ++i)
                    emitLone(m_runPixel);
            } else if (run > 1) {
                save();
                flushRun(run);
                load();
            }
            m_runPixel = value;
            run = 1;
            ++pixel;
        }
    }
    save();
    flushRun(run);
}
