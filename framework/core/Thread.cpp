#include "Thread.h"

#include <deque>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// 0: queued; 0 -> 1 when the UI thread takes the call; 1 -> 2 when the call returned.
enum class SyncState { Queued, Running, Done };

struct SyncRequest {
    TThread* owner = nullptr;
    const std::function<void()>* method = nullptr;
    std::exception_ptr error;
    SyncState state = SyncState::Queued;
};

// One lock guards every thread's state flags and the queue of synchronised calls; the
// UI thread's waits sleep on the one condition that both kinds of change signal.
std::mutex g_mutex;
std::condition_variable g_changed;
std::deque<SyncRequest*> g_queue;
std::function<void()> g_wakeHook;
std::thread::id g_mainThread = std::this_thread::get_id();

void wakeMainThread()
{
    std::function<void()> hook;
    {
        std::scoped_lock lock(g_mutex);
        hook = g_wakeHook;
    }
    if (hook)
        hook();
}

int niceFor(TThreadPriority priority)
{
    static constexpr int values[] = {19, 10, 5, 0, -5, -10, -20};
    return values[static_cast<int>(priority)];
}

} // namespace

bool IsMainThread()
{
    std::scoped_lock lock(g_mutex);
    return std::this_thread::get_id() == g_mainThread;
}

void SetMainThread()
{
    std::scoped_lock lock(g_mutex);
    g_mainThread = std::this_thread::get_id();
}

void YieldThread()
{
    std::this_thread::yield();
}

int PendingSynchronizeCalls()
{
    std::scoped_lock lock(g_mutex);
    return static_cast<int>(g_queue.size());
}

void SetSynchronizeWakeHook(std::function<void()> hook)
{
    std::scoped_lock lock(g_mutex);
    g_wakeHook = std::move(hook);
}

bool CheckSynchronize(uint32_t timeoutMs)
{
    if (!IsMainThread())
        return false;
    std::unique_lock lock(g_mutex);
    if (g_queue.empty() && timeoutMs > 0)
        CurrentClock().WaitFor(lock, g_changed, timeoutMs, [] { return !g_queue.empty(); });
    bool ran = false;
    while (!g_queue.empty()) {
        SyncRequest* request = g_queue.front();
        g_queue.pop_front();
        request->state = SyncState::Running;
        lock.unlock();
        try {
            (*request->method)();
        } catch (...) {
            request->error = std::current_exception();
        }
        ran = true;
        lock.lock();
        request->state = SyncState::Done;
        g_changed.notify_all();
    }
    return ran;
}

bool TThread::Synchronize(TThread* thread, const std::function<void()>& method)
{
    if (IsMainThread()) {
        method();
        return true;
    }
    SyncRequest request;
    request.owner = thread;
    request.method = &method;
    {
        std::unique_lock lock(g_mutex);
        if (thread && thread->m_abandoned)
            return false;
        g_queue.push_back(&request);
        g_changed.notify_all();
    }
    wakeMainThread();
    std::unique_lock lock(g_mutex);
    // A call the UI thread has begun runs to its end (it lives on this stack), even when
    // the thread is abandoned meanwhile.
    g_changed.wait(lock, [&] {
        return request.state == SyncState::Done ||
               (thread && thread->m_abandoned && request.state == SyncState::Queued);
    });
    if (request.state != SyncState::Done) {
        // Abandoned while queued: take the call back so it never runs.
        std::erase(g_queue, &request);
        return false;
    }
    lock.unlock();
    if (request.error)
        std::rethrow_exception(request.error);
    return true;
}

TThread::TThread() = default;

TThread::~TThread()
{
    StopBody();
    if (m_thread.joinable())
        m_thread.join();
}

void TThread::StopBody()
{
    if (!m_thread.joinable() || std::this_thread::get_id() == m_thread.get_id())
        return;
    Terminate();
    waitForEnd(INFINITE);
}

void TThread::Resume()
{
    std::scoped_lock lock(g_mutex);
    if (m_started)
        return;
    m_started = true;
    m_thread = std::thread([this] { threadMain(); });
}

bool TThread::Suspended() const
{
    std::scoped_lock lock(g_mutex);
    return !m_started;
}

void TThread::Terminate()
{
    std::scoped_lock lock(g_mutex);
    m_terminated = true;
}

bool TThread::Terminated() const
{
    std::scoped_lock lock(g_mutex);
    return m_terminated;
}

bool TThread::Finished() const
{
    std::scoped_lock lock(g_mutex);
    return m_finished;
}

void TThread::WaitFor()
{
    WaitFor(INFINITE);
}

bool TThread::WaitFor(uint32_t timeoutMs)
{
    if (FreeOnTerminate())
        throw EThread("Impossible d'attendre un thread qui se libère lui-même");
    return waitForEnd(timeoutMs);
}

bool TThread::waitForEnd(uint32_t timeoutMs)
{
    Clock& clock = CurrentClock();
    std::unique_lock lock(g_mutex);
    if (!m_started)
        return false;
    const bool onMain = std::this_thread::get_id() == g_mainThread;
    const uint64_t start = clock.Milliseconds();
    auto over = [&] { return m_finished || m_abandoned; };
    while (!over()) {
        if (onMain && !g_queue.empty()) {
            lock.unlock();
            CheckSynchronize();
            lock.lock();
            continue;
        }
        uint32_t wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const uint64_t spent = clock.Milliseconds() - start;
            if (spent >= timeoutMs)
                return false;
            wait = static_cast<uint32_t>(timeoutMs - spent);
        }
        clock.WaitFor(lock, g_changed, wait, [&] { return over() || (onMain && !g_queue.empty()); });
    }
    return true;
}

bool TThread::FreeOnTerminate() const
{
    std::scoped_lock lock(g_mutex);
    return m_freeOnTerminate;
}

void TThread::SetFreeOnTerminate(bool value)
{
    std::scoped_lock lock(g_mutex);
    m_freeOnTerminate = value;
}

TThreadPriority TThread::Priority() const
{
    std::scoped_lock lock(g_mutex);
    return m_priority;
}

void TThread::SetPriority(TThreadPriority priority)
{
    std::scoped_lock lock(g_mutex);
    m_priority = priority;
    if (m_tid != 0)
        applyPriority();
}

void TThread::applyPriority()
{
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(m_tid), niceFor(m_priority));
}

std::thread::native_handle_type TThread::Handle()
{
    return m_thread.native_handle();
}

std::thread::id TThread::ThreadId() const
{
    return m_thread.get_id();
}

std::exception_ptr TThread::FatalException() const
{
    std::scoped_lock lock(g_mutex);
    return m_fatal;
}

void TThread::Abandon(std::unique_ptr<TThread> thread)
{
    if (!thread)
        return;
    std::unique_lock lock(g_mutex);
    if (!thread->m_started || thread->m_finished) {
        lock.unlock();
        thread.reset(); // joins a finished body at once
        return;
    }
    TThread* self = thread.release();
    self->m_terminated = true;
    self->m_abandoned = true;
    self->m_freeOnTerminate = true;
    self->m_thread.detach();
    g_changed.notify_all();
}

void TThread::Abandon(TThread* thread)
{
    if (!thread)
        return;
    std::unique_lock lock(g_mutex);
    if (!thread->m_started) {
        lock.unlock();
        delete thread;
        return;
    }
    // The body frees the object itself once it ends, and detaches its std::thread then.
    thread->m_terminated = true;
    thread->m_abandoned = true;
    thread->m_freeOnTerminate = true;
    g_changed.notify_all();
}

bool TThread::Abandoned() const
{
    std::scoped_lock lock(g_mutex);
    return m_abandoned;
}

void TThread::threadMain()
{
    {
        std::scoped_lock lock(g_mutex);
        m_tid = static_cast<long>(::syscall(SYS_gettid));
        if (m_priority != TThreadPriority::tpNormal)
            applyPriority();
    }
    std::exception_ptr fatal;
    try {
        Run();
    } catch (...) {
        fatal = std::current_exception();
    }
    {
        std::scoped_lock lock(g_mutex);
        m_fatal = fatal;
    }
    if (OnTerminate) {
        try {
            Synchronize(this, [this] { OnTerminate(*this); });
        } catch (...) {
            std::scoped_lock lock(g_mutex);
            if (!m_fatal)
                m_fatal = std::current_exception();
        }
    }
    bool freeSelf;
    {
        std::scoped_lock lock(g_mutex);
        m_finished = true;
        freeSelf = m_freeOnTerminate;
        if (freeSelf && m_thread.joinable())
            m_thread.detach();
        g_changed.notify_all();
    }
    if (freeSelf)
        delete this;
}
