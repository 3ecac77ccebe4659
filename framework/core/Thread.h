#pragma once

#include "Clock.h"
#include "Object.h"

#include <exception>
#include <functional>
#include <memory>
#include <thread>

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread whose body Run executes on its own std::thread. It starts with Resume (or at
// once, through MakeThread), so the body never runs on a half-built object.
// A thread is never killed: Terminate asks the body to stop, Abandon lets it finish alone.
// A derived class whose body uses its own members calls StopBody() in its destructor,
// since the base destructor runs only after those members are gone.
class TThread : public TObject {
    CARNELO_CLASS(TThread, TObject)
public:
    TThread();
    // Asks the body to stop and waits for it (pumping synchronised calls on the UI thread).
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    bool Suspended() const;
    void Terminate();
    bool Terminated() const;
    bool Finished() const;

    // Waits for the body and the termination handler to end. On the UI thread the wait
    // runs queued synchronised calls, so a body blocked in Synchronize can finish.
    // Raises EThread for a thread that frees itself.
    void WaitFor();
    // Returns false when the time-out passed first.
    bool WaitFor(uint32_t timeoutMs);

    bool FreeOnTerminate() const;
    // A thread that frees itself deletes itself after its termination handler.
    void SetFreeOnTerminate(bool value);

    TThreadPriority Priority() const;
    // Best effort: Linux lets an unprivileged thread lower its priority only.
    void SetPriority(TThreadPriority priority);
    std::thread::native_handle_type Handle();
    std::thread::id ThreadId() const;

    // What the body threw, kept for the owner; never raised from the destructor.
    std::exception_ptr FatalException() const;

    // Runs on the UI thread after the body ends (not after Abandon).
    std::function<void(TThread&)> OnTerminate;

    // Lets a thread finish on its own: it is asked to terminate, its queued and future
    // synchronised calls are cancelled (they never run), anyone waiting for it is
    // released, and it deletes itself when its body ends.
    static void Abandon(std::unique_ptr<TThread> thread);
    // The same for a running thread that frees itself (FreeOnTerminate) and so has no
    // owner to hand over; one never started is deleted at once. The caller must not use
    // the pointer afterwards.
    static void Abandon(TThread* thread);
    bool Abandoned() const;

    // Runs method on the UI thread and blocks until it ran (directly when called there).
    // What method throws is raised again in the caller. Returns false, without running
    // method, when the thread has been abandoned before the UI thread took the call.
    static bool Synchronize(TThread* thread, const std::function<void()>& method);

protected:
    virtual void Run() = 0;
    // Asks the body to stop and waits for its end (nothing when called by the body itself).
    void StopBody();
    bool Synchronize(const std::function<void()>& method) { return Synchronize(this, method); }

private:
    bool waitForEnd(uint32_t timeoutMs);
    void threadMain();
    void applyPriority();

    std::thread m_thread;
    std::exception_ptr m_fatal;
    TThreadPriority m_priority = TThreadPriority::tpNormal;
    long m_tid = 0;
    bool m_started = false;
    bool m_terminated = false;
    bool m_finished = false;
    bool m_abandoned = false;
    bool m_freeOnTerminate = false;
};

// Creates a thread object and starts it unless createSuspended.
template <typename T, typename... Args>
std::unique_ptr<T> MakeThread(bool createSuspended, Args&&... args)
{
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    if (!createSuspended)
        thread->Resume();
    return thread;
}

// Runs the queued synchronised calls; on the UI thread only (elsewhere it does nothing).
// Waits up to timeoutMs for a first call. Returns whether any call ran.
bool CheckSynchronize(uint32_t timeoutMs = 0);

// Synchronised calls queued and not yet taken by the UI thread.
int PendingSynchronizeCalls();

// Called (from any thread) whenever a synchronised call is queued, so the UI event loop
// can wake up and run CheckSynchronize.
void SetSynchronizeWakeHook(std::function<void()> hook);

bool IsMainThread();
// Makes the calling thread the UI thread (start-up does this before any thread exists).
void SetMainThread();

void YieldThread();
