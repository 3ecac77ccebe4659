#include "tools/gifimg/Files.h"

#include "framework/core/AtomicFile.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>

namespace gifimg {

namespace {

int framesWithImage(TGIFImage& image)
{
    int count = 0;
    for (int i = 0; i < image.Images().Count(); ++i)
        count += image.Images().Items(i).Empty() ? 0 : 1;
    return count;
}

std::string readStandardInput()
{
    std::string bytes;
    char buffer[64 * 1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        bytes.append(buffer, n);
    if (std::ferror(stdin))
        throw EReadError(std::string(FrameworkText::ReadError));
    return bytes;
}

} // namespace

void printWarning(const std::string& name, const std::string& text, const CommonOptions& options)
{
    if (!options.quiet)
        std::fprintf(stderr, "%s: warning: %s\n", name.c_str(), text.c_str());
}

void printError(const std::string& name, const std::string& message)
{
    std::fprintf(stderr, "%s: error: %s\n", name.c_str(), message.c_str());
}

std::string readInput(const std::string& name)
{
    if (name == "-")
        return readStandardInput();
    TMemoryStream stream;
    stream.LoadFromFile(name);
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

LoadedImage loadImageFrom(const std::string& name, const std::string& bytes, const CommonOptions& options)
{
    LoadedImage loaded;
    loaded.image = std::make_unique<TGIFImage>();
    loaded.image->SetMaxPixelBytes(options.maxPixels);
    loaded.image->SetDecodeThreads(options.jobs);
    loaded.image->OnWarn = [&](TObject*, int, const std::string& message) {
        loaded.warnings.push_back(message);
        printWarning(name, message, options);
    };
    try {
        TReadOnlyMemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        loaded.image->LoadFromStream(stream);
    } catch (...) {
        loaded.error = currentFailure();
    }
    loaded.image->OnWarn = nullptr;
    if (!loaded.error.empty())
        printError(name, loaded.error);
    return loaded;
}

LoadedImage loadImage(const std::string& name, const CommonOptions& options)
{
    std::string bytes;
    try {
        // The whole input first: the reader steps back and measures what is left.
        bytes = readInput(name);
    } catch (...) {
        LoadedImage unread;
        unread.image = std::make_unique<TGIFImage>();
        unread.error = currentFailure();
        printError(name, unread.error);
        return unread;
    }
    return loadImageFrom(name, bytes, options);
}

std::string currentFailure()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return std::string(FrameworkText::OutOfMemory);
    }
}

int failed(const std::string& name)
{
    printError(name, currentFailure());
    return ExitFailedInput;
}

void writeOutput(const std::string& name, const std::string& bytes)
{
    if (name != "-") {
        // Like other image tools, no flush to disk: it cost more than optimising a small file.
        WriteFileAtomically(name, bytes, FileFlush::Unflushed);
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
        throw EWriteError(std::string(FrameworkText::WriteError));
}

int copyFile(const std::string& in, const std::string& out, bool rle, const CommonOptions& options)
{
    LoadedImage loaded = loadImage(in, options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    try {
        loaded.image->SetCompressionMethod(rle ? cmRLE : cmLZW);
        TMemoryStream stream;
        loaded.image->SaveToStream(stream);
        writeOutput(out, std::string(stream.Bytes().begin(), stream.Bytes().end()));
    } catch (...) {
        return failed(out);
    }
    return ExitOk;
}

int optimizeFile(const std::string& in, const std::string& out, TGIFOptimizations passes, const CommonOptions& options)
{
    std::string input;
    try {
        input = readInput(in);
    } catch (...) {
        return failed(in);
    }
    LoadedImage loaded = loadImageFrom(in, input, options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    TGIFImage& image = *loaded.image;
    const int framesBefore = framesWithImage(image);
    std::string output;
    try {
        image.Optimize(passes, crNone, dmNearest, 8);
        TMemoryStream stream;
        image.SaveToStream(stream);
        output.assign(stream.Bytes().begin(), stream.Bytes().end());
    } catch (...) {
        return failed(in);
    }
    const bool smaller = output.size() < input.size();
    try {
        writeOutput(out, smaller ? output : input);
    } catch (...) {
        return failed(out);
    }
    FILE* report = out == "-" ? stderr : stdout;
    if (smaller)
        std::fprintf(report, "%s: %d frames, %zu bytes -> %d frames, %zu bytes\n", in.c_str(), framesBefore,
                     input.size(), framesWithImage(image), output.size());
    else
        std::fprintf(report, "%s: %d frames, %zu bytes: not smaller when optimised (%zu bytes), written unchanged\n",
                     in.c_str(), framesBefore, input.size(), output.size());
    return ExitOk;
}

int extractRaw(const std::string& name, const std::string& folder, const CommonOptions& options)
{
    LoadedImage loaded = loadImage(name, options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        printError(folder, "cannot make the folder");
        return ExitFailedInput;
    }
    TGIFImageList& frames = loaded.image->Images();
    int number = 0;
    try {
        for (int i = 0; i < frames.Count(); ++i) {
            TGIFSubImage& frame = frames.Items(i);
            if (frame.Empty())
                continue;
            char file[32];
            std::snprintf(file, sizeof file, "/frame-%03d.raw", number);
            writeOutput(folder + file, std::string(reinterpret_cast<const char*>(frame.Data()),
                                                   static_cast<size_t>(frame.DataSize())));
            ++number;
        }
    } catch (...) {
        return failed(name);
    }
    return ExitOk;
}

TGIFOptimizations optimizationsOf(bool trim, bool merge, bool cleanup, bool sort)
{
    TGIFOptimizations passes = 0;
    if (trim)
        passes |= goTrimTransparent;
    if (merge)
        passes |= goMergeFrames;
    if (cleanup)
        passes |= goCleanup;
    if (sort)
        passes |= goSortColorMaps;
    if (passes == 0)
        passes = AllOptimizations;
    // Merged pixels only where they shorten the frame: never more bytes than a full merge.
    return passes | goMergeBySize | goLocalMapsBySize;
}

} // namespace gifimg
