// Whole commands timed from outside, as a user runs them.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

// Seconds of each run of the command (its output discarded); empty when it failed.
inline std::vector<double> timeCommand(const std::string& command, int runs)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
            return {};
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return seconds;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

// (max - min) / median, the spread of the runs.
inline double spread(const std::vector<double>& values)
{
    if (values.empty())
        return NAN;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return (*high - *low) / median(values);
}

inline std::vector<uint8_t> readBytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

inline double geometricMean(const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values)
        sum += std::log(v);
    return values.empty() ? NAN : std::exp(sum / static_cast<double>(values.size()));
}

} // namespace bench
