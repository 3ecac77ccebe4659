// Colour reduction to 256 colours, ours beside ImageMagick on the same photos in one run.
// Whole commands, file in and file out: `gifimg reduce --method quantize` against
// `convert -colors 256`, ImageMagick with its default threads and with OMP_NUM_THREADS=1,
// Floyd-Steinberg and undithered. The library call alone (ReduceColors on a bitmap
// already in memory) is timed beside them. PSNR of every output against its photo.
#include "framework/graphics/Bitmap.h"
#include "gif/ReduceColors.h"
#include "tools/gifimg/QtImages.h"

#include <QImage>

#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int CommandRounds = 5;
constexpr double MinLibrarySeconds = 0.5;

// The environment of this process, with OMP_NUM_THREADS replaced when threads > 0.
std::vector<std::string> environmentWith(int threads)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "OMP_NUM_THREADS=", 16) != 0)
            env.emplace_back(*e);
    if (threads > 0)
        env.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
    return env;
}

// Runs the command with its output streams on /dev/null; the wall time in seconds, or a
// negative value when it failed.
double runCommand(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    std::vector<char*> argv, envp;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

bool haveProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/" + name).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Command {
    const char* label;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string output;
    std::vector<double> times;
    double psnr = 0;
};

// Seconds per ReduceColors call, repeated for at least MinLibrarySeconds.
double timeLibrary(const TBitmap& bitmap, TDitherMethod dither)
{
    int calls = 0;
    double best = 1e30;
    const auto begin = Clock::now();
    do {
        const auto start = Clock::now();
        const auto result = ReduceColors(bitmap, crQuantize, dither, nullptr, 8);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        ++calls;
    } while (std::chrono::duration<double>(Clock::now() - begin).count() < MinLibrarySeconds || calls < 3);
    return best;
}

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
    const bool magick = haveProgram("convert");
    if (!magick)
        std::printf("ImageMagick's convert is not installed: only our own times follow.\n");

    const fs::path work = fs::temp_directory_path() / ("carnelo-colour-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::vector<std::string> defaultEnv = environmentWith(0), oneThreadEnv = environmentWith(1);

    std::printf("256 colours. Whole commands: median of %d runs, file in and file out. Library: best call of "
                "ReduceColors on the bitmap in memory.\nIM = ImageMagick convert -colors 256 (default threads; 1t "
                "with OMP_NUM_THREADS=1). Ratios: IM time / our command time. PSNR in dB against the photo.\n\n",
                CommandRounds);
    std::printf("%-22s %6s %-8s| %8s %8s | %8s %8s %6s %6s | %7s %7s\n", "photo", "MP", "dither", "ours lib",
                "ours cmd", "IM", "IM 1t", "ratio", "1t", "PSNR us", "PSNR IM");

    double totals[2][4] = {}; // per dither: library, our command, IM, IM one thread
    for (const fs::path& photo : photos) {
        const QImage image(QString::fromStdString(photo.string()));
        if (image.isNull()) {
            std::printf("%-22s cannot be read\n", photo.filename().c_str());
            continue;
        }
        const std::unique_ptr<TBitmap> bitmap = gifimg::toBitmap(image);
        const double megapixels = double(image.width()) * image.height() / 1e6;
        for (int d = 0; d < 2; ++d) {
            const bool fs = d == 0;
            const std::string stem = (work / photo.stem()).string() + (fs ? "-fs" : "-none");
            std::vector<Command> commands;
            commands.push_back({"ours",
                                {gifimg, "reduce", "-q", photo.string(), stem + "-ours.png", "--method", "quantize",
                                 "--dither", fs ? "floyd-steinberg" : "nearest"},
                                defaultEnv, stem + "-ours.png", {}, 0});
            if (magick) {
                for (int threads : {0, 1}) {
                    const std::string output = stem + (threads ? "-im1.png" : "-im.png");
                    std::vector<std::string> arguments{"convert", photo.string()};
                    if (fs)
                        arguments.insert(arguments.end(), {"-dither", "FloydSteinberg"});
                    else
                        arguments.push_back("+dither");
                    arguments.insert(arguments.end(), {"-colors", "256", output});
                    commands.push_back(
                        {threads ? "IM 1t" : "IM", arguments, threads ? oneThreadEnv : defaultEnv, output, {}, 0});
                }
            }
            // The commands take turns, so a change in the machine's load falls on all alike.
            bool failed = false;
            for (int round = 0; round < CommandRounds && !failed; ++round)
                for (Command& command : commands) {
                    const double seconds = runCommand(command.arguments, command.environment);
                    failed = failed || seconds < 0;
                    command.times.push_back(seconds);
                }
            if (failed) {
                std::printf("%-22s a command failed\n", photo.filename().c_str());
                continue;
            }
            for (Command& command : commands)
                command.psnr = gifimg::psnr(image, QImage(QString::fromStdString(command.output)));
            const double library = timeLibrary(*bitmap, fs ? dmFloydSteinberg : dmNearest);
            const double ours = median(commands[0].times);
            const double im = magick ? median(commands[1].times) : 0, im1 = magick ? median(commands[2].times) : 0;
            std::printf("%-22s %6.3f %-8s| %6.1fms %6.1fms | %6.1fms %6.1fms %5.2fx %5.2fx | %7.2f %7.2f\n",
                        photo.filename().c_str(), megapixels, fs ? "FS" : "none", library * 1e3, ours * 1e3,
                        im * 1e3, im1 * 1e3, im / ours, im1 / ours, commands[0].psnr,
                        magick ? commands[1].psnr : 0.0);
            const double row[4] = {library, ours, im, im1};
            for (int i = 0; i < 4; ++i)
                totals[d][i] += row[i];
        }
    }
    std::printf("\n");
    for (int d = 0; d < 2; ++d) {
        const double* t = totals[d];
        std::printf("TOTAL %-4s ours lib %7.1f ms, ours cmd %7.1f ms, IM %7.1f ms (%5.2fx), IM 1t %7.1f ms (%5.2fx)\n",
                    d == 0 ? "FS" : "none", t[0] * 1e3, t[1] * 1e3, t[2] * 1e3, t[2] / t[1], t[3] * 1e3, t[3] / t[1]);
    }
    if (magick)
        std::printf("Target: quantize + Floyd-Steinberg at least 2x as fast as ImageMagick: %s (%.2fx, %.2fx with one "
                    "thread)\n",
                    totals[0][2] / totals[0][1] >= 2 && totals[0][3] / totals[0][1] >= 2 ? "met" : "NOT met",
                    totals[0][2] / totals[0][1], totals[0][3] / totals[0][1]);
    fs::remove_all(work);
    return 0;
}
