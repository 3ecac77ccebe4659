#include "Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<Clock*> g_clock{nullptr};

SystemClock& systemClock()
{
    static SystemClock clock;
    return clock;
}
} // namespace

void Clock::Sleep(uint32_t milliseconds)
{
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    WaitFor(lock, cv, milliseconds, [] { return false; });
}

uint64_t SystemClock::Milliseconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool SystemClock::WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                          const std::function<bool()>& ready)
{
    if (timeoutMs == INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

uint64_t FakeClock::Milliseconds()
{
    std::scoped_lock lock(m_mutex);
    return m_now;
}

bool FakeClock::WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                        const std::function<bool()>& ready)
{
    const bool readyNow = ready();
    std::multiset<uint64_t>::iterator registered;
    uint64_t deadline;
    {
        std::scoped_lock guard(m_mutex);
        deadline = timeoutMs == INFINITE ? UINT64_MAX : m_now + timeoutMs;
        if (m_autoAdvance && deadline != UINT64_MAX && !readyNow) {
            m_now = std::max(m_now, deadline);
            return false;
        }
        ++m_waiters;
        registered = m_deadlines.insert(deadline);
    }
    bool result = false;
    for (;;) {
        if (ready()) {
            result = true;
            break;
        }
        {
            std::scoped_lock guard(m_mutex);
            if (m_now >= deadline)
                break;
            ++m_looks;
        }
        // Advance cannot reach this cv, so poll in short real steps.
        cv.wait_for(lock, std::chrono::milliseconds(1));
    }
    std::scoped_lock guard(m_mutex);
    --m_waiters;
    m_deadlines.erase(registered);
    return result;
}

void FakeClock::Advance(uint64_t milliseconds)
{
    std::scoped_lock lock(m_mutex);
    m_now += milliseconds;
}

int FakeClock::Waiters()
{
    std::scoped_lock lock(m_mutex);
    return m_waiters;
}

uint64_t FakeClock::Looks()
{
    std::scoped_lock lock(m_mutex);
    return m_looks;
}

std::optional<uint64_t> FakeClock::NextDeadline()
{
    std::scoped_lock lock(m_mutex);
    if (m_deadlines.empty() || *m_deadlines.begin() == UINT64_MAX)
        return std::nullopt;
    return *m_deadlines.begin();
}

bool FakeClock::AdvanceToNextDeadline()
{
    std::scoped_lock lock(m_mutex);
    if (m_deadlines.empty() || *m_deadlines.begin() == UINT64_MAX)
        return false;
    m_now = std::max(m_now, *m_deadlines.begin());
    return true;
}

void FakeClock::SetAutoAdvance(bool value)
{
    std::scoped_lock lock(m_mutex);
    m_autoAdvance = value;
}

Clock& CurrentClock()
{
    Clock* clock = g_clock.load();
    return clock ? *clock : systemClock();
}

void SetCurrentClock(Clock* clock)
{
    g_clock.store(clock);
}
