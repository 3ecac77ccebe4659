#include "System.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

std::optional<int32_t> MulDivChecked(int32_t number, int32_t numerator, int32_t denominator)
{
    if (denominator == 0)
        return std::nullopt;
    const int64_t product = static_cast<int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const uint64_t p = product < 0 ? static_cast<uint64_t>(-(product + 1)) + 1 : static_cast<uint64_t>(product);
    const uint64_t d = denominator < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(denominator))
                                       : static_cast<uint64_t>(denominator);
    const uint64_t q = (p + d / 2) / d;
    if (negative ? q > static_cast<uint64_t>(INT32_MAX) + 1 : q > static_cast<uint64_t>(INT32_MAX))
        return std::nullopt;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(q)) : static_cast<int32_t>(q);
}

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator)
{
    return MulDivChecked(number, numerator, denominator).value_or(-1);
}

std::string ExecutablePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExtractFilePath(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {
constexpr size_t HugePage = size_t(2) << 20;

size_t wholeHugePages(size_t bytes)
{
    return (std::max<size_t>(bytes, 1) + HugePage - 1) / HugePage * HugePage;
}
} // namespace

void* AllocateLookupTable(size_t bytes)
{
    if (bytes > SIZE_MAX - 2 * HugePage)
        return nullptr;
    const size_t size = wholeHugePages(bytes);
    // A huge page more is mapped, to cut out a stretch that starts on a huge page.
    void* mapped = mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto first = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t start = (first + HugePage - 1) & ~(HugePage - 1);
    if (start > first)
        munmap(mapped, start - first);
    if (const uintptr_t tail = first + HugePage - start)
        munmap(reinterpret_cast<void*>(start + size), tail);
#ifdef MADV_HUGEPAGE
    // Advice only: refused, the table has ordinary pages.
    madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(start);
}

void FreeLookupTable(void* table, size_t bytes)
{
    if (table)
        munmap(table, wholeHugePages(bytes));
}
