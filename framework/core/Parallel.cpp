#include "framework/core/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

int WorkerThreads()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
}

void ParallelFor(int count, int threads, const std::function<void(int)>& task)
{
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex failureLock;
    std::exception_ptr failure;
    auto work = [&] {
        while (!failed.load(std::memory_order_relaxed)) {
            const int index = next.fetch_add(1, std::memory_order_relaxed);
            if (index >= count)
                return;
            try {
                task(index);
            } catch (...) {
                std::scoped_lock lock(failureLock);
                if (!failure)
                    failure = std::current_exception();
                failed = true;
            }
        }
    };
    std::vector<std::thread> helpers;
    const int helperCount = std::min(threads, count) - 1;
    for (int i = 0; i < helperCount; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // fewer threads only make it slower
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}
