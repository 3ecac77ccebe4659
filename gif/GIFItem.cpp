#include "gif/GIFItem.h"

#include "framework/core/List.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

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
    std::vector<std::unique_ptr<TGIFItem>> items = std::move(m_items);
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
