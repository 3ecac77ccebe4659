#pragma once

// What the commands share that needs no Qt: the front end runs copy and optimize with it alone.

#include "gif/GIFImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gifimg {

// Exit codes.
constexpr int ExitOk = 0;
constexpr int ExitFailedInput = 1;
constexpr int ExitUsage = 2;
// More decoding threads than this only wait on one another.
constexpr int MaxJobs = 64;

// The options every command takes: -q, --max-pixels N, --jobs N, --help.
struct CommonOptions {
    bool quiet = false;
    int64_t maxPixels = 0;
    int jobs = 1; // threads a load may decode frames on
};

// An image loaded from a file (or "-" for standard input), with its warnings in order.
struct LoadedImage {
    std::unique_ptr<TGIFImage> image;
    std::vector<std::string> warnings;
    // Empty when the load succeeded.
    std::string error;
};

// The bytes of a file, or of standard input for "-"; raises EReadError or EFOpenError.
std::string readInput(const std::string& name);
// Loads name from its bytes as loadImage does.
LoadedImage loadImageFrom(const std::string& name, const std::string& bytes, const CommonOptions& options);
// Loads name; each warning is also printed as "NAME: warning: TEXT" unless quiet, and a
// failure as "NAME: error: MESSAGE".
LoadedImage loadImage(const std::string& name, const CommonOptions& options);
// "NAME: warning: TEXT" on standard error unless quiet.
void printWarning(const std::string& name, const std::string& text, const CommonOptions& options);
void printError(const std::string& name, const std::string& message);
// Only inside a catch block: the message of the exception being handled, a framework
// exception's or out of memory; any other exception goes on.
std::string currentFailure();
// Only inside a catch block: prints currentFailure() as "NAME: error: MESSAGE" and
// returns ExitFailedInput, the tail of every command's failure.
int failed(const std::string& name);
// Replaces the file atomically, or writes standard output for "-".
void writeOutput(const std::string& name, const std::string& bytes);

// The whole of info, extract --raw, copy and optimize once their arguments are read; the exit code.
int infoFiles(const std::vector<std::string>& names, bool json, const CommonOptions& options);
// extract --raw into folder, a path the front end joins with "/" as it is.
int extractRaw(const std::string& name, const std::string& folder, const CommonOptions& options);
int copyFile(const std::string& in, const std::string& out, bool rle, const CommonOptions& options);
// The passes of optimize's options: the default set when none is given.
TGIFOptimizations optimizationsOf(bool trim, bool merge, bool cleanup, bool sort);
int optimizeFile(const std::string& in, const std::string& out, TGIFOptimizations passes, const CommonOptions& options);

} // namespace gifimg
