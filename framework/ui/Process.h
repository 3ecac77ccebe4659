#pragma once

#include <string>
#include <vector>

// Starts programs. Arguments go as a list, never through a shell. Tests replace it.
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // Starts program without waiting; false when it could not be started.
    virtual bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

IProcessLauncher& ProcessLauncher();
// Replaces the launcher (null restores the real one). It must outlive its use.
void SetProcessLauncher(IProcessLauncher* launcher);
