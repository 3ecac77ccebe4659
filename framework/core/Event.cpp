#include "Event.h"

void TEvent::SetEvent()
{
    {
        std::scoped_lock lock(m_mutex);
        m_set = true;
    }
    m_cv.notify_one();
}

void TEvent::ResetEvent()
{
    std::scoped_lock lock(m_mutex);
    m_set = false;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (!CurrentClock().WaitFor(lock, m_cv, timeoutMs, [this] { return m_set; }))
        return TWaitResult::wrTimeout;
    m_set = false;
    return TWaitResult::wrSignaled;
}
