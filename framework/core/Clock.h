#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;

// The millisecond clock and every timed wait go through this, so tests can run
// time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start.
    virtual uint64_t Milliseconds() = 0;
    // With lock held on entry, waits on cv until ready() holds or timeoutMs (INFINITE:
    // no limit) have passed on this clock. Returns ready().
    virtual bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                         const std::function<bool()>& ready) = 0;
    virtual void Sleep(uint32_t milliseconds);
};

class SystemClock final : public Clock {
public:
    uint64_t Milliseconds() override;
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                 const std::function<bool()>& ready) override;
};

// Time moves only when Advance is called; waits end when their time has come.
class FakeClock final : public Clock {
public:
    uint64_t Milliseconds() override;
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                 const std::function<bool()>& ready) override;
    void Advance(uint64_t milliseconds);
    // Waiters currently blocked on this clock (for tests that step a sleeper).
    int Waiters();
    // How often a waiter found its time not yet come and went on waiting; once this grows
    // after an Advance, some waiter has judged the new time.
    uint64_t Looks();
    // The earliest time a current waiter's time-out ends; nothing when every waiter
    // waits without limit or none waits.
    std::optional<uint64_t> NextDeadline();
    // Moves the time to NextDeadline when that lies ahead; false when there is none.
    bool AdvanceToNextDeadline();
    // With auto-advance a wait that is not ready moves the time to its own end at once,
    // as if the only thread had slept that long (tests of single-threaded waiting).
    void SetAutoAdvance(bool value);

private:
    std::mutex m_mutex;
    uint64_t m_now = 0;
    std::multiset<uint64_t> m_deadlines;
    int m_waiters = 0;
    uint64_t m_looks = 0;
    bool m_autoAdvance = false;
};

Clock& CurrentClock();
// Replaces the clock (null restores the system clock). The clock must outlive its use.
void SetCurrentClock(Clock* clock);

// The millisecond counter, wrapping like a 32-bit system timer.
inline uint32_t TickCount()
{
    return static_cast<uint32_t>(CurrentClock().Milliseconds());
}
inline void Sleep(uint32_t milliseconds)
{
    CurrentClock().Sleep(milliseconds);
}
