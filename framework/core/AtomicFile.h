#pragma once

#include <optional>
#include <string>
#include <string_view>

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file with bytes so that a crash or failure at any point leaves either
// the old file complete or the new one: the bytes go to a temporary file in the same
// folder, which is flushed and renamed over the old one. A temporary left by a writer
// that died (its process gone, its lock released) is removed by the next successful
// write of the same file. The file keeps its permissions;
// a symbolic link keeps pointing at its target, which is replaced. A file without its
// owner's write permission is never replaced, whoever runs the program.
// Raises EFCreateError naming the path and the system's reason.
//
// Unflushed skips both flushes to disk: the replacement stays all or nothing for any
// failure of the process, but a power loss may keep the old file. It suits tools writing
// files they can make again, where two flushes cost more than the whole job.
enum class FileFlush { Flushed, Unflushed };
void WriteFileAtomically(const std::string& path, std::string_view bytes, FileFlush flush = FileFlush::Flushed);

// Where a write to path really lands: symbolic links followed to their final target.
std::string ResolveSymlinks(const std::string& path);

// Holds an exclusive advisory lock (flock) on the folder holding path for its lifetime, so
// cooperating processes can read, change and rewrite the file in turn. Locking the folder
// leaves no lock file behind and survives the renames that replace the file. Where the
// folder cannot be locked the lock holds nothing (Held is false).
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
