#include "AtomicFile.h"

#include "Exception.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

[[noreturn]] void fail(const std::string& path, int error)
{
    throw EFCreateError(Format(FrameworkText::FCreateError, {path}) + " (" + SysErrorMessage(error) + ")");
}

bool writeAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Removes the temporary file unless the rename consumed it.
struct TemporaryName {
    std::string path;
    bool armed = true;
    ~TemporaryName()
    {
        if (armed && !path.empty())
            ::unlink(path.c_str());
    }
};

// ".<name>.tmp-<pid>-<random>": the writer's process is part of the name so a later
// writer can tell a dead writer's leftover from a live writer's file.
std::string temporaryPrefix(const std::string& target)
{
    // Appended in place: GCC 12 warns falsely (-Wrestrict) on "." + string at -O2.
    std::string prefix = ".";
    prefix += baseNameOf(target);
    prefix += ".tmp-";
    return prefix;
}

bool processGone(const std::string& name, size_t prefixLength)
{
    const size_t dash = name.find('-', prefixLength);
    if (dash == std::string::npos || dash == prefixLength)
        return false;
    pid_t pid = 0;
    for (size_t i = prefixLength; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9' || pid > 10000000)
            return false;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes temporaries of dead writers of target. A live writer holds a lock on its
// temporary, so a file whose lock can be taken and whose process is gone is garbage
// (the lock guards against a process number seen from another namespace).
void removeStaleTemporaries(const std::string& folder, const std::string& target)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = temporaryPrefix(target);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0 || !processGone(name, prefix.size()))
            continue;
        const std::string path = folder + "/" + name;
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

} // namespace

FileLock::FileLock(const std::string& path)
{
    m_fd = ::open(directoryOf(ResolveSymlinks(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    std::string out;
    if (st.st_size > 0)
        out.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

std::string ResolveSymlinks(const std::string& path)
{
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0)
            return current;
        target.resize(static_cast<size_t>(n));
        current = (!target.empty() && target[0] == '/') ? target : directoryOf(current) + "/" + target;
    }
    return current;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, FileFlush flush)
{
    const std::string target = ResolveSymlinks(path);
    const std::string folder = directoryOf(target);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            fail(path, EISDIR);
        // Root could rename over a read-only file; the user's read-only flag still holds.
        if (!(old.st_mode & S_IWUSR) || ::access(target.c_str(), W_OK) != 0)
            fail(path, EACCES);
    }

    TemporaryName temporary;
    std::random_device seed;
    std::mt19937 random(seed());
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temporary.path = folder + "/" + temporaryPrefix(target) + std::to_string(::getpid()) + "-" +
                         std::to_string(random() % 1000000000u);
        raw = ::open(temporary.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) {
            const int error = errno;
            temporary.armed = false;
            fail(path, error);
        }
    }
    if (raw < 0) {
        temporary.armed = false;
        fail(path, EEXIST);
    }
    FileDescriptor fd(raw);
    (void)::flock(fd.get(), LOCK_EX); // marks the temporary as in use until closed

    if (!writeAll(fd.get(), bytes))
        fail(path, errno);
    if (exists) {
        // Only root may; others keep their own. (A cast to void does not silence fortified builds.)
        [[maybe_unused]] const int given = ::fchown(fd.get(), old.st_uid, old.st_gid);
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            fail(path, errno);
    }
    if (flush == FileFlush::Flushed && ::fsync(fd.get()) != 0)
        fail(path, errno);
    if (::close(fd.release()) != 0)
        fail(path, errno);
    if (::rename(temporary.path.c_str(), target.c_str()) != 0)
        fail(path, errno);
    temporary.armed = false;
    removeStaleTemporaries(folder, target);

    if (flush == FileFlush::Unflushed)
        return;
    // The rename itself is durable only once the folder is flushed.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        (void)::fsync(dir.get());
}
