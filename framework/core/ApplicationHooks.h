#pragma once

#include <exception>
#include <functional>

// What code below the user-interface layer needs of the application object. The
// application installs these when it starts and removes them when it goes; without them
// (tools, tests without windows) an exception is written to standard error, there are no
// messages to process and the program is never ending.
struct TApplicationHooks {
    // The default exception handler; runs on the user-interface thread.
    std::function<void(std::exception_ptr)> handleException;
    // Handles the pending messages; true when the program has been asked to end.
    std::function<bool()> processMessages;
    // Whether the program has been asked to end.
    std::function<bool()> terminated;
};

void SetApplicationHooks(TApplicationHooks hooks);

// Hands the failure to the application's default handler.
void HandleApplicationException(std::exception_ptr error);
// Returns true when the program has been asked to end.
bool ProcessPendingMessages();
bool ApplicationTerminated();
