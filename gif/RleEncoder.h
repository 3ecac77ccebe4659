#pragma once

#include "gif/Encoder.h"

#include <cstdint>

// Sends only run-length codes that any LZW decoder reads as ordinary LZW: after a clear
// code, the codes for runs of 1, 2, 3, ... copies of one pixel make the decoder's entry
// BaseCode + k - 2 hold k copies. No table is built: the encoder counts codes, knows
// which runs the decoder holds, grows the width when the decoder does and clears before
// the decoder's table could overflow.
class TRLEEncoder final : public TGIFEncoder {
public:
    TRLEEncoder() = default;

    // Codes needed to send count copies of one pixel from an empty table when run codes
    // up to length n can be built.
    static int64_t RunCost(int64_t count, int64_t n);
    static int64_t IntSqrt(int64_t x);

protected:
    void Clear() override;
    void DoCompress() override;

private:
    void emitPlain(int code)
    {
        m_clearFlag = false;
        outputBits(code);
        ++m_outCount;
        afterCode();
    }
    // Grows the width or clears when the codes sent so far call for it.
    void afterCode()
    {
        if (m_outCount >= m_outBump) {
            ++m_bitsPerCode;
            m_outBump += 1 << (m_bitsPerCode - 1);
        }
        if (m_outCount >= m_outClear)
            Clear();
    }
    void setOutClearMax() { m_outClear = m_maxCodes; }
    void restoreOutClear();
    void flushAfterClear(int64_t count);
    void flushByRepeatOrClear(int64_t count);
    void flushWithTable(int64_t count);
    void flushRun(int64_t count);

    int m_maxCodes = 0;
    int m_outBumpInit = 0;
    int m_outClearInit = 0;
    int m_runPixel = -1;
    int m_tableMax = 0;
    int m_tablePixel = 0;
    int m_outCount = 0;
    int m_outClear = 0;
    int m_outBump = 0;
};
