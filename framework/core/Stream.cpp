#include "Stream.h"

#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
int64_t resolveSeek(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size)
{
    int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning: base = 0; break;
    case TSeekOrigin::soCurrent: base = position; break;
    case TSeekOrigin::soEnd: base = size; break;
    }
    const int64_t target = base + offset;
    if (target < 0)
        throw EStreamError("Position de flux incorrecte");
    return target;
}
// Reads or writes through a system call until count bytes moved, the end, or an error.
template <typename Byte, typename Transfer>
size_t transferAll(Byte* data, size_t count, Transfer transfer)
{
    size_t total = 0;
    while (total < count) {
        const ssize_t n = transfer(data + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<size_t>(n);
    }
    return total;
}

// Copies what is left of an in-memory byte range from position on.
size_t readMemory(const uint8_t* data, size_t size, size_t& position, void* buffer, size_t count)
{
    if (position >= size)
        return 0;
    const size_t n = std::min(count, size - position);
    // Parsers read many single bytes: those skip the library call.
    if (n == 1)
        *static_cast<uint8_t*>(buffer) = data[position];
    else
        std::memcpy(buffer, data + position, n);
    position += n;
    return n;
}

} // namespace

int64_t TStream::Size()
{
    const int64_t position = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(int64_t)
{
    throw EStreamError("Ce flux ne peut pas changer de taille");
}

void TStream::ReadBuffer(void* buffer, size_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const size_t n = Read(out, count);
        if (n == 0)
            throw EReadError(std::string(FrameworkText::ReadError));
        out += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, size_t count)
{
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        const size_t n = Write(in, count);
        if (n == 0)
            throw EWriteError(std::string(FrameworkText::WriteError));
        in += n;
        count -= n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    uint8_t buffer[64 * 1024];
    int64_t left = count;
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, sizeof buffer));
        source.ReadBuffer(buffer, n);
        WriteBuffer(buffer, n);
        left -= static_cast<int64_t>(n);
    }
    return count;
}

TMemoryStream::TMemoryStream(const std::vector<uint8_t>& bytes)
{
    Write(bytes.data(), bytes.size());
    m_position = 0;
}

void TMemoryStream::FreeDeleter::operator()(uint8_t* p) const
{
    std::free(p);
}

void TMemoryStream::reserve(size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    void* grown = std::realloc(m_memory.get(), capacity);
    if (!grown)
        throw EOutOfMemory();
    (void)m_memory.release();
    m_memory.reset(static_cast<uint8_t*>(grown));
    m_capacity = capacity;
}

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    return readMemory(m_memory.get(), m_size, m_position, buffer, count);
}

size_t TMemoryStream::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return 0;
    if (count > SIZE_MAX - m_position)
        throw EOutOfMemory();
    const size_t end = m_position + count;
    if (end > m_capacity) {
        // A first block of some size: streams written a few bytes at a time (file
        // headers) would otherwise grow by a few bytes at each of their first writes.
        constexpr size_t FirstBlock = 4096;
        reserve(std::max({end, FirstBlock, m_capacity <= SIZE_MAX / 2 ? 2 * m_capacity : SIZE_MAX}));
    }
    // Writing past the end leaves zeros in between.
    if (m_position > m_size)
        std::memset(m_memory.get() + m_size, 0, m_position - m_size);
    std::memcpy(m_memory.get() + m_position, buffer, count);
    m_size = std::max(m_size, end);
    m_position = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    m_position = static_cast<size_t>(resolveSeek(offset, origin, static_cast<int64_t>(m_position), Size()));
    return static_cast<int64_t>(m_position);
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        throw EStreamError("Taille de flux incorrecte");
    const auto bytes = static_cast<size_t>(size);
    if (bytes > m_size) {
        reserve(bytes);
        std::memset(m_memory.get() + m_size, 0, bytes - m_size);
    }
    m_size = bytes;
    m_position = std::min(m_position, m_size);
}

std::vector<uint8_t> TMemoryStream::TakeBytes()
{
    std::vector<uint8_t> out(m_memory.get(), m_memory.get() + m_size);
    Clear();
    return out;
}

void TMemoryStream::Clear()
{
    m_memory.reset();
    m_size = 0;
    m_capacity = 0;
    m_position = 0;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const int64_t size = source.Size();
    SetSize(size);
    if (size > 0)
        source.ReadBuffer(m_memory.get(), static_cast<size_t>(size));
    m_position = 0;
}

void TMemoryStream::SaveToStream(TStream& destination) const
{
    if (m_size > 0)
        destination.WriteBuffer(m_memory.get(), m_size);
}

void TMemoryStream::LoadFromFile(const std::string& path)
{
    TFileStream file(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& path) const
{
    WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(m_memory.get()), m_size));
}

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count)
{
    return readMemory(m_data, m_size, m_cursor, buffer, count);
}

size_t TReadOnlyMemoryStream::Write(const void*, size_t)
{
    throw EWriteError(std::string(FrameworkText::WriteError));
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    m_cursor = static_cast<size_t>(resolveSeek(offset, origin, static_cast<int64_t>(m_cursor), Size()));
    return static_cast<int64_t>(m_cursor);
}

TFileStream::TFileStream(const std::string& path, unsigned mode) : m_path(path)
{
    if (mode == fmCreate) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0)
            throw EFCreateError(Format(FrameworkText::FCreateError, {path}) + " (" + SysErrorMessage(errno) + ")");
        return;
    }
    int flags = O_RDONLY;
    if ((mode & 3) == fmOpenWrite)
        flags = O_WRONLY;
    else if ((mode & 3) == fmOpenReadWrite)
        flags = O_RDWR;
    m_fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (m_fd < 0)
        throw EFOpenError(Format(FrameworkText::FOpenError, {path}) + " (" + SysErrorMessage(errno) + ")");
    if ((mode & fmShareDenyWrite) && ::flock(m_fd, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        throw EFOpenError(Format(FrameworkText::FOpenError, {path}) + " (" + SysErrorMessage(error) + ")");
    }
}

TFileStream::~TFileStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    return transferAll(static_cast<uint8_t*>(buffer), count,
                       [this](uint8_t* p, size_t n) { return ::read(m_fd, p, n); });
}

size_t TFileStream::Write(const void* buffer, size_t count)
{
    return transferAll(static_cast<const uint8_t*>(buffer), count,
                       [this](const uint8_t* p, size_t n) { return ::write(m_fd, p, n); });
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    const off_t result = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (result < 0)
        throw EStreamError("Position de flux incorrecte");
    return static_cast<int64_t>(result);
}

void TFileStream::SetSize(int64_t size)
{
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        throw EWriteError(std::string(FrameworkText::WriteError));
    if (Position() > size)
        Seek(size, TSeekOrigin::soBeginning);
}
