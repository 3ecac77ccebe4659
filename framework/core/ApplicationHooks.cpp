#include "ApplicationHooks.h"

#include "Exception.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex g_mutex;
TApplicationHooks g_hooks;

TApplicationHooks hooks()
{
    std::scoped_lock lock(g_mutex);
    return g_hooks;
}

} // namespace

void SetApplicationHooks(TApplicationHooks hooks)
{
    std::scoped_lock lock(g_mutex);
    g_hooks = std::move(hooks);
}

void HandleApplicationException(std::exception_ptr error)
{
    if (!error)
        return;
    if (auto handler = hooks().handleException) {
        handler(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "unknown exception\n");
    }
}

bool ProcessPendingMessages()
{
    auto process = hooks().processMessages;
    return process ? process() : false;
}

bool ApplicationTerminated()
{
    auto terminated = hooks().terminated;
    return terminated ? terminated() : false;
}
