#pragma once

#include "Clock.h"

enum class TWaitResult { wrSignaled, wrTimeout };

// An auto-reset event: a wait that sees it set consumes the signal.
class TEvent {
public:
    explicit TEvent(bool initiallySet = false) : m_set(initiallySet) {}
    void SetEvent();
    void ResetEvent();
    // Tells whether the event or the time-out ended the wait.
    TWaitResult WaitFor(uint32_t timeoutMs = INFINITE);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set;
};
