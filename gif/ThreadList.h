#pragma once

#include "framework/core/List.h"
#include "framework/core/Object.h"

#include <mutex>

// A lock-protected list of object references (the items are not owned). Longer work on
// the list holds a Locked guard. The lock is re-entrant: drawing holds it while it stops
// one painter and starts another, and both take it again.
template <typename T = TObject>
class TThreadList {
public:
    // Appends the item unless it is already in the list.
    void Add(T* item)
    {
        std::scoped_lock lock(m_mutex);
        if (m_list.IndexOf(item) < 0)
            m_list.Add(item);
    }
    void Remove(T* item)
    {
        std::scoped_lock lock(m_mutex);
        m_list.Remove(item);
    }

    // The list for as long as the guard lives.
    class Locked {
    public:
        explicit Locked(TThreadList& owner) : m_lock(owner.m_mutex), m_list(owner.m_list) {}
        TList<T*>& List() const { return m_list; }
        TList<T*>* operator->() const { return &m_list; }

    private:
        std::scoped_lock<std::recursive_mutex> m_lock;
        TList<T*>& m_list;
    };
    Locked Lock() { return Locked(*this); }

private:
    std::recursive_mutex m_mutex;
    TList<T*> m_list;
};
