#include "Exception.h"

#include <cerrno>
#include <cstring>

EOutOfMemory::EOutOfMemory() : Exception(std::string(FrameworkText::OutOfMemory)) {}

namespace {
std::string lastErrorText()
{
    const int error = errno;
    return error != 0 ? SysErrorMessage(error) : std::string(FrameworkText::OutOfResources);
}
} // namespace

EOutOfResources::EOutOfResources() : Exception(lastErrorText()) {}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args)
{
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                if (next != args.end())
                    out += *next++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::string SysErrorMessage(int error)
{
    char buffer[256];
    // The GNU variant may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string(FrameworkText::OutOfResources);
}
