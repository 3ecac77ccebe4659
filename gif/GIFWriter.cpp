#include "gif/GIFWriter.h"

#include "gif/GIFException.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {
[[noreturn]] void refuse()
{
    throw Exception(std::string(GIFText::InvalidStreamOperation));
}
} // namespace

size_t TGIFStream::Read(void*, size_t)
{
    refuse();
}

size_t TGIFStream::Write(const void*, size_t)
{
    refuse();
}

int64_t TGIFStream::Seek(int64_t, TSeekOrigin)
{
    refuse();
}

TGIFWriter::~TGIFWriter()
{
    if (m_bufferIndex > 1) {
        try {
            FlushBuffer();
        } catch (const std::exception&) {}
    }
}

size_t TGIFWriter::Write(const void* buffer, size_t count)
{
    m_dirty = true;
    const auto* in = static_cast<const uint8_t*>(buffer);
    size_t left = count;
    while (left > 0) {
        const size_t n = std::min(left, static_cast<size_t>(256 - m_bufferIndex));
        std::memcpy(m_buffer + m_bufferIndex, in, n);
        m_bufferIndex += static_cast<int>(n);
        in += n;
        left -= n;
        if (m_bufferIndex == 256)
            FlushBuffer();
    }
    return count;
}

void TGIFWriter::FlushBuffer()
{
    m_buffer[0] = static_cast<uint8_t>(m_bufferIndex - 1);
    const int count = m_bufferIndex;
    m_bufferIndex = 1;
    m_dirty = false;
    m_stream.WriteBuffer(m_buffer, static_cast<size_t>(count));
}
