#pragma once

#include "framework/core/Object.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class TGIFImage;
class TStream;

// A per-thread cache of freed small blocks for the objects a load makes many of: a file
// of small frames makes and frees a few items per frame, and the C library's allocator
// took a fifth of such a load. Blocks of up to 256 bytes are kept by size, a few of each.
void* TakeItemBlock(size_t size);
void GiveItemBlock(void* block, size_t size) noexcept;

template <typename T>
struct TItemBlockAllocator {
    using value_type = T;
    TItemBlockAllocator() = default;
    template <typename U>
    TItemBlockAllocator(const TItemBlockAllocator<U>&) noexcept
    {}
    T* allocate(size_t n) { return static_cast<T*>(TakeItemBlock(n * sizeof(T))); }
    void deallocate(T* block, size_t n) noexcept { GiveItemBlock(block, n * sizeof(T)); }
    friend bool operator==(const TItemBlockAllocator&, const TItemBlockAllocator&) { return true; }
};

// The lowest GIF version an object needs to be written.
enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

// One part of a GIF stream that reads and writes itself.
class TGIFItem : public TPersistent {
    CARNELO_CLASS(TGIFItem, TPersistent)
public:
    // image: the owning image, never owned here; may be null.
    explicit TGIFItem(TGIFImage* image) : m_image(image) {}
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    static void* operator new(size_t size) { return TakeItemBlock(size); }
    static void operator delete(void* block, size_t size) noexcept { GiveItemBlock(block, size); }

    TGIFImage* Image() const { return m_image; }
    virtual TGIFVersion RequiredVersion() const { return gv87a; }
    // Hands the message to the owning image; an item without image drops it.
    virtual void Warn(int severity, const std::string& message);
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
    // Replaces the file atomically: a failing save leaves the old file as it was.
    void SaveFile(const std::string& fileName);
    void LoadFile(const std::string& fileName);

protected:
    friend class TGIFImage;
    TGIFImage* m_image;
};

// An owned list of items. The typed lists (frames, extensions) add and hand out their
// own kind; the base keeps ownership and order.
class TGIFList : public TPersistent {
    CARNELO_CLASS(TGIFList, TPersistent)
public:
    explicit TGIFList(TGIFImage* image) : m_image(image) {}
    ~TGIFList() override;
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    TGIFImage* Image() const { return m_image; }
    virtual void Warn(int severity, const std::string& message);
    // Every item in index order.
    virtual void SaveToStream(TStream& stream);

    int Count() const { return static_cast<int>(m_items.size()); }
    // Frees the item. Raises EListError for an index outside the list.
    void Delete(int index);
    // Frees every item, the first one first.
    void Clear();

protected:
    int addItem(std::unique_ptr<TGIFItem> item);
    TGIFItem& itemAt(int index) const;
    // Takes the item out without freeing it; null when it is not in the list.
    std::unique_ptr<TGIFItem> removeItem(const TGIFItem& item);

private:
    friend class TGIFImage;
    using Items = std::vector<std::unique_ptr<TGIFItem>, TItemBlockAllocator<std::unique_ptr<TGIFItem>>>;
    Items m_items;
    TGIFImage* m_image;
};
