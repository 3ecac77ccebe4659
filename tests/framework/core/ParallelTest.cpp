#include "framework/core/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(Parallel, RunsEveryIndexOnceOnAnyNumberOfThreads)
{
    for (int threads : {1, 2, 5})
        for (int count : {0, 1, 3, 100}) {
            std::vector<int> runs(size_t(count), 0);
            ParallelFor(count, threads, [&](int i) { ++runs[size_t(i)]; });
            EXPECT_EQ(runs, std::vector<int>(size_t(count), 1)) << threads << " threads, " << count;
        }
    EXPECT_GE(WorkerThreads(), 1);
}

TEST(Parallel, TheFirstExceptionOfATaskReachesTheCaller)
{
    for (int threads : {1, 3}) {
        std::atomic<int> finished{0};
        try {
            ParallelFor(50, threads, [&](int i) {
                if (i == 7)
                    throw std::runtime_error("task " + std::to_string(i));
                ++finished;
            });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "task 7");
        }
        // One thread stops handing out tasks at once.
        if (threads == 1) {
            EXPECT_EQ(finished.load(), 7);
        }
    }
}

} // namespace
