// gifimg optimize beside gifsicle -O2 and -O3 on the multi-frame test files and on a
// screen capture made afresh each run: bytes and time of whole commands, with ratios.
// Our output must keep the timeline (composed frames, delays, loop) of its input.
#include "bench/optimize/Commands.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "gif/ComposedFrames.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr int Runs = 5;

// 120 opaque frames of a desktop: a window moving now and then, text typed into it, a
// blinking caret; about half the frames repeat the one before.
void writeScreenCapture(const std::string& file)
{
    constexpr int W = 480, H = 320, Frames = 120;
    TGIFImage image;
    for (int i = 0; i < 48; ++i)
        image.Header().ColorMap().Add(RGB((i * 37) % 256, (i * 91) % 256, (i * 53) % 256));
    image.SetWidth(W);
    image.SetHeight(H);
    std::vector<uint8_t> screen(size_t(W) * H);
    int windowX = 40, windowY = 30, typed = 0;
    for (int f = 0; f < Frames; ++f) {
        const bool repeat = f % 2 == 1;
        if (!repeat) {
            if (f % 20 == 0)
                windowX = 40 + (f / 20) * 25, windowY = 30 + (f / 20) * 12;
            else
                ++typed;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    screen[size_t(y) * W + x] = uint8_t(1 + ((x / 40 + y / 40) & 1)); // desktop pattern
            for (int y = 0; y < 160; ++y)
                for (int x = 0; x < 240; ++x)
                    screen[size_t(windowY + y) * W + windowX + x] = y < 14 ? 3 : 4; // title bar, body
            // Typed "characters": small blocks of changing colour, line by line.
            for (int c = 0; c < typed; ++c) {
                const int cx = windowX + 6 + (c % 28) * 8, cy = windowY + 20 + (c / 28) * 12;
                for (int y = 0; y < 9; ++y)
                    for (int x = 0; x < 6; ++x)
                        if (((x + y + c) % 3) != 0)
                            screen[size_t(cy + y) * W + cx + x] = uint8_t(5 + c % 43);
            }
        }
        auto frame = std::make_unique<TGIFSubImage>(&image);
        auto control = std::make_unique<TGIFGraphicControlExtension>(frame.get());
        control->SetDelay(4);
        control->SetDisposal(1);
        frame->Extensions().Add(std::move(control));
        frame->SetBoundsRect(0, 0, W, H);
        std::copy(screen.begin(), screen.end(), frame->Data());
        image.Images().Add(std::move(frame));
    }
    TMemoryStream out;
    image.SaveToStream(out);
    out.SaveToFile(file);
}

TAnimationTimeline timelineOf(const std::string& file)
{
    TGIFImage image;
    image.LoadFile(file);
    return AnimationTimeline(image);
}

bool multiFrame(const std::string& file)
{
    try {
        TGIFImage image;
        image.LoadFile(file);
        int frames = 0;
        for (int i = 0; i < image.Images().Count(); ++i)
            frames += image.Images().Items(i).Empty() ? 0 : 1;
        return frames > 1;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const GIFLibrary library;
    if (argc == 3 && std::string(argv[1]) == "--capture") {
        writeScreenCapture(argv[2]);
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: optimize_bench GIFIMG TESTDATA_GIF_DIR | optimize_bench --capture OUT.gif\n");
        return 2;
    }
    const std::string gifimg = argv[1];
    const fs::path work = fs::temp_directory_path() / "carnelo-optimize-bench";
    fs::create_directories(work);
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(argv[2]))
        if (entry.path().extension() == ".gif" && multiFrame(entry.path().string()))
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    const std::string capture = (work / "screen-capture.gif").string();
    writeScreenCapture(capture);
    files.push_back(capture);

    std::printf("Whole commands, median of %d runs (spread = (max - min) / median). Ratios: ours / gifsicle.\n", Runs);
    std::printf("%-40s %9s | %9s %9s %9s %6s | %8s %8s %8s %6s %6s | %s\n", "file", "input", "ours", "-O2", "-O3",
                "bytes", "ours s", "-O2 s", "-O3 s", "time", "spread", "timeline");
    size_t totalIn = 0, totalOurs = 0, totalO2 = 0, totalO3 = 0;
    double timeOurs = 0, timeO2 = 0, timeO3 = 0;
    std::vector<double> byteRatios, timeRatios;
    bool allKept = true;
    for (const std::string& file : files) {
        const std::string ours = (work / "ours.gif").string(), o2 = (work / "o2.gif").string(),
                          o3 = (work / "o3.gif").string();
        const auto tOurs = bench::timeCommand(
            bench::quoted(gifimg) + " optimize -q " + bench::quoted(file) + " " + bench::quoted(ours), Runs);
        const auto tO2 = bench::timeCommand("gifsicle -O2 " + bench::quoted(file) + " -o " + bench::quoted(o2), Runs);
        const auto tO3 = bench::timeCommand("gifsicle -O3 " + bench::quoted(file) + " -o " + bench::quoted(o3), Runs);
        const std::string name = fs::path(file).filename().string();
        if (tOurs.empty() || tO2.empty() || tO3.empty()) {
            std::printf("%-40s a command failed\n", name.c_str());
            allKept = false;
            continue;
        }
        const size_t in = bench::readBytes(file).size(), bOurs = bench::readBytes(ours).size(),
                     bO2 = bench::readBytes(o2).size(), bO3 = bench::readBytes(o3).size();
        const bool kept = timelineOf(file) == timelineOf(ours);
        allKept = allKept && kept;
        const double mOurs = bench::median(tOurs), mO2 = bench::median(tO2), mO3 = bench::median(tO3);
        std::printf("%-40s %9zu | %9zu %9zu %9zu %6.3f | %8.3f %8.3f %8.3f %6.2f %6.2f | %s\n", name.c_str(), in, bOurs,
                    bO2, bO3, double(bOurs) / double(bO2), mOurs, mO2, mO3, mOurs / mO2, bench::spread(tOurs),
                    kept ? "kept" : "CHANGED");
        totalIn += in, totalOurs += bOurs, totalO2 += bO2, totalO3 += bO3;
        timeOurs += mOurs, timeO2 += mO2, timeO3 += mO3;
        byteRatios.push_back(double(bOurs) / double(bO2));
        timeRatios.push_back(mOurs / mO2);
    }
    std::printf("%-40s %9zu | %9zu %9zu %9zu %6.3f | %8.3f %8.3f %8.3f %6.2f\n", "total", totalIn, totalOurs, totalO2,
                totalO3, double(totalOurs) / double(totalO2), timeOurs, timeO2, timeO3, timeOurs / timeO2);
    std::printf("%-40s %9s | %9s %9s %9s %6.3f | %8s %8s %8s %6.2f\n", "geometric mean of ratios", "", "", "", "",
                bench::geometricMean(byteRatios), "", "", "", bench::geometricMean(timeRatios));
    fs::remove_all(work);
    if (!allKept) {
        std::printf("our output changed a timeline\n");
        return 1;
    }
    return 0;
}
