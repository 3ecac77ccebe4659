#pragma once

#include "Exception.h"

#include <algorithm>
#include <string>
#include <vector>

// An ordered list of items (usually pointers, never owned).
template <typename T>
class TList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    // Returns the new item's index.
    int Add(T item)
    {
        m_items.push_back(std::move(item));
        return Count() - 1;
    }
    void Insert(int index, T item)
    {
        if (index < 0 || index > Count())
            throwIndex(index);
        m_items.insert(m_items.begin() + index, std::move(item));
    }
    void Delete(int index)
    {
        checkIndex(index);
        m_items.erase(m_items.begin() + index);
    }
    // Returns the item's former index, or -1 when it was not in the list.
    int Remove(const T& item)
    {
        const int index = IndexOf(item);
        if (index >= 0)
            m_items.erase(m_items.begin() + index);
        return index;
    }
    int IndexOf(const T& item) const
    {
        auto it = std::find(m_items.begin(), m_items.end(), item);
        return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
    }
    const T& operator[](int index) const
    {
        checkIndex(index);
        return m_items[static_cast<size_t>(index)];
    }
    T& operator[](int index)
    {
        checkIndex(index);
        return m_items[static_cast<size_t>(index)];
    }
    void Clear() { m_items.clear(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    void checkIndex(int index) const
    {
        if (index < 0 || index >= Count())
            throwIndex(index);
    }
    [[noreturn]] static void throwIndex(int index)
    {
        throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
    }

    std::vector<T> m_items;
};
