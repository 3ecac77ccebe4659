// Colour reduction to 256 colours, ours beside pngquant and ImageMagick on the same photos
// in one run. Whole commands, file in and file out, dithered and undithered:
//   ours      gifimg reduce --method refined --dither serpentine | nearest
//   octree    gifimg reduce --method quantize --dither floyd-steinberg | nearest
//   pngquant  pngquant 256 --force [--nofs] -o OUT IN
//   IM        convert IN -dither FloydSteinberg | +dither -colors 256 PNG8:OUT
// The commands take turns, CommandRounds times; times are medians. Our library call
// (ReduceColors on the bitmap in memory) is timed beside them. Every output must be an
// 8-bit palette PNG; its PSNR against the photo is computed here, by one formula for all.
#include "bench/support/Process.h"
#include "framework/graphics/Bitmap.h"
#include "gif/ReduceColors.h"
#include "tools/gifimg/QtImages.h"

#include <QImage>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int CommandRounds = 5;
constexpr int LibraryCalls = 5;
// Allowed shortfall of our dithered PSNR against pngquant's on any photo.
constexpr double DitheredTolerance = 0.3;

// The wall time of the command in seconds, or a negative value when it failed.
double runCommand(const std::vector<std::string>& arguments)
{
    const auto start = Clock::now();
    const bool ran = bench::runQuiet(arguments);
    return ran ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

struct Summary {
    double median = 0;
    double spread = 0; // (slowest - fastest) / 2, as a share of the median
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const double median = values[values.size() / 2];
    return {median, (values.back() - values.front()) / 2 / median};
}

// Bit depth 8 and colour type 3 (palette) in the IHDR chunk, which every PNG starts with.
bool isEightBitPalettePng(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    char header[26] = {};
    in.read(header, sizeof header);
    return in && std::string(header + 1, 3) == "PNG" && std::string(header + 12, 4) == "IHDR" && header[24] == 8 &&
           header[25] == 3;
}

// 10 log10(255^2 / MSE), the MSE taken over the red, green and blue samples of every pixel.
double psnr(const QImage& photo, const QImage& reduced)
{
    const QImage a = photo.convertToFormat(QImage::Format_RGB888), b = reduced.convertToFormat(QImage::Format_RGB888);
    if (a.size() != b.size())
        return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < 3 * a.width(); ++i)
            sum += double(p[i] - q[i]) * double(p[i] - q[i]);
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

struct Command {
    std::string label;
    std::vector<std::string> arguments;
    std::string output;
    std::vector<double> times;
    Summary time;
    double psnr = 0;
    bool palettePng = false;
};

enum Tool { Ours, Octree, Pngquant, Magick, ToolCount };
const char* const ToolNames[] = {"ours", "octree", "pngquant", "IM"};

// The commands of one photo, dithered or not; null arguments for peers not installed.
std::vector<Command> commandsFor(const std::string& gifimg, const fs::path& photo, const std::string& stem, bool dither,
                                 bool havePngquant, bool haveMagick)
{
    std::vector<Command> commands(ToolCount);
    for (int t = 0; t < ToolCount; ++t) {
        commands[size_t(t)].label = ToolNames[t];
        commands[size_t(t)].output = stem + "-" + ToolNames[t] + ".png";
    }
    const std::string in = photo.string();
    commands[Ours].arguments = {gifimg,
                                "reduce",
                                "-q",
                                in,
                                commands[Ours].output,
                                "--method",
                                "refined",
                                "--dither",
                                dither ? "serpentine" : "nearest"};
    commands[Octree].arguments = {gifimg,
                                  "reduce",
                                  "-q",
                                  in,
                                  commands[Octree].output,
                                  "--method",
                                  "quantize",
                                  "--dither",
                                  dither ? "floyd-steinberg" : "nearest"};
    if (havePngquant) {
        commands[Pngquant].arguments = {"pngquant", "256", "--force"};
        if (!dither)
            commands[Pngquant].arguments.push_back("--nofs");
        commands[Pngquant].arguments.insert(commands[Pngquant].arguments.end(), {"-o", commands[Pngquant].output, in});
    }
    if (haveMagick) {
        commands[Magick].arguments = {"convert", in};
        if (dither)
            commands[Magick].arguments.insert(commands[Magick].arguments.end(), {"-dither", "FloydSteinberg"});
        else
            commands[Magick].arguments.push_back("+dither");
        commands[Magick].arguments.insert(commands[Magick].arguments.end(),
                                          {"-colors", "256", "PNG8:" + commands[Magick].output});
    }
    return commands;
}

Summary timeLibrary(const TBitmap& bitmap, TReductionMethod method, TDitherMethod dither)
{
    std::vector<double> times;
    for (int i = 0; i < LibraryCalls; ++i) {
        const auto start = Clock::now();
        const auto result = ReduceColors(bitmap, method, dither, nullptr, 8);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return summarise(times);
}

std::string timeText(const Summary& s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%6.1fms±%2.0f%%", s.median * 1e3, s.spread * 100);
    return text;
}

struct Totals {
    double seconds[ToolCount] = {};
    double library = 0, octreeLibrary = 0;
    int photos = 0, atOrAbove = 0, withinTolerance = 0;
    double worstShortfall = -INFINITY; // pngquant's PSNR minus ours, largest over the photos
    double largestSpread = 0;
    bool allPalettePngs = true;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: colour_bench GIFIMG PHOTOS_DIR\n");
        return 2;
    }
    // A photo's colour profile draws a warning from libpng on every read; it says nothing here.
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio=false");
    const std::string gifimg = argv[1];
    std::vector<fs::path> photos;
    for (const auto& entry : fs::directory_iterator(argv[2]))
        if (entry.path().extension() == ".png")
            photos.push_back(entry.path());
    std::sort(photos.begin(), photos.end());
    const bool havePngquant = bench::haveProgram("pngquant"), haveMagick = bench::haveProgram("convert");
    if (!havePngquant)
        std::printf("pngquant is not installed: its columns stay empty.\n");
    if (!haveMagick)
        std::printf("ImageMagick's convert is not installed: its columns stay empty.\n");

    const fs::path work = fs::temp_directory_path() / ("carnelo-colour-bench-" + std::to_string(getpid()));
    fs::create_directories(work);

    std::printf("256 colours. Whole commands, file in and file out: median of %d runs taken in turns, ± half the "
                "range as a share of the median.\nours = gifimg reduce --method refined (--dither serpentine | "
                "nearest); octree = --method quantize (floyd-steinberg | nearest);\npngquant 256 [--nofs]; IM = "
                "convert -dither FloydSteinberg | +dither -colors 256 PNG8:. lib = ReduceColors alone, median of "
                "%d calls.\nRatios: peer time / our time. PSNR in dB against the photo, computed here from the "
                "PNGs.\n\n",
                CommandRounds, LibraryCalls);
    std::printf("%-18s %5s %-6s| %-13s %7s | %-13s %5s | %-13s %5s | %-13s %7s | %6s %6s %6s %6s\n", "photo", "MP",
                "dither", "ours", "lib", "pngquant", "ratio", "IM", "ratio", "octree", "lib", "ours", "pq", "IM",
                "octree");

    Totals totals[2];
    for (const fs::path& photo : photos) {
        const QImage image(QString::fromStdString(photo.string()));
        if (image.isNull()) {
            std::printf("%-18s cannot be read\n", photo.filename().c_str());
            continue;
        }
        const std::unique_ptr<TBitmap> bitmap = gifimg::toBitmap(image);
        const double megapixels = double(image.width()) * image.height() / 1e6;
        for (int d = 0; d < 2; ++d) {
            const bool dither = d == 0;
            const std::string stem = (work / photo.stem()).string() + (dither ? "-dither" : "-none");
            std::vector<Command> commands = commandsFor(gifimg, photo, stem, dither, havePngquant, haveMagick);
            bool failed = false;
            for (int round = 0; round < CommandRounds && !failed; ++round)
                for (Command& command : commands)
                    if (!command.arguments.empty()) {
                        const double seconds = runCommand(command.arguments);
                        failed = failed || seconds < 0;
                        command.times.push_back(seconds);
                    }
            if (failed) {
                std::printf("%-18s a command failed\n", photo.filename().c_str());
                continue;
            }
            Totals& total = totals[d];
            for (Command& command : commands) {
                if (command.arguments.empty())
                    continue;
                command.time = summarise(command.times);
                command.psnr = psnr(image, QImage(QString::fromStdString(command.output)));
                command.palettePng = isEightBitPalettePng(command.output);
                total.allPalettePngs = total.allPalettePngs && command.palettePng;
                total.largestSpread = std::max(total.largestSpread, command.time.spread);
                total.seconds[&command - commands.data()] += command.time.median;
            }
            const Summary library = timeLibrary(*bitmap, crQuantizeRefined, dither ? dmSerpentine : dmNearest);
            const Summary octreeLibrary = timeLibrary(*bitmap, crQuantize, dither ? dmFloydSteinberg : dmNearest);
            total.library += library.median;
            total.octreeLibrary += octreeLibrary.median;
            const Command &ours = commands[Ours], &pq = commands[Pngquant], &im = commands[Magick];
            ++total.photos;
            if (havePngquant) {
                total.atOrAbove += ours.psnr >= pq.psnr;
                total.withinTolerance += ours.psnr >= pq.psnr - DitheredTolerance;
                total.worstShortfall = std::max(total.worstShortfall, pq.psnr - ours.psnr);
            }
            auto ratio = [&](const Command& peer) {
                return peer.arguments.empty() ? 0.0 : peer.time.median / ours.time.median;
            };
            std::printf(
                "%-18s %5.3f %-6s| %s %5.1fms | %s %4.2fx | %s %4.2fx | %s %5.1fms | %6.2f %6.2f %6.2f %6.2f%s\n",
                photo.stem().c_str(), megapixels, dither ? "yes" : "no", timeText(ours.time).c_str(),
                library.median * 1e3, timeText(pq.time).c_str(), ratio(pq), timeText(im.time).c_str(), ratio(im),
                timeText(commands[Octree].time).c_str(), octreeLibrary.median * 1e3, ours.psnr, pq.psnr, im.psnr,
                commands[Octree].psnr,
                std::all_of(commands.begin(), commands.end(),
                            [](const Command& c) { return c.arguments.empty() || c.palettePng; })
                    ? ""
                    : "  (an output is not an 8-bit palette PNG)");
        }
    }

    std::printf("\n");
    for (int d = 0; d < 2; ++d) {
        const Totals& t = totals[d];
        std::printf("TOTAL %-10s ours %7.1f ms (lib %6.1f), pngquant %7.1f ms (%4.2fx), IM %7.1f ms (%4.2fx), octree "
                    "%6.1f ms (lib %6.1f); largest spread ±%.0f%%\n",
                    d == 0 ? "dithered" : "undithered", t.seconds[Ours] * 1e3, t.library * 1e3,
                    t.seconds[Pngquant] * 1e3, t.seconds[Pngquant] / t.seconds[Ours], t.seconds[Magick] * 1e3,
                    t.seconds[Magick] / t.seconds[Ours], t.seconds[Octree] * 1e3, t.octreeLibrary * 1e3,
                    t.largestSpread * 100);
    }
    const Totals &dithered = totals[0], &undithered = totals[1];
    std::printf("Every output an 8-bit palette PNG: %s\n",
                dithered.allPalettePngs && undithered.allPalettePngs ? "yes" : "NO");
    if (havePngquant) {
        auto verdict = [](bool met) { return met ? "met" : "NOT met"; };
        std::printf("Target: dithered PSNR at most %.1f dB below pngquant's on every photo: %s (worst %+.2f dB)\n",
                    DitheredTolerance, verdict(dithered.withinTolerance == dithered.photos), -dithered.worstShortfall);
        std::printf("Target: dithered PSNR at or above pngquant's on at least half the photos: %s (%d of %d)\n",
                    verdict(2 * dithered.atOrAbove >= dithered.photos), dithered.atOrAbove, dithered.photos);
        std::printf("Target: dithered whole command at least 2x as fast as pngquant's over the set: %s (%.2fx)\n",
                    verdict(dithered.seconds[Pngquant] >= 2 * dithered.seconds[Ours]),
                    dithered.seconds[Pngquant] / dithered.seconds[Ours]);
        std::printf(
            "Target: undithered PSNR at or above pngquant --nofs on every photo: %s (%d of %d, worst %+.2f dB)\n",
            verdict(undithered.atOrAbove == undithered.photos), undithered.atOrAbove, undithered.photos,
            -undithered.worstShortfall);
    }
    fs::remove_all(work);
    return 0;
}
