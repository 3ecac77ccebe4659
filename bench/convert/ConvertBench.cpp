// gifimg convert beside ImageMagick's convert on the photos, in one run: whole commands,
// ImageMagick with its own threads and with one (OMP_NUM_THREADS=1). Quality as PSNR of
// each output against its photo, both decoded by Qt and measured the same way.
#include "bench/optimize/Commands.h"

#include <QImage>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int Runs = 3;

// Over red, green and blue; the GIF decoded by Qt, alpha ignored.
double psnr(const std::string& photoFile, const std::string& gifFile)
{
    const QImage a = QImage(QString::fromStdString(photoFile)).convertToFormat(QImage::Format_RGB888);
    const QImage b = QImage(QString::fromStdString(gifFile)).convertToFormat(QImage::Format_RGB888);
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return NAN;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < a.width() * 3; ++i)
            sum += double(p[i] - q[i]) * double(p[i] - q[i]);
    }
    const double mse = sum / (double(a.width()) * a.height() * 3);
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: convert_bench GIFIMG PHOTO_DIR\n");
        return 2;
    }
    const std::string gifimg = bench::quoted(argv[1]);
    const fs::path work = fs::temp_directory_path() / "carnelo-convert-bench";
    fs::create_directories(work);
    std::vector<std::string> photos;
    for (const auto& entry : fs::directory_iterator(argv[2]))
        if (entry.path().extension() == ".png")
            photos.push_back(entry.path().string());
    std::sort(photos.begin(), photos.end());

    std::printf("Whole commands, median of %d runs, spread (max - min) / median in brackets. Time ratios: ImageMagick "
                "/ ours (above 1: ours is faster). PSNR in dB.\n",
                Runs);
    std::printf("%-22s %14s %14s %14s %7s %7s | %7s %7s %7s | %14s %7s\n", "photo", "ours s", "IM s", "IM 1 thr s",
                "IM/our", "IM1/our", "PSNR", "IM", "IM 1", "ours default s", "PSNR");
    std::vector<double> ratios, ratiosSingle;
    for (const std::string& photo : photos) {
        const std::string in = bench::quoted(photo);
        const std::string ours = (work / "ours.gif").string(), im = (work / "im.gif").string(),
                          im1 = (work / "im1.gif").string(), ourDefault = (work / "default.gif").string();
        const auto tOurs = bench::timeCommand(
            gifimg + " convert -q --method quantize --dither floyd-steinberg " + in + " " + bench::quoted(ours), Runs);
        const auto tIm = bench::timeCommand("convert " + in + " " + bench::quoted(im), Runs);
        const auto tIm1 = bench::timeCommand("OMP_NUM_THREADS=1 convert " + in + " " + bench::quoted(im1), Runs);
        const auto tDefault = bench::timeCommand(gifimg + " convert -q " + in + " " + bench::quoted(ourDefault), Runs);
        const std::string name = fs::path(photo).filename().string();
        if (tOurs.empty() || tIm.empty() || tIm1.empty() || tDefault.empty()) {
            std::printf("%-22s a command failed\n", name.c_str());
            continue;
        }
        const double mOurs = bench::median(tOurs), mIm = bench::median(tIm), mIm1 = bench::median(tIm1);
        ratios.push_back(mIm / mOurs);
        ratiosSingle.push_back(mIm1 / mOurs);
        std::printf("%-22s %6.3f (%4.2f) %6.3f (%4.2f) %6.3f (%4.2f) %7.2f %7.2f | %7.2f %7.2f %7.2f | %6.3f (%4.2f) "
                    "%7.2f\n",
                    name.c_str(), mOurs, bench::spread(tOurs), mIm, bench::spread(tIm), mIm1, bench::spread(tIm1),
                    mIm / mOurs, mIm1 / mOurs, psnr(photo, ours), psnr(photo, im), psnr(photo, im1),
                    bench::median(tDefault), bench::spread(tDefault), psnr(photo, ourDefault));
    }
    std::printf("%-22s %14s %14s %14s %7.2f %7.2f\n", "geometric mean", "", "", "", bench::geometricMean(ratios),
                bench::geometricMean(ratiosSingle));
    fs::remove_all(work);
    return 0;
}
