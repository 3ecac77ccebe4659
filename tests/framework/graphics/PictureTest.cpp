#include "framework/graphics/Picture.h"

#include "RasterTestUtil.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Clipboard.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Screen.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {
// A graphic whose stored data is one byte; a stored 0xFF fails to read.
class TProbeGraphic : public TGraphic {
    CARNELO_CLASS(TProbeGraphic, TGraphic)
public:
    void Draw(TCanvas&, const TRect&) override {}
    bool IsEmpty() const override { return value == 0; }
    int QueryWidth() const override { return value; }
    int QueryHeight() const override { return value; }
    void ChangeWidth(int) override {}
    void ChangeHeight(int) override {}
    void LoadFromStream(TStream& stream) override
    {
        uint8_t byte = 0;
        stream.ReadBuffer(&byte, 1);
        if (byte == 0xFF)
            throw EInvalidGraphic("damaged");
        value = byte;
    }
    void SaveToStream(TStream& stream) override
    {
        const auto byte = static_cast<uint8_t>(value);
        stream.WriteBuffer(&byte, 1);
    }
    void CopyFrom(const TPersistent* source) override
    {
        if (auto* probe = dynamic_cast<const TProbeGraphic*>(source))
            value = probe->value;
        else
            TGraphic::CopyFrom(source);
    }
    int value = 0;
};

class TEarlyGraphic : public TProbeGraphic {
    CARNELO_CLASS(TEarlyGraphic, TProbeGraphic)
};

// What a library does from its start-up code, before main and the application object.
const uint32_t earlyFormat = RegisterClipboardFormat("Early Format");
const bool earlyRegistration = [] {
    TPicture::RegisterFileFormat("early", "Early", TEarlyGraphic::StaticClass());
    TPicture::RegisterClipboardFormat(earlyFormat, TEarlyGraphic::StaticClass());
    return Screen().BitsPerPixel() == 32;
}();

class PictureTest : public testing::Test {
protected:
    void SetUp() override { TPicture::RegisterFileFormat("prb", "Probe", TProbeGraphic::StaticClass()); }
    void TearDown() override { TPicture::UnregisterGraphicClass(TProbeGraphic::StaticClass()); }

    static std::vector<uint8_t> stored(const std::string& name, std::vector<uint8_t> data)
    {
        std::vector<uint8_t> bytes{static_cast<uint8_t>(name.size())};
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        return bytes;
    }
    static void read(TPicture& picture, const std::vector<uint8_t>& bytes)
    {
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        picture.ReadStored(stream);
    }
};
} // namespace

TEST_F(PictureTest, RegistryFindsClassesByExtensionAndByExactName)
{
    EXPECT_EQ(TPicture::FindClassByExtension("PRB"), &TProbeGraphic::StaticClass());
    EXPECT_EQ(TPicture::FindClassByExtension("bmp"), &TBitmap::StaticClass());
    EXPECT_EQ(TPicture::FindClassByExtension("ico"), &TIcon::StaticClass());
    EXPECT_EQ(TPicture::FindClassByName("TProbeGraphic"), &TProbeGraphic::StaticClass());
    EXPECT_EQ(TPicture::FindClassByName("tprobegraphic"), nullptr);
    EXPECT_EQ(TPicture::FindClassByExtension("xyz"), nullptr);
    EXPECT_THROW(TPicture::RegisterFileFormat("x", "x", TPicture::StaticClass()), EInvalidGraphicOperation);
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
}

TEST_F(PictureTest, StoredDataCreatesTheNamedClassAndNotifies)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    read(picture, stored("TProbeGraphic", {7}));
    ASSERT_NE(dynamic_cast<TProbeGraphic*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 7);
    EXPECT_EQ(changes, 1);
    // The picture listens to its graphic.
    picture.Graphic()->SetModified(true);
    EXPECT_EQ(changes, 2);

    TMemoryStream out;
    picture.WriteStored(out);
    EXPECT_EQ(out.Bytes(), stored("TProbeGraphic", {7}));
}

TEST_F(PictureTest, UnknownClassNameLeavesThePictureUnchanged)
{
    TPicture picture;
    read(picture, stored("TProbeGraphic", {3}));
    TGraphic* before = picture.Graphic();
    read(picture, stored("TNoSuchGraphic", {1, 2, 3}));
    EXPECT_EQ(picture.Graphic(), before);
}

TEST_F(PictureTest, FailingReadDestroysTheNewGraphicAndPassesTheErrorOn)
{
    TPicture picture;
    read(picture, stored("TProbeGraphic", {3}));
    TGraphic* before = picture.Graphic();
    EXPECT_THROW(read(picture, stored("TProbeGraphic", {0xFF})), EInvalidGraphic);
    EXPECT_EQ(picture.Graphic(), before);
    EXPECT_THROW(read(picture, {20, 'T'}), EReadError);
}

TEST_F(PictureTest, FilesLoadByExtension)
{
    TempDir dir;
    TBitmap bitmap(4, 2);
    bitmap.SaveFile(dir.File("p.BMP"));
    TPicture picture;
    picture.LoadFromFile(dir.File("p.BMP"));
    EXPECT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 4);
    try {
        picture.LoadFromFile(dir.File("p.txt"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Extension de fichier graphique inconnue (.txt)");
    }
    EXPECT_EQ(picture.Width(), 4);
    picture.SaveToFile(dir.File("q.bmp"));
    EXPECT_EQ(ReadText(dir.File("q.bmp")), ReadText(dir.File("p.BMP")));
}

TEST_F(PictureTest, CopiesAndForcedBitmap)
{
    TPicture a, b;
    read(a, stored("TProbeGraphic", {5}));
    b.CopyFrom(&a);
    ASSERT_NE(b.Graphic(), a.Graphic());
    EXPECT_EQ(b.Width(), 5);
    TBitmap& bitmap = b.Bitmap();
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(b.Graphic(), &bitmap);
    b.CopyFrom(nullptr);
    EXPECT_EQ(b.Graphic(), nullptr);
}

TEST(StartUp, RegistriesAndScreenWorkBeforeTheApplicationExists)
{
    EXPECT_TRUE(earlyRegistration);
    EXPECT_EQ(TPicture::FindClassByExtension("EARLY"), &TEarlyGraphic::StaticClass());
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(earlyFormat));
    EXPECT_EQ(RegisterClipboardFormat("early format"), earlyFormat);
    ScreenDepthOverride palette(8);
    EXPECT_EQ(Screen().BitsPerPixel(), 8);
}

TEST(Clipboard, FormatsAndDataBlocks)
{
    const uint32_t gif = RegisterClipboardFormat("GIF Image");
    EXPECT_GE(gif, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat("gif image"), gif);
    EXPECT_NE(RegisterClipboardFormat("Other"), gif);
    EXPECT_EQ(ClipboardFormatName(gif), "GIF Image");
    EXPECT_FALSE(ClipboardFormatName(CF_BITMAP));

    TBitmap bitmap(3, 2);
    bitmap.Canvas().SetPixel(0, 0, clRed);
    uint32_t format = 0;
    TClipboardData data;
    const TPalette* palette = nullptr;
    bitmap.SaveClipboard(format, data, palette);
    EXPECT_EQ(format, CF_BITMAP);
    Clipboard().SetData(format, data);
    Clipboard().SetData(gif, {{1, 2, 3}});
    EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));

    TPicture picture;
    picture.LoadFromClipboardFormat(CF_BITMAP, {}, nullptr); // empty data: the clipboard's own
    EXPECT_EQ(TCanvas(picture.Bitmap()).Pixel(0, 0), clRed);
    EXPECT_THROW(picture.LoadFromClipboardFormat(gif, {}, nullptr), EInvalidGraphic);
    Clipboard().Clear();
    EXPECT_FALSE(Clipboard().HasFormat(gif));
}
