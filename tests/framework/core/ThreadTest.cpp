#include "framework/core/Thread.h"
#include "framework/core/Event.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Runs a body given by the test.
class LambdaThread : public TThread {
public:
    explicit LambdaThread(std::function<void(LambdaThread&)> body, std::atomic<bool>* destroyed = nullptr)
        : m_body(std::move(body)), m_destroyed(destroyed)
    {}
    ~LambdaThread() override
    {
        StopBody();
        if (m_destroyed)
            *m_destroyed = true;
    }
    using TThread::Synchronize;
    bool Stopping() const { return Terminated(); }

protected:
    void Run() override { m_body(*this); }

private:
    std::function<void(LambdaThread&)> m_body;
    std::atomic<bool>* m_destroyed;
};

} // namespace

TEST(Thread, SynchronizedCallsFromSeveralThreadsRunOnTheMainThreadWhileItWaits)
{
    const auto mainId = std::this_thread::get_id();
    std::atomic<int> calls{0};
    std::atomic<int> offMain{0};
    std::vector<std::unique_ptr<LambdaThread>> threads;
    for (int t = 0; t < 4; ++t)
        threads.push_back(MakeThread<LambdaThread>(false, [&](LambdaThread& self) {
            for (int i = 0; i < 50; ++i)
                self.Synchronize([&] {
                    if (std::this_thread::get_id() != mainId)
                        ++offMain;
                    ++calls;
                });
        }));
    for (auto& t : threads)
        t->WaitFor(); // must pump, or the first Synchronize would deadlock
    EXPECT_EQ(calls, 200);
    EXPECT_EQ(offMain, 0);
}

TEST(Thread, ExceptionInASynchronizedCallIsRaisedInTheCallingThread)
{
    std::string caught;
    auto thread = MakeThread<LambdaThread>(false, [&](LambdaThread& self) {
        try {
            self.Synchronize([] { throw EInvalidGraphic("bad frame"); });
        } catch (const Exception& e) {
            caught = e.Message();
        }
    });
    thread->WaitFor();
    EXPECT_EQ(caught, "bad frame");
}

TEST(Thread, BodyFailureIsKeptForTheOwner)
{
    auto thread = MakeThread<LambdaThread>(false, [](LambdaThread&) { throw EOutOfMemory(); });
    thread->WaitFor();
    ASSERT_TRUE(thread->FatalException());
    EXPECT_THROW(std::rethrow_exception(thread->FatalException()), EOutOfMemory);
}

TEST(Thread, TerminationHandlerRunsOnTheMainThreadAfterTheBody)
{
    std::vector<std::string> order;
    auto thread = std::make_unique<LambdaThread>([&](LambdaThread&) { order.push_back("body"); });
    thread->OnTerminate = [&](TThread&) { order.push_back(IsMainThread() ? "handler on main" : "handler elsewhere"); };
    EXPECT_TRUE(thread->Suspended());
    thread->Resume();
    thread->WaitFor();
    EXPECT_EQ(order, (std::vector<std::string>{"body", "handler on main"}));
}

TEST(Thread, DestructorAsksTheBodyToStopAndWaits)
{
    std::atomic<bool> stopped{false};
    {
        auto thread = MakeThread<LambdaThread>(false, [&](LambdaThread& self) {
            while (!self.Stopping())
                YieldThread();
            stopped = true;
        });
    }
    EXPECT_TRUE(stopped);
}

TEST(Thread, FreeOnTerminateDeletesItself)
{
    std::atomic<bool> done{false};
    auto thread = std::make_unique<LambdaThread>([&](LambdaThread&) {});
    thread->SetFreeOnTerminate(true);
    thread->OnTerminate = [&](TThread&) { done = true; };
    thread.release()->Resume();
    while (!done)
        CheckSynchronize(10);
    // Under the address sanitizer a leaked or doubly freed object would be reported.
}

TEST(Thread, AbandonCancelsQueuedCallsAndReleasesTheBody)
{
    std::atomic<bool> ran{false};
    std::atomic<bool> queued{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> result{true};
    std::atomic<bool> destroyed{false};
    auto thread = MakeThread<LambdaThread>(
        false,
        [&](LambdaThread& self) {
            queued = true;
            result = self.Synchronize([&] { ran = true; });
            returned = true;
        },
        &destroyed);
    while (!queued || PendingSynchronizeCalls() == 0)
        YieldThread();
    TThread::Abandon(std::move(thread));
    while (!returned)
        YieldThread();
    CheckSynchronize();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(result);
    EXPECT_EQ(PendingSynchronizeCalls(), 0);
    while (!destroyed) // the abandoned thread frees itself
        YieldThread();
}

TEST(Thread, PriorityCanChangeWhileRunning)
{
    TEvent go;
    auto thread = MakeThread<LambdaThread>(false, [&](LambdaThread&) { go.WaitFor(); });
    EXPECT_EQ(thread->Priority(), TThreadPriority::tpNormal);
    thread->SetPriority(TThreadPriority::tpLower);
    EXPECT_EQ(thread->Priority(), TThreadPriority::tpLower);
    EXPECT_NE(thread->Handle(), std::thread::native_handle_type{});
    go.SetEvent();
    thread->WaitFor();
}

TEST(Event, AutoResetEventIsConsumedByOneWait)
{
    TEvent event;
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(Event, TimedWaitEndsWhenTheFakeClockPassesTheTimeOut)
{
    FakeClock clock;
    SetCurrentClock(&clock);
    TEvent event;
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = event.WaitFor(500) == TWaitResult::wrTimeout ? 1 : 0; });
    while (clock.Waiters() == 0)
        YieldThread();
    clock.Advance(499);
    // One look at the time after the advance: the waiter has seen 499 ms and waits on.
    const uint64_t looks = clock.Looks();
    while (clock.Looks() == looks && result == -1)
        YieldThread();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(clock.Waiters(), 1);
    clock.Advance(1);
    waiter.join();
    EXPECT_EQ(result, 1);
    SetCurrentClock(nullptr);
}

TEST(Event, SignalEndsTheWaitBeforeTheTimeOut)
{
    FakeClock clock;
    SetCurrentClock(&clock);
    TEvent event;
    std::thread setter([&] {
        while (clock.Waiters() == 0)
            YieldThread();
        event.SetEvent();
    });
    EXPECT_EQ(event.WaitFor(1000), TWaitResult::wrSignaled);
    setter.join();
    SetCurrentClock(nullptr);
}

TEST(Thread, TimedWaitForReportsTheTimeOut)
{
    TEvent go;
    auto thread = MakeThread<LambdaThread>(false, [&](LambdaThread&) { go.WaitFor(); });
    EXPECT_FALSE(thread->WaitFor(10));
    go.SetEvent();
    EXPECT_TRUE(thread->WaitFor(INFINITE));
}
