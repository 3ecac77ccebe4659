// Composed frames of every animation in a folder (files with two or more frames), ours
// beside ImageMagick in one run:
//   lib      load from bytes in memory and compose every frame (ComposeFrames), no PNG;
//            beside `convert FILE -coalesce null:`, a whole process (start-up, reading
//            the file and all);
//   render   `gifimg render FILE --all OUTDIR` beside `convert FILE -coalesce
//            OUTDIR/OUT-%03d.png`, both whole processes writing PNGs.
// Each is repeated until it has run for at least half a second and three times; the
// figure is the median, ± half the range as a share of it. The heap (counted by this
// program's own operator new and delete) is watched while the library loads and
// composes; its peak must stay within the bound printed beside it.
#include "bench/support/Process.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/ComposedFrames.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<int64_t> heapInUse{0};
std::atomic<int64_t> heapPeak{0};

// Each block carries its size in front, so delete knows what it gives back.
constexpr size_t Header = alignof(std::max_align_t);

void* countedAllocate(size_t size, size_t alignment)
{
    const size_t header = std::max(Header, alignment);
    void* raw = nullptr;
    if (posix_memalign(&raw, std::max(alignment, sizeof(void*)), size + header) != 0)
        throw std::bad_alloc();
    auto* bytes = static_cast<unsigned char*>(raw) + header;
    reinterpret_cast<size_t*>(bytes)[-1] = size;
    reinterpret_cast<size_t*>(bytes)[-2] = header;
    const int64_t now = heapInUse += int64_t(size);
    int64_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {}
    return bytes;
}

void countedFree(void* block)
{
    if (!block)
        return;
    auto* bytes = static_cast<unsigned char*>(block);
    const size_t size = reinterpret_cast<size_t*>(bytes)[-1];
    const size_t header = reinterpret_cast<size_t*>(bytes)[-2];
    heapInUse -= int64_t(size);
    std::free(bytes - header);
}

} // namespace

void* operator new(size_t size)
{
    return countedAllocate(size, Header);
}
void* operator new[](size_t size)
{
    return countedAllocate(size, Header);
}
void* operator new(size_t size, std::align_val_t a)
{
    return countedAllocate(size, std::max(Header, size_t(a)));
}
void* operator new[](size_t size, std::align_val_t a)
{
    return countedAllocate(size, std::max(Header, size_t(a)));
}
void operator delete(void* p) noexcept
{
    countedFree(p);
}
void operator delete[](void* p) noexcept
{
    countedFree(p);
}
void operator delete(void* p, size_t) noexcept
{
    countedFree(p);
}
void operator delete[](void* p, size_t) noexcept
{
    countedFree(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    countedFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    countedFree(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
    countedFree(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept
{
    countedFree(p);
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double MinSeconds = 0.5;
constexpr int MinRuns = 3;
constexpr double Target = 3.0;

struct Timing {
    double median = -1; // seconds; negative when the command failed
    double spread = 0;  // (slowest - fastest) / 2, as a share of the median
    int runs = 0;
};

// Runs work (which returns false on failure) until MinSeconds and MinRuns are reached.
// A short first run only warms up (caches, lazily loaded code); the spread is taken
// between the tenth and the ninetieth percentile, so one slow run among thousands of a
// fast call (another process took the core) does not stand for them all.
Timing timeRuns(const std::function<bool()>& work)
{
    std::vector<double> times;
    double total = 0;
    bool warmedUp = false;
    while (total < MinSeconds || int(times.size()) < MinRuns) {
        const auto start = Clock::now();
        if (!work())
            return {};
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!warmedUp) {
            warmedUp = true;
            if (seconds < 0.1)
                continue;
        }
        times.push_back(seconds);
        total += seconds;
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const size_t low = times.size() / 10, high = times.size() - 1 - times.size() / 10;
    return {median, (times[high] - times[low]) / 2 / median, int(times.size())};
}

// ImageMagick's own program: a stand-in earlier on the path (a script that hands the
// call on) would add its start-up to the peer's time.
std::string findConvert()
{
    for (const char* candidate : {"/usr/bin/convert", "/usr/local/bin/convert"})
        if (access(candidate, X_OK) == 0)
            return candidate;
    return {};
}

std::vector<uint8_t> readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Memory {
    int64_t peak = 0;
    int64_t bound = 0;
    int frames = 0;
};

// Loads and composes once, watching the heap; the bound is what the frames, their
// caches and the screen-sized bitmaps may take, with 8 MiB for everything else.
Memory measureMemory(const std::vector<uint8_t>& bytes)
{
    Memory memory;
    const int64_t before = heapInUse.load();
    heapPeak = before;
    {
        TGIFImage image;
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        image.LoadFromStream(stream);
        memory.frames = ComposeFrames(image, [](int, const TBitmap&) { return true; });
        memory.peak = heapPeak.load() - before;
        int64_t bound = 4 * int64_t(image.Width()) * image.Height() * 4 + (int64_t(8) << 20);
        for (int i = 0; i < image.Images().Count(); ++i) {
            TGIFSubImage& frame = image.Images().Items(i);
            bound += int64_t(frame.Width()) * frame.Height();
            if (const TBitmap* bitmap = frame.Bitmap())
                bound += int64_t(bitmap->RowStride()) * bitmap->Height() +
                         (bitmap->Palette() ? bitmap->Palette()->Count() * 4 : 0);
            if (const TBitmap* mask = frame.Mask())
                bound += int64_t(mask->RowStride()) * mask->Height();
        }
        memory.bound = bound;
    }
    return memory;
}

std::string timeText(const Timing& t)
{
    if (t.median < 0)
        return "      failed     ";
    char text[40];
    std::snprintf(text, sizeof text, "%8.1f ms ±%3.0f%%", t.median * 1e3, t.spread * 100);
    return text;
}

double ratio(const Timing& ours, const Timing& peer)
{
    return ours.median > 0 && peer.median > 0 ? peer.median / ours.median : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_bench GIFIMG FOLDER\n");
        return 2;
    }
    const GIFLibrary library;
    const std::string gifimg = argv[1];
    const std::string convert = findConvert();
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(argv[2]))
        if (entry.is_regular_file() && entry.path().extension() == ".gif")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    const fs::path scratch = fs::temp_directory_path() / ("carnelo-render-bench-" + std::to_string(getpid()));
    std::printf(
        "Composed frames of every animation in %s.\n"
        "lib = load from memory and compose every frame in this process; beside it convert FILE -coalesce "
        "null:, a whole process.\nrender = gifimg render FILE --all OUTDIR beside convert FILE -coalesce "
        "OUTDIR/OUT-%%03d.png, both whole processes writing PNGs.\nMedian of at least %d runs and %.1f s, ± half "
        "the range between the 10th and 90th percentile. Peer: %s.\n\n",
        argv[2], MinRuns, MinSeconds, convert.empty() ? "ImageMagick not installed" : convert.c_str());
    std::printf("%-26s %6s %18s %18s %6s %18s %18s %6s %10s %10s\n", "file", "frames", "lib", "convert null:", "x",
                "gifimg render", "convert PNGs", "x", "heap peak", "bound");

    double libTotal = 0, nullTotal = 0, renderTotal = 0, pngTotal = 0, logLib = 0, logRender = 0;
    int measured = 0;
    bool withinBound = true, muybridgeMet = true;
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = readFile(file);
        Memory memory;
        try {
            memory = measureMemory(bytes);
        } catch (const Exception& e) {
            std::printf("%-26s failed: %s\n", file.filename().c_str(), e.Message().c_str());
            continue;
        }
        if (memory.frames < 2)
            continue;
        const Timing lib = timeRuns([&] {
            TGIFImage image;
            TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
            image.LoadFromStream(stream);
            return ComposeFrames(image, [](int, const TBitmap&) { return true; }) == memory.frames;
        });
        const fs::path out = scratch / file.stem();
        auto fresh = [&] {
            fs::remove_all(out);
            fs::create_directories(out);
        };
        const Timing render = timeRuns([&] {
            fresh();
            return bench::runQuiet({gifimg, "render", "-q", file.string(), "--all", out.string()});
        });
        Timing null, png;
        if (!convert.empty()) {
            null = timeRuns([&] { return bench::runQuiet({convert, file.string(), "-coalesce", "null:"}); });
            png = timeRuns([&] {
                fresh();
                return bench::runQuiet({convert, file.string(), "-coalesce", (out / "OUT-%03d.png").string()});
            });
        }
        fs::remove_all(out);
        const bool fits = memory.peak <= memory.bound;
        withinBound = withinBound && fits;
        std::printf("%-26s %6d %18s %18s %5.1fx %18s %18s %5.1fx %7.1f MiB %6.1f MiB%s\n", file.filename().c_str(),
                    memory.frames, timeText(lib).c_str(), timeText(null).c_str(), ratio(lib, null),
                    timeText(render).c_str(), timeText(png).c_str(), ratio(render, png), memory.peak / 1048576.0,
                    memory.bound / 1048576.0, fits ? "" : "  OVER THE BOUND");
        if (file.filename() == "gifplayer-muybridge.gif")
            muybridgeMet = ratio(lib, null) >= Target;
        if (lib.median > 0 && null.median > 0 && render.median > 0 && png.median > 0) {
            libTotal += lib.median;
            nullTotal += null.median;
            renderTotal += render.median;
            pngTotal += png.median;
            logLib += std::log(ratio(lib, null));
            logRender += std::log(ratio(render, png));
            ++measured;
        }
    }
    fs::remove_all(scratch);
    if (measured == 0) {
        std::printf("\nNo animation measured against ImageMagick.\n");
        return withinBound ? 0 : 1;
    }
    const double setRatio = nullTotal / libTotal;
    std::printf("\nThe set (%d files): lib %.1f ms against convert null: %.1f ms, %.1fx (geometric mean of the files "
                "%.1fx); gifimg render %.1f ms against convert PNGs %.1f ms, %.1fx (geometric mean %.1fx).\n",
                measured, libTotal * 1e3, nullTotal * 1e3, setRatio, std::exp(logLib / measured), renderTotal * 1e3,
                pngTotal * 1e3, pngTotal / renderTotal, std::exp(logRender / measured));
    std::printf("Target lib >= %.0fx convert null: over the set: %s; on gifplayer-muybridge.gif: %s. Heap within the "
                "bound on every file: %s.\n",
                Target, setRatio >= Target ? "met" : "MISSED", muybridgeMet ? "met" : "MISSED",
                withinBound ? "yes" : "NO");
    return withinBound ? 0 : 1;
}
