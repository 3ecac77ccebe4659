#include "tests/gif/Timeline.h"

std::string timelineDifference(const Timeline& expected, const Timeline& actual)
{
    if (expected == actual)
        return {};
    if (expected.width != actual.width || expected.height != actual.height)
        return "screen size";
    if (expected.runs.size() != actual.runs.size())
        return "frames " + std::to_string(expected.runs.size()) + " vs " + std::to_string(actual.runs.size());
    for (size_t k = 0; k < expected.runs.size(); ++k) {
        if (expected.runs[k].delay != actual.runs[k].delay)
            return "delay of run " + std::to_string(k);
        if (expected.runs[k].pixels != actual.runs[k].pixels)
            return "pixels of run " + std::to_string(k);
    }
    return "loop " + std::to_string(expected.loops) + "@" + std::to_string(expected.loopRun) + " vs " +
           std::to_string(actual.loops) + "@" + std::to_string(actual.loopRun);
}
