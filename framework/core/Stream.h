#pragma once

#include "Object.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream. Derived streams replace Read, Write and Seek; everything else is
// built on those three.
class TStream : public TObject {
    CARNELO_CLASS(TStream, TObject)
public:
    // Reads up to count bytes; returns how many were read (fewer at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Returns the new position. Seeking before the start raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return m_direct ? static_cast<int64_t>(m_cursor) : Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position)
    {
        if (m_direct && position >= 0)
            m_cursor = static_cast<size_t>(position);
        else
            Seek(position, TSeekOrigin::soBeginning);
    }
    // The next byte, or -1 at the end.
    int ReadByte()
    {
        if (m_direct)
            return m_cursor < m_directSize ? m_direct[m_cursor++] : -1;
        uint8_t value;
        return Read(&value, 1) == 1 ? value : -1;
    }
    // The bytes of a stream over memory from its position on (null for other streams),
    // for readers that take many small pieces; SkipDirect moves past what they took (at
    // most available).
    const uint8_t* DirectBytes(size_t& available) const
    {
        if (!m_direct) {
            available = 0;
            return nullptr;
        }
        const size_t at = m_cursor < m_directSize ? m_cursor : m_directSize;
        available = m_directSize - at;
        return m_direct + at;
    }
    void SkipDirect(size_t count) { m_cursor += count; }
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    // Read all or raise EReadError; write all or raise EWriteError.
    void ReadBuffer(void* buffer, size_t count);
    void WriteBuffer(const void* buffer, size_t count);
    // Copies count bytes from source (all of it from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);

protected:
    // A stream whose bytes stay in memory and unchanged while it is read shows them here
    // and keeps its position in m_cursor: parsers read single bytes without a call.
    void ShowDirect(const uint8_t* bytes, size_t size)
    {
        m_direct = bytes;
        m_directSize = size;
    }
    size_t m_cursor = 0;

private:
    const uint8_t* m_direct = nullptr;
    size_t m_directSize = 0;
};

// The bytes of a memory stream, valid until it next grows: a span that also converts to,
// and compares with, a byte vector.
class TStreamBytes : public std::span<const uint8_t> {
public:
    using std::span<const uint8_t>::span;
    operator std::vector<uint8_t>() const { return {begin(), end()}; }
    friend bool operator==(const TStreamBytes& a, const TStreamBytes& b) { return std::ranges::equal(a, b); }
    friend bool operator==(const TStreamBytes& a, const std::vector<uint8_t>& b) { return std::ranges::equal(a, b); }
};

class TMemoryStream : public TStream {
    CARNELO_CLASS(TMemoryStream, TStream)
public:
    TMemoryStream() = default;
    explicit TMemoryStream(const std::vector<uint8_t>& bytes);

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_size); }
    void SetSize(int64_t size) override;

    uint8_t* Memory() { return m_memory.get(); }
    const uint8_t* Memory() const { return m_memory.get(); }
    // Valid until the stream next grows.
    TStreamBytes Bytes() const { return {m_memory.get(), m_size}; }
    // The bytes, copied out; the stream is left empty.
    std::vector<uint8_t> TakeBytes();
    void Clear();
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& destination) const;
    void LoadFromFile(const std::string& path);
    // Replaces the file atomically.
    void SaveToFile(const std::string& path) const;

private:
    // Room for at least capacity bytes, the block grown in place where the allocator
    // can: a save's output grows sub-block by sub-block, and growing by allocating a
    // new block, copying and freeing the old one made fresh pages fault in at every
    // doubling, which cost more than coding the pixels.
    void reserve(size_t capacity);

    struct FreeDeleter {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, FreeDeleter> m_memory;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_position = 0;
};

// Reads bytes the caller keeps alive, without copying them. Writing raises EWriteError.
class TReadOnlyMemoryStream : public TStream {
    CARNELO_CLASS(TReadOnlyMemoryStream, TStream)
public:
    TReadOnlyMemoryStream(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size)
    {
        ShowDirect(m_data, m_size);
    }

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_size); }

private:
    const uint8_t* m_data;
    size_t m_size;
};

enum TFileMode : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyWrite = 0x0020,
    fmCreate = 0xFF00,
};

// A file as a stream. fmCreate makes a new (empty) file; fmShareDenyWrite takes a shared
// advisory lock (flock), so cooperating writers that lock exclusively are kept out while
// the file is read. Linux has no mandatory sharing modes.
class TFileStream : public TStream {
    CARNELO_CLASS(TFileStream, TStream)
public:
    // Raises EFOpenError or EFCreateError with the path and the system's reason.
    TFileStream(const std::string& path, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    const std::string& FileName() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};
