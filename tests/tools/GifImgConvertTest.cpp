// gifimg convert and optimize as a user runs them.
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"

#include "gif/ColorMap.h"
#include "gif/Extensions.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/TempDir.h"
#include "tests/tools/GifImgRun.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::vector<uint8_t> readFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QImage solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

TEST(GifImgConvert, AFolderBecomesAnAnimation)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("in"));
    // Byte order of names: B before a.
    ASSERT_TRUE(solid(4, 3, qRgb(255, 0, 0)).save(q(dir.File("in/a.png"))));
    ASSERT_TRUE(solid(6, 2, qRgb(0, 0, 255)).save(q(dir.File("in/B.png"))));
    WriteText(dir.File("in/notes.txt"), "not an image");
    const Outcome run = gifimg({"convert", q(dir.File("in")), q(dir.File("out.gif")), "--delay", "7", "--loop", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    Loaded loaded = loadGif(readFile(dir.File("out.gif")));
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded->Width(), 6);
    EXPECT_EQ(loaded->Height(), 3);
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_EQ(loaded->Images().Items(0).Width(), 6);
    EXPECT_EQ(loaded->Images().Items(0).EffectiveColorMap().Colors(0), RGB(0, 0, 255));
    for (int i = 0; i < 2; ++i) {
        TGIFSubImage& frame = loaded->Images().Items(i);
        EXPECT_EQ(frame.Left(), 0);
        ASSERT_NE(frame.GraphicControlExtension(), nullptr);
        EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 7);
    }
    const TGIFExtensionList& first = loaded->Images().Items(0).Extensions();
    bool looped = false;
    for (int e = 0; e < first.Count(); ++e)
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&first.Items(e)))
            looped = loop->Loops() == 3;
    EXPECT_TRUE(looped);

    // One input: no delay, no loop.
    ASSERT_EQ(gifimg({"convert", q(dir.File("in/a.png")), q(dir.File("one.gif"))}).exitCode, 0);
    Loaded one = loadGif(readFile(dir.File("one.gif")));
    EXPECT_EQ(one->Images().Items(0).Extensions().Count(), 0);
}

TEST(GifImgConvert, FailuresWriteNothing)
{
    TempDir dir;
    QImage many(300, 1, QImage::Format_RGB888);
    for (int x = 0; x < 300; ++x)
        many.setPixel(x, 0, qRgb(x % 256, x / 256 * 100, 5));
    ASSERT_TRUE(many.save(q(dir.File("many.png"))));
    ASSERT_TRUE(solid(2, 2, qRgb(1, 2, 3)).save(q(dir.File("ok.png"))));
    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"too many colours to keep",
         {q(dir.File("ok.png")), q(dir.File("many.png")), "--method", "none"},
         1,
         "Color table overflow"},
        {"unknown method", {q(dir.File("ok.png")), "--method", "best"}, 2, "unknown method"},
        {"a GIF input", {q(dataPath("muybridge.gif"))}, 1, "use copy or optimize"},
        {"missing input", {q(dir.File("absent.png"))}, 1, "absent.png: error:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = gifimg(QStringList{"convert"} + c.arguments + QStringList{q(dir.File("out.gif"))});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.gif")));
    }
}

TEST(GifImgConvert, PalettePsnrAndRleOptions)
{
    TempDir dir;
    QImage ramp(16, 4, QImage::Format_RGB888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            ramp.setPixel(x, y, qRgb(x * 16, y * 60, 128));
    ASSERT_TRUE(ramp.save(q(dir.File("a.png"))));
    ASSERT_TRUE(ramp.mirrored(true, false).save(q(dir.File("b.png"))));
    const std::vector<TColor> palette = {clRed, clLime, clBlue, clWhite};
    const auto paletteBytes = saveGif(*buildImage({1, 1, palette, {solidFrame(0, 0, 1, 1, 0)}}));
    std::ofstream(dir.File("palette.gif"), std::ios::binary)
        .write(reinterpret_cast<const char*>(paletteBytes.data()), long(paletteBytes.size()));
    const QStringList inputs = {q(dir.File("a.png")), q(dir.File("b.png"))};

    // --palette: every frame on one global map of the palette's colours.
    Outcome run = gifimg(QStringList{"convert"} + inputs +
                         QStringList{q(dir.File("p.gif")), "--palette", q(dir.File("palette.gif")), "--psnr"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    Loaded shared = loadGif(readFile(dir.File("p.gif")));
    ASSERT_EQ(shared.error, "");
    ASSERT_EQ(shared->Images().Count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(shared->Images().Items(i).ColorMap().Count(), 0) << "frame " << i;
    const TGIFColorMap& global = shared->Header().ColorMap();
    ASSERT_GT(global.Count(), 0);
    for (int i = 0; i < global.Count(); ++i)
        EXPECT_NE(std::find(palette.begin(), palette.end(), ColorValueOf(global.Entries()[i])), palette.end());
    // --psnr: one line per frame, a finite measure of a lossy reduction.
    for (const char* line : {"a.png: frame 0: PSNR ", "b.png: frame 1: PSNR "}) {
        const int at = int(run.out.indexOf(line));
        ASSERT_GE(at, 0) << run.out.toStdString();
        const double db = run.out.mid(at + int(strlen(line))).split(' ').front().toDouble();
        EXPECT_GT(db, 3.0);
        EXPECT_LT(db, 40.0);
    }

    // --rle: other codes, the same pixels.
    ASSERT_EQ(gifimg(QStringList{"convert"} + inputs + QStringList{q(dir.File("lzw.gif"))}).exitCode, 0);
    ASSERT_EQ(gifimg(QStringList{"convert"} + inputs + QStringList{q(dir.File("rle.gif")), "--rle"}).exitCode, 0);
    const auto lzw = readFile(dir.File("lzw.gif")), rle = readFile(dir.File("rle.gif"));
    EXPECT_NE(lzw, rle);
    Loaded fromLzw = loadGif(lzw), fromRle = loadGif(rle);
    ASSERT_EQ(fromRle.error, "");
    ASSERT_EQ(fromRle->Images().Count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(pixelsOf(*fromRle.image, i), pixelsOf(*fromLzw.image, i)) << "frame " << i;
}

TEST(GifImgOptimize, NeverWritesMoreThanItRead)
{
    TempDir dir;
    // Written by the library itself, nothing to remove: the input comes back byte for byte.
    auto still = buildImage({3, 1, {clRed, clLime}, {solidFrame(0, 0, 3, 1, 1)}});
    const auto stillBytes = saveGif(*still);
    std::ofstream(dir.File("still.gif"), std::ios::binary)
        .write(reinterpret_cast<const char*>(stillBytes.data()), long(stillBytes.size()));
    Outcome run = gifimg({"optimize", q(dir.File("still.gif")), q(dir.File("out.gif"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(dir.File("out.gif")), stillBytes);
    EXPECT_TRUE(run.out.contains("written unchanged"));

    // A repeated frame goes, its delay added to the one it repeats; through standard
    // input and output, the report on standard error.
    FramePlan a = solidFrame(0, 0, 8, 8, 1), b = solidFrame(0, 0, 8, 8, 1), c = solidFrame(0, 0, 8, 8, 2);
    a.disposal = b.disposal = c.disposal = 1;
    a.delay = 4;
    b.delay = 6;
    c.delay = 5;
    auto repeated = buildImage({8, 8, {clRed, clLime, clBlue}, {a, b, c}, 0});
    const auto bytes = saveGif(*repeated);
    run = gifimg({"optimize", "-", "-"},
                 QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_LT(size_t(run.out.size()), bytes.size());
    EXPECT_TRUE(run.err.contains("3 frames")) << run.err.toStdString();
    Loaded loaded = loadGif(std::vector<uint8_t>(run.out.begin(), run.out.end()));
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_EQ(loaded->Images().Items(0).GraphicControlExtension()->Delay(), 10);

    run = gifimg({"optimize", q(dir.File("absent.gif")), q(dir.File("none.gif"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.gif")));
}

TEST(GifImgConvert, HelpNamesTheOptions)
{
    for (const char* command : {"convert", "optimize"}) {
        const Outcome run = gifimg({command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.contains(command == std::string("convert") ? "--delay" : "--merge"));
    }
}

} // namespace
