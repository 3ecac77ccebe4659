// TGIFImage as a graphic: registry, drawing without painters, palette, bitmaps, copying
// and the clipboard.
#include "tests/gif/ColourTestUtil.h"
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Clipboard.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/Picture.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

const std::vector<TColor> kColours = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(90, 90, 90)};

std::unique_ptr<TGIFImage> twoFrames()
{
    return buildImage({6, 4, kColours, {solidFrame(0, 0, 6, 4, 0), solidFrame(2, 1, 2, 2, 1)}});
}

std::unique_ptr<TBitmap> blank(int width, int height)
{
    auto bitmap = std::make_unique<TBitmap>(width, height);
    bitmap->Canvas().Brush().SetColor(clBlack);
    bitmap->Canvas().FillRect(Rect(0, 0, width, height));
    return bitmap;
}

} // namespace

TEST(GIFGraphic, IsRegisteredForFilesStoredPicturesAndTheClipboard)
{
    EXPECT_EQ(TPicture::FindClassByExtension("gif"), &TGIFImage::StaticClass());
    EXPECT_EQ(TPicture::FindClassByName("TGIFImage"), &TGIFImage::StaticClass());
    bool described = false;
    for (const TFileFormat& format : TPicture::FileFormats())
        described =
            described || (format.graphicClass == &TGIFImage::StaticClass() && format.description == "GIF Image");
    EXPECT_TRUE(described);
    EXPECT_EQ(GIFClipboardFormat(), RegisterClipboardFormat("GIF Image"));
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(GIFClipboardFormat()));

    const std::vector<uint8_t> gif = readDataFile("hippopotamus.regular.gif");
    ByteBuilder stored;
    stored.u8(9).text("TGIFImage").raw(gif);
    TPicture picture;
    TReadOnlyMemoryStream stream(stored.bytes().data(), stored.size());
    picture.ReadStored(stream);
    ASSERT_NE(dynamic_cast<TGIFImage*>(picture.Graphic()), nullptr);
    EXPECT_GT(picture.Width(), 0);
}

TEST(GIFGraphic, OneFrameOrNoAnimationDrawsFrameZeroWithoutAPainter)
{
    for (const bool animated : {false, true}) {
        auto image = animated ? twoFrames() : buildImage({6, 4, kColours, {solidFrame(0, 0, 6, 4, 2)}});
        image->SetDrawFlags(animated ? TGIFDrawFlags(dfTransparent) : DefaultDrawFlags);
        auto target = blank(12, 8);
        image->Draw(target->Canvas(), Rect(0, 0, 12, 8));
        EXPECT_EQ(image->Painter(), nullptr);
        EXPECT_EQ(image->Painters().Lock()->Count(), 0);
        EXPECT_EQ(pixelAt(*target, 11, 7), animated ? kColours[0] : kColours[2]);
    }
}

TEST(GIFGraphic, ACachedBitmapIsShownWithoutAPainterUntilItIsDropped)
{
    auto image = twoFrames();
    image->SetDrawFlags(dfAnimate | dfTransparent);
    ASSERT_NE(image->Bitmap(), nullptr);
    auto target = blank(6, 4);
    image->Draw(target->Canvas(), Rect(0, 0, 6, 4));
    EXPECT_EQ(image->Painters().Lock()->Count(), 0);
    EXPECT_EQ(pixelAt(*target, 2, 1), kColours[0]) << "frame 0 only";

    // Dropped, the next Draw plays the animation into a new buffer (here without a
    // thread and without waiting), and the one after shows it.
    image->DropBitmap();
    image->SetAnimationRate(-1);
    image->Draw(target->Canvas(), Rect(0, 0, 6, 4));
    EXPECT_EQ(image->Painters().Lock()->Count(), 0);
    image->Draw(target->Canvas(), Rect(0, 0, 6, 4));
    EXPECT_EQ(pixelAt(*target, 2, 1), kColours[1]);
    EXPECT_EQ(pixelAt(*target, 0, 0), kColours[0]);
}

TEST(GIFGraphic, ADirectAnimationIntoAnEmptyRectangleStartsNoPainter)
{
    auto image = twoFrames();
    image->SetDrawFlags(dfAnimate | dfDirect);
    auto target = blank(6, 4);
    image->Draw(target->Canvas(), Rect(3, 3, 3, 8));
    EXPECT_EQ(image->Painter(), nullptr);
    EXPECT_EQ(pixelAt(*target, 3, 3), clBlack);
}

TEST(GIFGraphic, TheBitmapShowsFrameZeroAtItsPlaceOnTheScreen)
{
    auto image = buildImage({6, 4, kColours, {solidFrame(2, 1, 2, 2, 1), solidFrame(0, 0, 6, 4, 0)}});
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 6);
    EXPECT_EQ(bitmap->Height(), 4);
    EXPECT_EQ(pixelAt(*bitmap, 2, 1), kColours[1]);
    EXPECT_EQ(image->Bitmap(), bitmap) << "kept";

    TBitmap copy;
    copy.CopyFrom(image.get());
    EXPECT_EQ(copy.Width(), 6);
    image->CopyInto(copy);
    EXPECT_EQ(pixelAt(copy, 3, 2), kColours[1]);

    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    image->SetHeight(5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(image->Bitmap()->Height(), 5) << "a new size makes a new bitmap";
}

TEST(GIFGraphic, ScreenSizedBitmapsAreRefusedBeyondThePixelBudgetBeforeAllocating)
{
    // A 40-byte file declaring a 65535 x 65535 screen and one 1 x 1 frame.
    const std::vector<uint8_t> gif = ByteBuilder(gifHeader(65535, 65535, 2))
                                         .raw(imageDescriptor(0, 0, 1, 1).bytes())
                                         .raw(LzwCodes(2).add({4, 1, 5}).imageData())
                                         .u8(0x3B);
    EXPECT_LE(gif.size(), 40u);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(messageOf<EOutOfMemory>([&] { loaded->Bitmap(); }), "Mémoire insuffisante");
    EXPECT_EQ(messageOf<EOutOfMemory>([&] { loaded->PaintBuffer(); }), "Mémoire insuffisante");
    auto target = blank(4, 4);
    TGIFPainter* painter = nullptr;
    EXPECT_THROW(loaded->StartPainting(painter, target->Canvas(), dfAnimate | dfEraseOnLoop, Rect(0, 0, 65535, 65535)),
                 EOutOfMemory);
}

TEST(GIFGraphic, TheHeightMayMeetTheLowestFrameButNotCutIt)
{
    auto image = buildImage({6, 9, kColours, {solidFrame(0, 3, 6, 4, 0)}});
    image->SetHeight(7);
    EXPECT_EQ(image->Height(), 7);
    EXPECT_EQ(messageOf<GIFException>([&] { image->SetHeight(6); }), "Image height too small for contained frames");
    EXPECT_EQ(image->Height(), 7);
}

TEST(GIFGraphic, TwoImagesOfTheSameContentAreNotEqual)
{
    auto a = twoFrames();
    auto b = twoFrames();
    EXPECT_FALSE(a->Equals(*b));
    EXPECT_TRUE(a->Equals(*a));
}

TEST(GIFPalette, ComesFromTheGlobalMapOrTheCubeAndRaisesWithoutAnyTable)
{
    auto image = twoFrames();
    image->SetDrawFlags(0);
    const TPalette* palette = image->QueryPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->Count(), 4);
    EXPECT_EQ(image->QueryPalette(), palette) << "cached";

    auto bare = buildImage({2, 2, {}, {solidFrame(0, 0, 2, 2, 0)}});
    bare->SetDrawFlags(0);
    EXPECT_EQ(messageOf<GIFException>([&] { bare->QueryPalette(); }), "No global or local color table defined");
    bare->SetDrawFlags(dfDither);
    EXPECT_EQ(bare->QueryPalette()->Count(), 216);
}

TEST(GIFPalette, ANewGlobalMapDropsTheBitmapAndTellsTheHost)
{
    auto image = twoFrames();
    image->SetDrawFlags(0);
    image->QueryPalette();
    ASSERT_NE(image->Bitmap(), nullptr);
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    image->Header().ColorMap().Add(RGB(1, 2, 3));
    EXPECT_TRUE(image->PaletteChanged());
    EXPECT_GE(changes, 1);
    EXPECT_EQ(image->Images().Items(0).Bitmap(), nullptr) << "frames on the global map render again";
}

TEST(GIFCopy, CopiesTheScreenFramesAndDrawingSettingsOnly)
{
    auto source = twoFrames();
    source->SetDrawFlags(dfAnimate | dfTile);
    source->SetFillColor(clRed);
    source->SetPainterPriority(TThreadPriority::tpLower);
    source->SetAnimationRate(300);
    source->SetReductionMethod(crGray4);
    std::vector<std::pair<TProgressStage, int>> reports;
    source->OnProgressStep = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                 const std::string& message) {
        if (message == "Copying...")
            reports.emplace_back(stage, percent);
    };
    TGIFImage copy;
    copy.SetAnimationRate(50);
    bool ownHandler = false;
    copy.OnFramePainted = [&](TObject*) { ownHandler = true; };
    copy.OnWarn = [](TObject*, int, const std::string&) {};
    copy.CopyFrom(source.get());

    using S = TProgressStage;
    EXPECT_EQ(reports, (std::vector<std::pair<S, int>>{
                           {S::psStarting, 0}, {S::psRunning, 50}, {S::psRunning, 100}, {S::psEnding, 100}}));
    ASSERT_EQ(copy.Images().Count(), 2);
    EXPECT_EQ(copy.Width(), 6);
    EXPECT_EQ(copy.Images().Items(1).BoundsRect(), Rect(2, 1, 4, 3));
    EXPECT_EQ(copy.Images().Items(1).Image(), &copy);
    EXPECT_EQ(copy.Header().ColorMap().Count(), 4);
    EXPECT_EQ(copy.DrawFlags(), dfAnimate | dfTile);
    EXPECT_EQ(copy.FillColor(), clRed);
    EXPECT_EQ(copy.PainterPriority(), TThreadPriority::tpLower);
    EXPECT_EQ(copy.ReductionMethod(), crGray4);
    EXPECT_EQ(copy.AnimationRate(), 50);
    EXPECT_TRUE(copy.OnFramePainted);
    EXPECT_FALSE(copy.OnProgressStep);
    EXPECT_FALSE(copy.OnWarn);
    EXPECT_EQ(copy.PixelBytes(), source->PixelBytes());
    EXPECT_EQ(saveGif(copy), saveGif(*source));
}

TEST(GIFCopy, AFailedCopyLeavesTheImageAsItWas)
{
    auto source = twoFrames();
    source->OnProgressStep = [](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
        if (stage == TProgressStage::psRunning)
            throw EOutOfMemory();
    };
    auto image = buildImage({3, 3, kColours, {solidFrame(0, 0, 3, 3, 3)}});
    const std::vector<uint8_t> before = saveGif(*image);
    bool warned = false;
    image->OnWarn = [&](TObject*, int, const std::string&) { warned = true; };
    EXPECT_THROW(image->CopyFrom(source.get()), EOutOfMemory);
    EXPECT_EQ(saveGif(*image), before);
    EXPECT_TRUE(image->OnWarn) << "its own handler is back";
    EXPECT_FALSE(image->OnProgressStep);
}

TEST(GIFCopy, NoneClearsAGraphicBecomesTheOneFrameAndOtherObjectsAreRefused)
{
    auto image = twoFrames();
    TPen pen;
    EXPECT_EQ(messageOf<EConvertError>([&] { image->CopyFrom(&pen); }), "Ne peut affecter TPen à TGIFImage");
    EXPECT_EQ(image->Images().Count(), 2);
    TBitmap bitmap(3, 2);
    image->CopyFrom(&bitmap);
    EXPECT_EQ(image->Images().Count(), 1);
    EXPECT_EQ(image->Width(), 3);
    image->CopyFrom(nullptr);
    EXPECT_TRUE(image->IsEmpty());
    EXPECT_EQ(image->Width(), 0);
}

TEST(GIFAdd, AFrameOfAnotherImageOrListIsCopiedNeverShared)
{
    auto image = twoFrames();
    auto other = twoFrames();
    TGIFSubImage& foreign = other->Images().Items(1);
    EXPECT_EQ(image->Add(&foreign), 2);
    EXPECT_NE(&image->Images().Items(2), &foreign);
    EXPECT_EQ(image->Images().Items(2).BoundsRect(), foreign.BoundsRect());
    EXPECT_EQ(other->Images().Count(), 2);

    EXPECT_EQ(image->Add(&image->Images().Items(0)), 3) << "a frame already in the list is copied too";
    EXPECT_NE(&image->Images().Items(3), &image->Images().Items(0));

    auto own = std::make_unique<TGIFSubImage>(image.get());
    TGIFSubImage* ownPointer = own.get();
    EXPECT_EQ(image->Add(std::move(own)), 4);
    EXPECT_EQ(&image->Images().Items(4), ownPointer);

    auto made = std::make_unique<TGIFSubImage>(other.get());
    made->SetBoundsRect(0, 0, 1, 1);
    TGIFSubImage* madePointer = made.get();
    EXPECT_EQ(image->Add(std::move(made)), 5);
    EXPECT_NE(&image->Images().Items(5), madePointer);
    EXPECT_EQ(image->Images().Items(5).Image(), image.get());

    TPen notAGraphic;
    EXPECT_EQ(messageOf<GIFException>([&] { image->Add(&notAGraphic); }), "Object type not supported for operation");
}

TEST(GIFClipboard, SavesTheScreenBitmapAndTheFileAndLoadsTheFileBack)
{
    Clipboard().Clear();
    auto image = buildImage({6, 4, kColours, {solidFrame(2, 1, 2, 2, 1), solidFrame(0, 0, 6, 4, 0)}});
    uint32_t format = 0;
    TClipboardData data;
    const TPalette* palette = nullptr;
    image->SaveClipboard(format, data, palette);
    EXPECT_EQ(format, CF_BITMAP);
    TBitmap bitmap;
    bitmap.LoadClipboard(CF_BITMAP, data, nullptr);
    EXPECT_EQ(bitmap.Width(), 6);
    EXPECT_EQ(pixelAt(bitmap, 2, 1), kColours[1]);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), ColorToRGB(clWhite)) << "outside frame 0, the bitmap's white";

    const std::optional<TClipboardData> file = Clipboard().Data(GIFClipboardFormat());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Bytes, saveGif(*image));

    TGIFImage loaded;
    loaded.LoadClipboard(GIFClipboardFormat(), TClipboardData{}, nullptr);
    EXPECT_EQ(loaded.Images().Count(), 2);
    EXPECT_EQ(messageOf<GIFException>([&] { loaded.LoadClipboard(CF_TEXT, data, nullptr); }),
              "Unsupported clipboard format");
    Clipboard().Clear();
    EXPECT_EQ(messageOf<GIFException>([&] { loaded.LoadClipboard(GIFClipboardFormat(), TClipboardData{}, nullptr); }),
              "Unsupported clipboard format");
}

TEST(GIFImage, ClearDropsFramesScreenPaletteAndBitmap)
{
    auto image = twoFrames();
    image->QueryPalette();
    image->Bitmap();
    image->Clear();
    EXPECT_TRUE(image->IsEmpty());
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->Header().ColorMap().Count(), 0);
    EXPECT_EQ(image->Bitmap(), nullptr);
    EXPECT_EQ(image->PixelBytes(), 0);
}
