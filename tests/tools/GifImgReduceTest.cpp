// gifimg reduce as a user runs it: images of every kind in, palette PNGs out.
#include "tests/gif/GifTestUtil.h"

#include "gif/ColorMap.h"
#include "gif/Header.h"
#include "tests/support/TempDir.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome reduce(const QStringList& arguments)
{
    QProcess process;
    process.start(GIFIMG_PATH, QStringList{"reduce"} + arguments);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

// A smooth 24-bit picture with far more than 256 colours.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x + y) * 127 / (width + height)));
    return image;
}

const QList<QRgb> FiveColours{qRgb(250, 10, 10), qRgb(10, 250, 10), qRgb(10, 10, 250), qRgb(128, 128, 128),
                              qRgb(255, 255, 255)};

QImage fiveColourPalette()
{
    QImage image(9, 7, QImage::Format_Indexed8);
    image.setColorTable(FiveColours);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            image.setPixel(x, y, uint((x * 3 + y) % 5));
    return image;
}

std::set<QRgb> coloursOf(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y) | 0xFF000000);
    return colours;
}

TEST(GifImgReduce, EveryKindOfInputBecomesAPalettePng)
{
    TempDir dir;
    QImage alpha = gradient(40, 30).convertToFormat(QImage::Format_ARGB32);
    alpha.setPixel(3, 3, qRgba(10, 20, 30, 40));
    QImage grey = gradient(40, 30).convertToFormat(QImage::Format_Grayscale8);
    const std::pair<const char*, QImage> inputs[] = {
        {"rgb.png", gradient(40, 30)}, {"palette.png", fiveColourPalette()}, {"alpha.png", alpha}, {"grey.png", grey}};
    for (const auto& [name, image] : inputs) {
        ASSERT_TRUE(image.save(q(dir.File(name))));
        const std::string out = dir.File(std::string("out-") + name);
        const Outcome run =
            reduce({q(dir.File(name)), q(out), "--method", "quantize", "--dither", "floyd-steinberg", "--psnr"});
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err.toStdString();
        const QImage result(q(out));
        EXPECT_EQ(result.format(), QImage::Format_Indexed8) << name;
        EXPECT_EQ(result.size(), image.size()) << name;
        EXPECT_TRUE(run.out.contains(" PSNR ")) << name;
        EXPECT_TRUE(run.err.contains("reduced in")) << name;
        EXPECT_EQ(run.err.contains("alpha channel dropped"), std::string(name) == "alpha.png") << name;
    }
}

TEST(GifImgReduce, FewColoursComeOutExactly)
{
    TempDir dir;
    fiveColourPalette().save(q(dir.File("in.png")));
    const Outcome run = reduce({q(dir.File("in.png")), q(dir.File("out.png")), "--method", "quantize", "--bits", "3",
                                "--dither", "stucki", "--psnr"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("PSNR inf dB")) << run.out.toStdString();
    const QImage in(q(dir.File("in.png"))), out(q(dir.File("out.png")));
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x)
            ASSERT_EQ(out.pixel(x, y), in.pixel(x, y));
}

TEST(GifImgReduce, DefaultsToTheNetscapeCube)
{
    TempDir dir;
    gradient(30, 20).save(q(dir.File("in.png")));
    ASSERT_EQ(reduce({q(dir.File("in.png")), q(dir.File("out.png"))}).exitCode, 0);
    for (QRgb c : coloursOf(QImage(q(dir.File("out.png"))))) {
        EXPECT_EQ(qRed(c) % 51, 0);
        EXPECT_EQ(qGreen(c) % 51, 0);
        EXPECT_EQ(qBlue(c) % 51, 0);
    }
}

TEST(GifImgReduce, NoneCopiesInTheSourcesFormat)
{
    TempDir dir;
    gradient(20, 10).convertToFormat(QImage::Format_Grayscale8).save(q(dir.File("grey.png")));
    gradient(20, 10).save(q(dir.File("rgb.png")));
    for (const char* name : {"grey.png", "rgb.png"}) {
        const std::string out = dir.File(std::string("copy-") + name);
        ASSERT_EQ(reduce({q(dir.File(name)), q(out), "--method", "none"}).exitCode, 0) << name;
        const QImage in(q(dir.File(name))), copy(q(out));
        EXPECT_EQ(copy.format(), in.format()) << name;
        EXPECT_EQ(copy, in) << name;
    }
}

TEST(GifImgReduce, PaletteComesFromAGifOrAPalettePng)
{
    TempDir dir;
    gradient(30, 20).save(q(dir.File("in.png")));
    fiveColourPalette().save(q(dir.File("five.png")));
    ASSERT_EQ(reduce({q(dir.File("in.png")), q(dir.File("out5.png")), "--palette", q(dir.File("five.png"))}).exitCode,
              0);
    const QImage five(q(dir.File("out5.png")));
    for (QRgb c : coloursOf(five))
        EXPECT_TRUE(FiveColours.contains(c)) << std::hex << c;
    EXPECT_EQ(five.colorTable().mid(0, 5), FiveColours);

    const std::string gif = dataPath("hat.gif");
    ASSERT_EQ(reduce({q(dir.File("in.png")), q(dir.File("outgif.png")), "--method", "palette", "--palette", q(gif),
                      "--dither", "burkes"})
                  .exitCode,
              0);
    Loaded loaded = loadGif(readDataFile("hat.gif"));
    const TGIFColorMap& map = loaded->Header().ColorMap();
    ASSERT_GT(map.Count(), 0);
    const QList<QRgb> table = QImage(q(dir.File("outgif.png"))).colorTable();
    for (int i = 0; i < map.Count(); ++i)
        EXPECT_EQ(table[i], qRgb(map.Entries()[i].Red, map.Entries()[i].Green, map.Entries()[i].Blue)) << i;
}

TEST(GifImgReduce, FailuresAreReportedWithTheFileName)
{
    TempDir dir;
    WriteText(dir.File("text.png"), "not an image");
    const Outcome unreadable = reduce({q(dir.File("text.png")), q(dir.File("out.png"))});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_TRUE(unreadable.err.startsWith(q(dir.File("text.png")) + ": error: ")) << unreadable.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));

    gradient(4, 4).save(q(dir.File("in.png")));
    const Outcome notPalette =
        reduce({q(dir.File("in.png")), q(dir.File("out.png")), "--palette", q(dir.File("in.png"))});
    EXPECT_EQ(notPalette.exitCode, 1);
    EXPECT_TRUE(notPalette.err.contains("not a palette image"));

    const QStringList usage[] = {{q(dir.File("in.png")), q(dir.File("out.png")), "--method", "sepia"},
                                 {q(dir.File("in.png")), q(dir.File("out.png")), "--dither", "ordered"},
                                 {q(dir.File("in.png")), q(dir.File("out.png")), "--bits", "9"},
                                 {q(dir.File("in.png")), q(dir.File("out.png")), "--method", "palette"},
                                 {q(dir.File("in.png"))}};
    for (const QStringList& arguments : usage)
        EXPECT_EQ(reduce(arguments).exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));
}

TEST(GifImgReduce, RefinedPaletteServesAPhotoBetterThanTheOctree)
{
    TempDir dir;
    const QString photo = q(std::string(CARNELO_TEST_DATA) + "/photos/chelsea-crop.png");
    // The PSNR the command prints, for method and ditherer.
    const auto psnrOf = [&](const QString& method, const QString& dither) {
        const QString out = q(dir.File((method + "-" + dither + ".png").toStdString()));
        const Outcome run = reduce({photo, out, "--method", method, "--dither", dither, "--psnr"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QImage result(out);
        EXPECT_EQ(result.format(), QImage::Format_Indexed8);
        EXPECT_LE(coloursOf(result).size(), 256u);
        const qsizetype at = run.out.indexOf(" PSNR ");
        return at < 0 ? 0.0 : run.out.mid(at + 6).split(' ').first().toDouble();
    };
    EXPECT_GT(psnrOf("refined", "serpentine"), psnrOf("quantize", "floyd-steinberg") + 1);
    EXPECT_GT(psnrOf("refined", "nearest"), psnrOf("quantize", "nearest") + 1);

    const Outcome help = reduce({"--help"});
    EXPECT_TRUE(help.out.contains("refined") && help.out.contains("serpentine")) << help.out.toStdString();
}

} // namespace
