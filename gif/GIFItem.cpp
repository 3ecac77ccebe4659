#include "gif/GIFItem.h"

#include "framework/core/List.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/Poison.h"

namespace {

// Freed blocks by size, in steps of Granule bytes up to MaxCached, at most PerClass blocks
// of each size per thread; larger blocks and the rest go to the heap. Every block of a
// class is allocated at the class's full size, so any request of the class may take it.
constexpr size_t Granule = 16;
constexpr size_t MaxCached = 256;
constexpr int Classes = MaxCached / Granule;
constexpr int PerClass = 16;

// Trivially destructible, so that blocks freed after the thread's destructors ran (images
// in static storage, on the main thread) still find it: they then go to the heap.
struct ItemCache {
    void* blocks[Classes][PerClass];
    int counts[Classes];
    bool armed;
    bool closed;
};
thread_local ItemCache Cache;

// Gives the thread's blocks back when the thread ends.
struct ItemCacheRelease {
    ~ItemCacheRelease()
    {
        Cache.closed = true;
        for (int c = 0; c < Classes; ++c)
            while (Cache.counts[c] > 0) {
                void* block = Cache.blocks[c][--Cache.counts[c]];
                UnpoisonKeptBlock(block, (c + 1) * Granule);
                ::operator delete(block);
            }
    }
};
thread_local ItemCacheRelease Release;

int sizeClass(size_t size)
{
    return size <= MaxCached ? static_cast<int>((size + Granule - 1) / Granule) - 1 : -1;
}

} // namespace

void* TakeItemBlock(size_t size)
{
    const int c = sizeClass(size);
    if (c < 0)
        return ::operator new(size);
    if (Cache.counts[c] > 0) {
        void* block = Cache.blocks[c][--Cache.counts[c]];
        UnpoisonKeptBlock(block, size);
        return block;
    }
    return ::operator new(static_cast<size_t>(c + 1) * Granule);
}

void GiveItemBlock(void* block, size_t size) noexcept
{
    const int c = sizeClass(size);
    if (c < 0 || Cache.closed || Cache.counts[c] == PerClass) {
        ::operator delete(block);
        return;
    }
    if (!Cache.armed) {
        // Made on first use only: its guard would cost every allocation.
        static_cast<void>(Release);
        Cache.armed = true;
    }
    // A block used after it was freed still shows as a fault.
    PoisonKeptBlock(block, static_cast<size_t>(c + 1) * Granule);
    Cache.blocks[c][Cache.counts[c]++] = block;
}

void TGIFItem::Warn(int severity, const std::string& message)
{
    if (m_image)
        m_image->Warn(this, severity, message);
}

void TGIFItem::SaveFile(const std::string& fileName)
{
    TMemoryStream stream;
    SaveToStream(stream);
    stream.SaveToFile(fileName);
}

void TGIFItem::LoadFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

TGIFList::~TGIFList()
{
    Clear();
}

void TGIFList::Warn(int severity, const std::string& message)
{
    if (m_image)
        m_image->Warn(this, severity, message);
}

void TGIFList::SaveToStream(TStream& stream)
{
    for (auto& item : m_items)
        item->SaveToStream(stream);
}

void TGIFList::Delete(int index)
{
    itemAt(index);
    // Out of the list first, so that the item's destructor sees a consistent list.
    std::unique_ptr<TGIFItem> item = std::move(m_items[static_cast<size_t>(index)]);
    m_items.erase(m_items.begin() + index);
}

void TGIFList::Clear()
{
    // Taken out of the list as a whole, then freed first to last: deleting index 0
    // one at a time would cost quadratic time on a list of many small items.
    Items items = std::move(m_items);
    m_items.clear();
    for (auto& item : items)
        item.reset();
}

int TGIFList::addItem(std::unique_ptr<TGIFItem> item)
{
    // Most lists a file fills hold a few items: one allocation, not one per doubling.
    if (m_items.capacity() == 0)
        m_items.reserve(4);
    m_items.push_back(std::move(item));
    return Count() - 1;
}

TGIFItem& TGIFList::itemAt(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
    return *m_items[static_cast<size_t>(index)];
}

std::unique_ptr<TGIFItem> TGIFList::removeItem(const TGIFItem& item)
{
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->get() == &item) {
            std::unique_ptr<TGIFItem> out = std::move(*it);
            m_items.erase(it);
            return out;
        }
    }
    return nullptr;
}
