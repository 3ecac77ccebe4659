// gifimg render and play as a user runs them: composed frames against reviewed pictures,
// exit codes, usage errors, and a window that plays and ends by itself.
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"

#include "tests/support/ByteBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/tools/GifImgRun.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

void writeFile(const std::string& file, const std::vector<uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

const std::vector<TColor> kColours = {RGB(250, 240, 230), RGB(200, 0, 0),   RGB(0, 160, 0),   RGB(0, 0, 220),
                                      RGB(90, 90, 90),    RGB(255, 255, 0), RGB(0, 255, 255), RGB(40, 20, 10)};

FramePlan frame(int left, int top, int width, int height, int first, int disposal, int transparent = -1)
{
    FramePlan f = solidFrame(left, top, width, height, 0);
    for (size_t i = 0; i < f.pixels.size(); ++i)
        f.pixels[i] = uint8_t(first + (i * 5) % 4);
    f.disposal = disposal;
    f.transparent = transparent;
    return f;
}

// Restore to previous after keep and after restore to background, with transparency.
const ImagePlan kDisposals{
    12,
    8,
    kColours,
    {frame(0, 0, 12, 8, 0, 1), frame(2, 1, 6, 5, 4, 2, 5), frame(4, 2, 6, 5, 1, 3, 2), frame(1, 3, 5, 4, 3, 0)}};
// Frames partly or wholly past the screen, a background index of its own.
const ImagePlan kClipped{
    10,       6,
    kColours, {frame(6, 2, 8, 6, 1, 2), frame(0, 0, 3, 3, 4, 1, 4), frame(20, 20, 2, 2, 2, 1), frame(8, 4, 4, 4, 3, 0)},
    -1,       6};

// Renders every frame of file and compares each with tests/data/golden/render-NAME-NNN.png;
// CARNELO_UPDATE_GOLDEN=1 writes the pictures instead.
void expectLikeReviewedPictures(const std::string& file, const std::string& name, int frames)
{
    TempDir dir;
    const Outcome run = gifimg({"render", q(file), "--all", q(dir.File("out"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(ListFolder(dir.File("out")).size(), size_t(frames));
    const char* update = std::getenv("CARNELO_UPDATE_GOLDEN");
    for (int k = 0; k < frames; ++k) {
        const QString number = QString("%1").arg(k, 3, 10, QChar('0'));
        const QImage actual(q(dir.File("out/frame-")) + number + ".png");
        ASSERT_EQ(actual.format(), QImage::Format_RGB32) << "an RGB picture without alpha";
        const QString golden = q(dataPath("../golden/render-" + name + "-")) + number + ".png";
        if (update && std::string(update) == "1")
            actual.save(golden);
        const QImage expected(golden);
        ASSERT_EQ(expected.size(), actual.size()) << golden.toStdString();
        EXPECT_TRUE(expected.convertToFormat(QImage::Format_RGB32) == actual) << golden.toStdString();
    }
}

TEST(GifImgRender, AllFramesLookAsTheirReviewedPictures)
{
    expectLikeReviewedPictures(dataPath("animated-red-blue.gif"), "animated-red-blue", 4);
    TempDir dir;
    writeFile(dir.File("disposals.gif"), saveGif(*buildImage(kDisposals)));
    expectLikeReviewedPictures(dir.File("disposals.gif"), "disposals", 4);
    writeFile(dir.File("clipped.gif"), saveGif(*buildImage(kClipped)));
    expectLikeReviewedPictures(dir.File("clipped.gif"), "clipped", 4);
}

TEST(GifImgRender, OneFrameEqualsItsPlaceInTheWholePass)
{
    TempDir dir;
    const QString file = q(dataPath("gifplayer-muybridge.gif"));
    ASSERT_EQ(gifimg({"render", file, "--all", q(dir.Path())}).exitCode, 0);
    ASSERT_EQ(gifimg({"render", file, q(dir.File("first.png"))}).exitCode, 0);
    EXPECT_TRUE(QImage(q(dir.File("first.png"))) == QImage(q(dir.File("frame-000.png"))));
    const Outcome toStandardOutput = gifimg({"render", file, "-", "--frame", "7"});
    ASSERT_EQ(toStandardOutput.exitCode, 0);
    EXPECT_TRUE(QImage::fromData(toStandardOutput.out, "PNG") == QImage(q(dir.File("frame-007.png"))));

    const int frames = int(ListFolder(dir.Path()).size()) - 1;
    const Outcome past = gifimg({"render", file, q(dir.File("past.png")), "--frame", QString::number(frames)});
    EXPECT_EQ(past.exitCode, 1);
    EXPECT_EQ(past.err, file + ": error: frame " + QString::number(frames) + " is past the last painted frame (" +
                            QString::number(frames) + " frames painted)\n");
}

TEST(GifImgRenderAndPlay, UsageErrorsAndHelp)
{
    const QStringList usage[] = {
        {"render", "a.gif"},
        {"render", "a.gif", "b", "c"},
        {"render", "a.gif", "b", "--all", "--frame", "1"},
        {"render", "a.gif", "b.png", "--frame", "-1"},
        {"render", "a.gif", "b.png", "--frame", "two"},
        {"play"},
        {"play", "a.gif", "b.gif"},
        {"play", "a.gif", "--rate", "fast"},
        {"play", "a.gif", "--stop-after", "0"},
        {"play", "a.gif", "--loud"},
    };
    for (const QStringList& arguments : usage) {
        const Outcome run = gifimg(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("gifimg " + arguments[0] + ": ")) << run.err.toStdString();
    }
    for (const char* command : {"render", "play"}) {
        const Outcome run = gifimg({command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith(QByteArray("Usage: gifimg ") + command)) << run.out.toStdString();
    }
}

TEST(GifImgRenderAndPlay, LoadAndBudgetFailuresExitWithOne)
{
    TempDir dir;
    WriteText(dir.File("cut.gif"), "GIF89a");
    // A few bytes declaring a 65535 x 65535 screen must not allocate its bitmap.
    ByteBuilder huge = gifHeader(65535, 65535, 2);
    huge.raw(imageDescriptor(0, 0, 1, 1).bytes()).raw(LzwCodes(2).add({4, 1, 5}).imageData()).u8(0x3B);
    writeFile(dir.File("huge.gif"), huge);
    const std::string cut = dir.File("cut.gif"), big = dir.File("huge.gif");
    struct Case {
        QStringList arguments;
        std::string error;
    } cases[] = {
        {{"render", q(cut), q(dir.File("x.png"))}, cut + ": error: Premature end of data"},
        {{"play", q(cut)}, cut + ": error: Premature end of data"},
        {{"render", q(big), q(dir.File("x.png"))}, big + ": error: Mémoire insuffisante"},
        {{"render", q(big), "--all", q(dir.File("frames"))}, big + ": error: Mémoire insuffisante"},
        {{"play", q(big)}, big + ": error: Mémoire insuffisante"},
        {{"render", "--max-pixels", "1000", q(dataPath("hat.gif")), q(dir.File("x.png"))},
         dataPath("hat.gif") + ": error: Mémoire insuffisante"},
    };
    for (const Case& c : cases) {
        const Outcome run = gifimg(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.err.toStdString(), c.error + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
}

TEST(GifImgPlay, EndsByItselfAfterTheFramesAskedFor)
{
    // Animated and looping for ever, then a still picture (one frame, no painter).
    for (const char* file : {"gifplayer-muybridge.gif", "pjw-thumbnail.gif"}) {
        const Outcome run = gifimg({"play", q(dataPath(file)), "--stop-after", "5", "--rate", "400"});
        EXPECT_EQ(run.exitCode, 0) << file << ": " << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("error")) << run.err.toStdString();
    }
}

} // namespace
