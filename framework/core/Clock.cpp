#include "Clock.h"

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
    const uint64_t deadline = timeoutMs == INFINITE ? UINT64_MAX : Milliseconds() + timeoutMs;
    {
        std::scoped_lock guard(m_mutex);
        ++m_waiters;
    }
    bool result = false;
    for (;;) {
        if (ready()) {
            result = true;
            break;
        }
        if (Milliseconds() >= deadline)
            break;
        // Advance cannot reach this cv, so poll in short real steps.
        cv.wait_for(lock, std::chrono::milliseconds(1));
    }
    std::scoped_lock guard(m_mutex);
    --m_waiters;
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

Clock& CurrentClock()
{
    Clock* clock = g_clock.load();
    return clock ? *clock : systemClock();
}

void SetCurrentClock(Clock* clock)
{
    g_clock.store(clock);
}
