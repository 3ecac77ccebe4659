// Our GIF library beside giflib on the same files, in one run: whole loads from bytes
// in memory to frame indices, whole saves to bytes in memory (LZW, and our RLE), in
// megapixels per second, with the ratios and the encoded sizes.
#include "framework/core/Parallel.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gif_lib.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// Each side runs in slices of at least this long, taking turns, for Rounds rounds; the
// best slice per call is the figure, so that a burst of load from the other processes
// on the machine falls on neither side's result.
constexpr double Slice = 0.05;
int Rounds = 7;
// Threads for the separate figure of loads that decode frames on several threads.
int Jobs = 0;

struct Timing {
    double seconds = 1e30;  // per call, best slice
    double worst = 0;       // per call, worst slice (the spread)
    double minorFaults = 0; // per call, over all slices
};

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

template <size_t N>
std::array<Timing, N> timePerCall(const std::array<std::function<void()>, N>& functions)
{
    std::array<Timing, N> timings{};
    std::array<int64_t, N> calls{};
    std::array<long, N> faults{};
    for (const auto& f : functions)
        f();
    for (int round = 0; round < Rounds; ++round) {
        for (size_t i = 0; i < N; ++i) {
            const long faultsBefore = minorFaults();
            const auto start = Clock::now();
            int64_t n = 0;
            double elapsed = 0;
            do {
                functions[i]();
                ++n;
                elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            } while (elapsed < Slice);
            faults[i] += minorFaults() - faultsBefore;
            calls[i] += n;
            const double perCall = elapsed / double(n);
            timings[i].seconds = std::min(timings[i].seconds, perCall);
            timings[i].worst = std::max(timings[i].worst, perCall);
        }
    }
    for (size_t i = 0; i < N; ++i)
        timings[i].minorFaults = double(faults[i]) / double(calls[i]);
    return timings;
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->bytes->size() - reader->position);
    std::memcpy(out, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

int writeMemory(GifFileType* gif, const GifByteType* in, int count)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), in, in + count);
    return count;
}

// Null when giflib refuses the file.
GifFileType* giflibLoad(const std::vector<uint8_t>& bytes, MemoryReader& reader)
{
    reader = MemoryReader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readMemory, &error);
    if (!gif)
        return nullptr;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return nullptr;
    }
    return gif;
}

void putExtensions(GifFileType* out, int count, const ExtensionBlock* blocks)
{
    for (int i = 0; i < count;) {
        const int function = blocks[i].Function;
        EGifPutExtensionLeader(out, function);
        do
            EGifPutExtensionBlock(out, blocks[i].ByteCount, blocks[i].Bytes);
        while (++i < count && blocks[i].Function == CONTINUE_EXT_FUNC_CODE);
        EGifPutExtensionTrailer(out);
    }
}

// A whole giflib save of a slurped file into bytes; interlaced rows go out in interlace
// order.
// refused, when given, tells whether giflib turned a frame down (it writes no image
// data for a frame without any colour table, where we write the frame).
void giflibSave(const GifFileType* in, std::vector<uint8_t>& bytes, bool* refused = nullptr)
{
    bytes.clear();
    int error = 0;
    bool fine = true;
    GifFileType* out = EGifOpen(&bytes, writeMemory, &error);
    EGifSetGifVersion(out, true);
    EGifPutScreenDesc(out, in->SWidth, in->SHeight, in->SColorResolution, in->SBackGroundColor, in->SColorMap);
    for (int i = 0; i < in->ImageCount; ++i) {
        const SavedImage& image = in->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        putExtensions(out, image.ExtensionBlockCount, image.ExtensionBlocks);
        if (EGifPutImageDesc(out, d.Left, d.Top, d.Width, d.Height, d.Interlace, d.ColorMap) != GIF_OK) {
            fine = false;
            continue;
        }
        if (d.Interlace) {
            static constexpr int start[4] = {0, 4, 2, 1};
            static constexpr int step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = start[pass]; row < d.Height; row += step[pass])
                    fine &= EGifPutLine(out, image.RasterBits + size_t(row) * d.Width, d.Width) == GIF_OK;
        } else {
            fine &= EGifPutLine(out, image.RasterBits, d.Width * d.Height) == GIF_OK;
        }
    }
    putExtensions(out, in->ExtensionBlockCount, in->ExtensionBlocks);
    EGifCloseFile(out, &error);
    if (refused)
        *refused = !fine;
}

struct Result {
    std::string name;
    double megapixels = 0;
    Timing ourLoad, theirLoad, ourLzw, theirLzw, ourRle;
    Timing threadedLoad; // frames decoded on Jobs threads; files of several frames only
    int frames = 0;
    size_t ourBytes = 0, theirBytes = 0, rleBytes = 0;
    // giflib wrote only part of the file, so its size is no yardstick.
    bool theirSaveRefused = false;
};

bool LoadOnly = false;
// For a profiler: only our loads, this many of each file, no timing.
int ProfileLoads = 0;

void print(const Result& r)
{
    auto rate = [&](const Timing& t) { return r.megapixels / t.seconds; };
    // The spread: how much slower the worst slice was than the best, for our side.
    auto spread = [](const Timing& t) { return 100.0 * (t.worst / t.seconds - 1); };
    std::printf("%-44s %7.3f | %7.1f %7.1f %6.2fx %4.0f%% %7.1f %7.1f", r.name.c_str(), r.megapixels, rate(r.ourLoad),
                rate(r.theirLoad), r.theirLoad.seconds / r.ourLoad.seconds, spread(r.ourLoad), r.ourLoad.minorFaults,
                r.theirLoad.minorFaults);
    if (!LoadOnly)
        std::printf(" | %7.1f %7.1f %5.2fx | %8zu %8zu %5.3f | %7.1f %5.2fx", rate(r.ourLzw), rate(r.theirLzw),
                    r.theirLzw.seconds / r.ourLzw.seconds, r.ourBytes, r.theirBytes,
                    double(r.ourBytes) / double(r.theirBytes), rate(r.ourRle), r.ourLzw.seconds / r.ourRle.seconds);
    std::printf("\n");
}

// A whole save into stream; returns its size.
size_t saveOurs(TGIFImage& image, TCompressionMethod method, TMemoryStream& stream)
{
    image.SetCompressionMethod(method);
    stream.SetSize(0);
    stream.SetPosition(0);
    image.SaveToStream(stream);
    return static_cast<size_t>(stream.Size());
}

double geometricMean(const std::vector<double>& values)
{
    double logs = 0;
    for (double v : values)
        logs += std::log(v);
    return values.empty() ? 0 : std::exp(logs / double(values.size()));
}

#ifndef CARNELO_BENCH_FLAGS
#define CARNELO_BENCH_FLAGS "?"
#endif

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--load-only")
            LoadOnly = true;
        else if (arg == "--profile" && i + 1 < argc)
            ProfileLoads = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--jobs" && i + 1 < argc)
            Jobs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--rounds" && i + 1 < argc)
            Rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg.starts_with("-")) {
            std::fprintf(stderr,
                         "usage: gif_bench [FOLDER [NAME-PART]] [--rounds N] [--jobs N] [--load-only] [--profile N]\n");
            return arg == "--help" || arg == "-h" ? 0 : 2;
        } else
            args.push_back(arg);
    }
    if (Jobs == 0)
        Jobs = WorkerThreads();
    const fs::path root = !args.empty() ? args[0] : "tests/data/gif";
    if (!fs::is_directory(root)) {
        std::fprintf(stderr, "gif_bench: %s is not a folder of GIF files\n", root.c_str());
        return 1;
    }
    // An optional second argument keeps only the files whose path contains it.
    const std::string only = args.size() > 1 ? args[1] : "";
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().extension() == ".gif" && entry.path().string().find(only) != std::string::npos)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("ours:   %s (compiler %s)\n", CARNELO_BENCH_FLAGS, __VERSION__);
    std::printf("giflib: %d.%d.%d, the distribution's shared library as packaged\n", GIFLIB_MAJOR, GIFLIB_MINOR,
                GIFLIB_RELEASE);
    std::printf("GLIBC_TUNABLES=%s\n", tunables ? tunables : "(unset)");
    std::printf("Megapixels per second (MP/s): best of %d interleaved slices of %.0f ms per side; spread = our "
                "worst slice over our best; faults = minor page faults per load.\n",
                Rounds, Slice * 1000);
    std::printf("%-44s %7s | %7s %7s %7s %5s %7s %7s", "file", "MP", "load", "giflib", "ratio", "sprd", "faults",
                "giflib");
    if (!LoadOnly)
        std::printf(" | %7s %7s %6s | %8s %8s %5s | %7s %6s", "LZW", "giflib", "ratio", "bytes", "giflib", "size",
                    "RLE", "vsLZW");
    std::printf("\n");

    std::vector<Result> results;
    Result total;
    total.name = "TOTAL (whole set, each file once)";
    total.ourLoad.seconds = total.theirLoad.seconds = total.ourLzw.seconds = total.theirLzw.seconds =
        total.ourRle.seconds = 0;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (ProfileLoads > 0) {
            for (int i = 0; i < ProfileLoads; ++i) {
                TGIFImage loaded;
                TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
                loaded.LoadFromStream(stream);
            }
            continue;
        }
        MemoryReader reader;
        GifFileType* slurped = giflibLoad(bytes, reader);
        if (!slurped)
            continue;

        TGIFImage image;
        TReadOnlyMemoryStream source(bytes.data(), bytes.size());
        try {
            image.LoadFromStream(source);
        } catch (const std::exception& e) {
            std::printf("%-44s our load failed: %s\n", fs::relative(path, root).c_str(), e.what());
            int error;
            DGifCloseFile(slurped, &error);
            continue;
        }

        Result r;
        r.name = fs::relative(path, root).string();
        int64_t pixels = 0;
        for (int i = 0; i < slurped->ImageCount; ++i)
            pixels += int64_t(slurped->SavedImages[i].ImageDesc.Width) * slurped->SavedImages[i].ImageDesc.Height;
        r.megapixels = double(pixels) / 1e6;

        auto loadOurs = [&](int threads) {
            TGIFImage loaded;
            loaded.SetDecodeThreads(threads);
            TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
            loaded.LoadFromStream(stream);
        };
        const auto load = timePerCall<2>({[&] { loadOurs(1); },
                                          [&] {
                                              MemoryReader again;
                                              GifFileType* gif = giflibLoad(bytes, again);
                                              int error;
                                              DGifCloseFile(gif, &error);
                                          }});
        r.ourLoad = load[0];
        r.theirLoad = load[1];
        r.frames = slurped->ImageCount;
        if (r.frames > 1) {
            // One thread again beside the threads, in turns, for a speed-up from one stretch of time.
            const auto threaded = timePerCall<2>({[&] { loadOurs(1); }, [&] { loadOurs(Jobs); }});
            r.ourLoad.seconds = std::min(r.ourLoad.seconds, threaded[0].seconds);
            r.threadedLoad = threaded[1];
        }
        if (!LoadOnly) {
            // Each side writes into an output kept from its last call, emptied but with its
            // memory kept: the figures are the coders', not those of fresh pages faulting
            // in, which hang on the allocator's state.
            TMemoryStream lzwOut, rleOut;
            std::vector<uint8_t> theirOut;
            const auto save = timePerCall<3>({[&] { saveOurs(image, cmLZW, lzwOut); },
                                              [&] { giflibSave(slurped, theirOut); },
                                              [&] { saveOurs(image, cmRLE, rleOut); }});
            r.ourLzw = save[0];
            r.theirLzw = save[1];
            r.ourRle = save[2];
            r.ourBytes = saveOurs(image, cmLZW, lzwOut);
            giflibSave(slurped, theirOut, &r.theirSaveRefused);
            r.theirBytes = theirOut.size();
            r.rleBytes = saveOurs(image, cmRLE, rleOut);
        }
        int error;
        DGifCloseFile(slurped, &error);

        print(r);
        total.megapixels += r.megapixels;
        for (auto [sum, part] : {std::pair{&total.ourLoad, &r.ourLoad},
                                 {&total.theirLoad, &r.theirLoad},
                                 {&total.ourLzw, &r.ourLzw},
                                 {&total.theirLzw, &r.theirLzw},
                                 {&total.ourRle, &r.ourRle}}) {
            sum->seconds += part->seconds;
            sum->worst += part->worst;
            sum->minorFaults += part->minorFaults;
        }
        total.ourBytes += r.ourBytes;
        total.theirBytes += r.theirBytes;
        total.rleBytes += r.rleBytes;
        results.push_back(r);
    }
    if (ProfileLoads > 0)
        return 0;
    std::printf("\n");
    print(total);
    std::vector<double> loadRatios, saveRatios;
    for (const Result& r : results) {
        loadRatios.push_back(r.theirLoad.seconds / r.ourLoad.seconds);
        if (!LoadOnly)
            saveRatios.push_back(r.theirLzw.seconds / r.ourLzw.seconds);
    }
    const double loadMean = geometricMean(loadRatios);
    std::printf("geometric mean of the per-file ratios: load %.2fx", loadMean);
    if (!LoadOnly)
        std::printf(", LZW save %.2fx", geometricMean(saveRatios));
    std::printf("\n");

    auto verdict = [](const std::string& what, double value, double target) {
        std::printf("  %-60s %6.2f  %s\n", what.c_str(), value, value >= target ? "met" : "NOT MET");
    };
    auto find = [&](const std::string& name) -> const Result* {
        for (const Result& r : results)
            if (r.name == name)
                return &r;
        return nullptr;
    };
    auto loadRatio = [](const Result& r) { return r.theirLoad.seconds / r.ourLoad.seconds; };
    std::printf("\nLoads that decode the frames on %d threads (beyond the peers; not in the targets), against one:\n",
                Jobs);
    std::vector<double> speedUps;
    for (const Result& r : results)
        if (r.frames > 1) {
            const double speedUp = r.ourLoad.seconds / r.threadedLoad.seconds;
            speedUps.push_back(speedUp);
            std::printf("  %-44s %3d frames  %8.1f MP/s  against %8.1f  %5.2fx\n", r.name.c_str(), r.frames,
                        r.megapixels / r.threadedLoad.seconds, r.megapixels / r.ourLoad.seconds, speedUp);
        }
    std::printf("  geometric mean of the speed-ups: %.2fx\n", geometricMean(speedUps));
    std::printf("\nTargets (single thread):\n");
    verdict("load over the set >= 6.5x giflib", loadRatio(total), 6.5);
    verdict("geometric mean of the load ratios >= 3x", loadMean, 3);
    double worst = 1e30;
    for (const Result& r : results)
        worst = std::min(worst, loadRatio(r));
    if (!results.empty())
        verdict("every file's load >= 2.2x (the slowest file)", worst, 2.2);
    for (auto [name, target] :
         {std::pair{"harvesters.gif", 2.3}, {"gifplayer-muybridge.gif", 12.0}, {"hibiscus.regular.gif", 2.8}})
        if (const Result* r = find(name))
            verdict(std::string(name) + " load >= " + std::to_string(target).substr(0, 4) + "x", loadRatio(*r), target);
    if (!LoadOnly) {
        auto saveRatio = [](const Result& r) { return r.theirLzw.seconds / r.ourLzw.seconds; };
        verdict("LZW save over the set >= 3x giflib", saveRatio(total), 3);
        if (const Result* r = find("harvesters.gif"))
            verdict("harvesters.gif LZW save >= 2.5x", saveRatio(*r), 2.5);
        size_t larger = 0;
        for (const Result& r : results) {
            if (r.theirSaveRefused)
                std::printf("  (%s: giflib refused a frame and wrote only part of the file; its size is not "
                            "compared)\n",
                            r.name.c_str());
            else
                larger += r.ourBytes > r.theirBytes;
        }
        std::printf("  %-60s %6zu  %s\n", "files whose LZW bytes exceed giflib's", larger, larger ? "NOT MET" : "met");
        size_t slower = 0;
        for (const Result& r : results)
            slower += r.ourRle.seconds >= r.ourLzw.seconds;
        std::printf("  %-60s %6zu  %s\n", "files whose RLE save is not faster than LZW", slower,
                    slower ? "NOT MET" : "met");
    }
    return 0;
}
