#include "framework/graphics/Clipboard.h"

#include "framework/core/TextCompare.h"

namespace {
struct FormatRegistry {
    std::mutex mutex;
    std::vector<std::string> names; // format 0xC000 + i
};

FormatRegistry& formats()
{
    static FormatRegistry registry;
    return registry;
}

constexpr uint32_t kFirstRegisteredFormat = 0xC000;
} // namespace

uint32_t RegisterClipboardFormat(std::string_view name)
{
    FormatRegistry& registry = formats();
    std::scoped_lock lock(registry.mutex);
    for (size_t i = 0; i < registry.names.size(); ++i)
        if (SameText(registry.names[i], name))
            return kFirstRegisteredFormat + static_cast<uint32_t>(i);
    registry.names.emplace_back(name);
    return kFirstRegisteredFormat + static_cast<uint32_t>(registry.names.size() - 1);
}

std::optional<std::string> ClipboardFormatName(uint32_t format)
{
    FormatRegistry& registry = formats();
    std::scoped_lock lock(registry.mutex);
    if (format < kFirstRegisteredFormat || format - kFirstRegisteredFormat >= registry.names.size())
        return std::nullopt;
    return registry.names[format - kFirstRegisteredFormat];
}

void TClipboard::Clear()
{
    {
        std::scoped_lock lock(m_mutex);
        m_data.clear();
    }
    if (OnChange)
        OnChange();
}

void TClipboard::SetData(uint32_t format, TClipboardData data)
{
    {
        std::scoped_lock lock(m_mutex);
        m_data[format] = std::move(data);
    }
    if (OnChange)
        OnChange();
}

std::optional<TClipboardData> TClipboard::Data(uint32_t format) const
{
    std::scoped_lock lock(m_mutex);
    const auto it = m_data.find(format);
    if (it == m_data.end())
        return std::nullopt;
    return it->second;
}

bool TClipboard::HasFormat(uint32_t format) const
{
    std::scoped_lock lock(m_mutex);
    return m_data.count(format) != 0;
}

std::vector<uint32_t> TClipboard::Formats() const
{
    std::scoped_lock lock(m_mutex);
    std::vector<uint32_t> result;
    for (const auto& [format, data] : m_data)
        result.push_back(format);
    return result;
}

TClipboard& Clipboard()
{
    static TClipboard clipboard;
    return clipboard;
}
