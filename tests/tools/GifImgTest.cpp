// gifimg as a user runs it: the built program, its output streams and exit codes.
#include "tests/gif/GifTestUtil.h"

#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/tools/GifImgRun.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using Bytes = std::vector<uint8_t>;

QString path(const std::string& relative)
{
    return QString::fromStdString(dataPath(relative));
}

Bytes readFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& file, const Bytes& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

TEST(GifImg, CopiesAreReadByGiflibWithTheSameIndices)
{
    TempDir dir;
    auto files = dataFiles("");
    for (const char* folder : {"artificial-gif", "malformed"}) {
        const auto more = dataFiles(folder);
        files.insert(files.end(), more.begin(), more.end());
    }
    for (const std::string& file : files) {
        const std::string out = dir.File("copy.gif");
        std::filesystem::remove(out);
        Loaded ours = loadGif(readDataFile(file));
        const Outcome run = gifimg({"copy", "-q", path(file), QString::fromStdString(out)});
        if (!ours.error.empty() || ours->Images().Count() == 0) {
            EXPECT_EQ(run.exitCode, 1) << file;
            EXPECT_FALSE(std::filesystem::exists(out)) << file;
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << file << ": " << run.err.toStdString();
        const auto theirs = giflibDecode(readFile(out));
        ASSERT_TRUE(theirs) << file;
        const std::vector<int> frames = framesWithImage(*ours.image);
        ASSERT_EQ(frames.size(), theirs->size()) << file;
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_TRUE(pixelsOf(*ours.image, frames[i]) == (*theirs)[i].pixels) << file << " frame " << i;
    }
}

TEST(GifImg, CopyReadsStandardInputAndWritesStandardOutput)
{
    const Bytes original = readDataFile("hippopotamus.interlaced.gif");
    const Outcome run = gifimg({"copy", "--rle", "-", "-"},
                               QByteArray(reinterpret_cast<const char*>(original.data()), qsizetype(original.size())));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    Loaded copied = loadGif(Bytes(run.out.begin(), run.out.end()));
    ASSERT_EQ(copied.error, "");
    EXPECT_EQ(pixelsOf(*copied.image, 0), pixelsOf(*loadGif(original).image, 0));
}

TEST(GifImg, FailedCopyLeavesTheTargetAlone)
{
    TempDir dir;
    const std::string out = dir.File("kept.gif");
    WriteText(out, "kept");
    Outcome run = gifimg({"copy", path("malformed/no-frames.gif"), QString::fromStdString(out)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.toStdString(), out + ": error: Unsupported GIF version\n");
    EXPECT_EQ(ReadText(out), "kept");

    WriteText(dir.File("bad.gif"), "GIF89a");
    run = gifimg({"copy", QString::fromStdString(dir.File("bad.gif")), QString::fromStdString(out)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.toStdString(), dir.File("bad.gif") + ": error: Premature end of data\n");
    EXPECT_EQ(ReadText(out), "kept");
}

TEST(GifImg, InfoJsonDescribesFramesExtensionsAndWarnings)
{
    const Outcome run = gifimg({"info", "--json", path("animated-red-blue.gif")});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(info["requiredVersion"].toString(), "89a");
    EXPECT_EQ(info["signature"].toString(), "GIF89a");
    EXPECT_EQ(info["width"].toInt(), 64);
    EXPECT_EQ(info["height"].toInt(), 48);
    const QJsonArray frames = info["frames"].toArray();
    ASSERT_EQ(frames.size(), 4);
    const QJsonObject first = frames[0].toObject();
    EXPECT_EQ(first["localColors"].toInt(), 256);
    EXPECT_EQ(first["delay"].toInt(), 10);
    EXPECT_TRUE(first["transparentIndex"].isNull());
    const QJsonObject loop = first["extensions"].toArray()[0].toObject();
    EXPECT_EQ(loop["identifier"].toString(), "NETSCAPE2.0");
    EXPECT_EQ(loop["label"].toInt(), 0xFF);
    EXPECT_EQ(loop["loops"].toInt(), 2);
    EXPECT_EQ(frames[1].toObject()["transparentIndex"].toInt(), 2);
}

TEST(GifImg, InfoGoesOnAfterAFailingFile)
{
    const QString truncated = path("malformed/hippopotamus.interlaced.truncated.gif");
    Outcome run = gifimg({"info", "--json", truncated, "/no/such.gif", path("pjw-thumbnail.gif")});
    EXPECT_EQ(run.exitCode, 1);
    const QJsonArray all = QJsonDocument::fromJson(run.out).array();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].toObject()["warnings"].toArray(), QJsonArray{"Premature end of data"});
    EXPECT_FALSE(all[1].toObject()["error"].toString().isEmpty());
    EXPECT_EQ(all[2].toObject()["globalColors"].toInt(), 2);
    EXPECT_TRUE(run.err.startsWith(truncated + ": warning: Premature end of data\n/no/such.gif: error: "));

    run = gifimg({"info", "-q", truncated});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(run.out.contains("1 warning(s)"));
}

TEST(GifImg, ExtractsFramesWithAnImageInTheirColours)
{
    TempDir dir;
    const QString out = QString::fromStdString(dir.File("frames"));
    ASSERT_EQ(gifimg({"extract", path("animated-red-blue.gif"), out}).exitCode, 0);
    Loaded loaded = loadGif(readDataFile("animated-red-blue.gif"));
    EXPECT_EQ(ListFolder(out.toStdString()),
              (std::vector<std::string>{"frame-000.png", "frame-001.png", "frame-002.png", "frame-003.png"}));
    // Frame 1 draws through the global map, with index 2 transparent.
    const QImage png(out + "/frame-001.png");
    TGIFSubImage& frame = loaded->Images().Items(1);
    ASSERT_EQ(png.width(), frame.Width());
    const TGIFColorMap& map = frame.EffectiveColorMap();
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            const int index = frame.Pixels(x, y);
            const TGIFColor& entry = map.Entries()[index];
            const QRgb expected =
                index == 2 ? qRgba(entry.Red, entry.Green, entry.Blue, 0) : qRgb(entry.Red, entry.Green, entry.Blue);
            ASSERT_EQ(png.pixel(x, y), expected) << x << "," << y;
        }

    ASSERT_EQ(gifimg({"extract", "--raw", path("pjw-thumbnail.gif"), out}).exitCode, 0);
    EXPECT_EQ(readFile(out.toStdString() + "/frame-000.raw"),
              pixelsOf(*loadGif(readDataFile("pjw-thumbnail.gif")).image, 0));
}

TEST(GifImg, FrameWithoutColourMapBecomesGreyLevels)
{
    TempDir dir;
    ByteBuilder gif = gifHeader(2, 1, 0);
    gif.raw(imageDescriptor(0, 0, 2, 1).bytes()).raw(LzwCodes(2).add({4, 1, 3, 5}).imageData()).u8(0x3B);
    writeFile(dir.File("grey.gif"), gif);
    const Outcome run =
        gifimg({"extract", QString::fromStdString(dir.File("grey.gif")), QString::fromStdString(dir.Path())});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.toStdString(),
              dir.File("grey.gif") + ": warning: frame 0 has no colour table; written as grey levels\n");
    const QImage png(QString::fromStdString(dir.File("frame-000.png")));
    EXPECT_EQ(png.pixel(0, 0), qRgb(1, 1, 1));
    EXPECT_EQ(png.pixel(1, 0), qRgb(3, 3, 3));
}

TEST(GifImg, UsageErrorsAndHelp)
{
    EXPECT_EQ(gifimg({}).exitCode, 2);
    EXPECT_EQ(gifimg({"nothing"}).exitCode, 2);
    EXPECT_EQ(gifimg({"copy", "one"}).exitCode, 2);
    EXPECT_EQ(gifimg({"info", "--bogus", "x"}).exitCode, 2);
    EXPECT_EQ(gifimg({"extract", "--raw", "--png", "a", "b"}).exitCode, 2);
    EXPECT_EQ(gifimg({"info", "--max-pixels", "many", "x"}).exitCode, 2);
    for (const char* command : {"info", "extract", "copy"}) {
        const Outcome run = gifimg({command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith(QByteArray("Usage: gifimg ") + command)) << run.out.toStdString();
    }
}

TEST(GifImg, PixelLimitRefusesLargeImages)
{
    const Outcome run = gifimg({"info", "--max-pixels", "1000", path("hat.gif")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, path("hat.gif") + ": error: Mémoire insuffisante\n");
}

Outcome run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// gifimg runs these without Qt, and the Qt part must agree with it byte for byte.
TEST(GifImg, PlainCommandsLoadNoQtAndMatchTheQtPart)
{
    const QString gif = path("animated-red-blue.gif");
    const TempDir folder;
    const QList<QStringList> commands = {
        {"extract", gif, QString::fromStdString(folder.File("frames")), "--raw"},
        {"info", gif, "-q"},
        {"info", "--json", gif, path("hat.gif")},
        {"copy", "-rle", gif, "-"},
        {"optimize", "--max-pixels=100000", "--trim", "-sort", gif, "-"},
        {"optimize", gif, "-", "--max-pixels", "10"},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_DEBUG", "libs");
    for (const QStringList& arguments : commands) {
        const Outcome front = run(GIFIMG_PATH, arguments, environment);
        EXPECT_FALSE(front.err.contains("libQt6")) << arguments.join(' ').toStdString();
        const Outcome plain = run(GIFIMG_PATH, arguments);
        const Outcome qt = run(GIFIMG_QT_PATH, arguments);
        EXPECT_EQ(plain.exitCode, qt.exitCode);
        EXPECT_EQ(plain.out, qt.out) << arguments.join(' ').toStdString();
        EXPECT_EQ(plain.err, qt.err);
    }
    EXPECT_TRUE(run(GIFIMG_PATH, {"render", gif, "-"}, environment).err.contains("libQt6"));
}

TEST(GifImg, WithoutItsQtPartOnlyTheQtCommandsFail)
{
    const TempDir folder;
    const std::string alone = folder.File("gifimg");
    std::filesystem::copy_file(GIFIMG_PATH, alone);
    const QString program = QString::fromStdString(alone);
    EXPECT_EQ(run(program, {"optimize", path("hat.gif"), QString::fromStdString(folder.File("x.gif"))}).exitCode, 0);
    for (const QStringList& arguments : {QStringList{"render", path("hat.gif"), "-"}, QStringList{"info", "--help"}}) {
        const Outcome failed = run(program, arguments);
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_TRUE(failed.err.startsWith("gifimg: cannot run ")) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains("/gifimg-qt: No such file or directory"));
    }
}

} // namespace
