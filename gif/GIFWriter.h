#pragma once

#include "framework/core/Stream.h"

#include <cstdint>
#include <cstring>

// A write-only sink that cuts what it is given into GIF data sub-blocks on another
// stream. The plain sink refuses every operation with Exception "Invalid stream operation".
class TGIFStream : public TStream {
    CARNELO_CLASS(TGIFStream, TStream)
public:
    // stream: the destination, never owned here.
    explicit TGIFStream(TStream& stream) : m_stream(stream) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

protected:
    TStream& m_stream;
    // Byte 0 receives the sub-block length, bytes 1 to 255 the data.
    uint8_t m_buffer[256] = {};
    int m_bufferIndex = 1;
};

// Accepts writes: every full sub-block holds 255 bytes and goes to the destination in
// one write; only the last one is shorter. It never writes an empty sub-block.
class TGIFWriter : public TGIFStream {
    CARNELO_CLASS(TGIFWriter, TGIFStream)
public:
    explicit TGIFWriter(TStream& stream) : TGIFStream(stream) {}
    // Flushes what is still buffered; a failing destination is then ignored, since a
    // writer is only dropped this way while another failure is on its way out.
    ~TGIFWriter() override;

    size_t Write(const void* buffer, size_t count) override;
    // Writes the buffered bytes as one sub-block. Raises EWriteError when the
    // destination takes fewer.
    void FlushBuffer();
    bool Dirty() const { return m_dirty; }
    // Bytes waiting for the next sub-block.
    int Buffered() const { return m_bufferIndex - 1; }

    void PutByte(uint8_t value)
    {
        m_dirty = true;
        m_buffer[m_bufferIndex++] = value;
        if (m_bufferIndex == 256)
            FlushBuffer();
    }

    // Four bytes, least significant first.
    void PutWord(uint32_t value)
    {
        if (m_bufferIndex <= 252) {
            m_dirty = true;
            std::memcpy(m_buffer + m_bufferIndex, &value, 4);
            m_bufferIndex += 4;
            if (m_bufferIndex == 256)
                FlushBuffer();
            return;
        }
        for (int i = 0; i < 4; ++i, value >>= 8)
            PutByte(static_cast<uint8_t>(value));
    }

private:
    bool m_dirty = false;
};
