#pragma once

#include <functional>

// Threads worth starting for work that keeps every core busy: the machine's hardware
// threads, at least 1 and at most 8.
int WorkerThreads();

// Runs task(i) for every i in [0, count) on up to `threads` threads, the calling one
// among them, and returns when all have run. Indices are handed out in increasing order
// to whichever thread is free, so a task must write only what belongs to its own index;
// then the results do not depend on the number of threads. The first exception a task
// throws stops the handing out and is raised again here once every thread has stopped.
void ParallelFor(int count, int threads, const std::function<void(int)>& task);
