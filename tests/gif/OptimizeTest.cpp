// Trimming, merging and the optimiser: smaller frames, the same timeline.
#include "tests/gif/GifTestUtil.h"
#include "tests/gif/ImageBuilder.h"
#include "tests/gif/Timeline.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Bitmap.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

namespace {

const std::vector<TColor> Four = {clRed, clLime, clBlue, clWhite};

FramePlan frame(int left, int top, int width, int height, std::vector<uint8_t> pixels, int transparent = -1,
                int disposal = -1, int delay = 0)
{
    FramePlan f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels = std::move(pixels);
    f.transparent = transparent;
    f.disposal = disposal;
    f.delay = delay;
    return f;
}

Timeline reloaded(TGIFImage& image)
{
    Loaded loaded = loadGif(saveGif(image));
    EXPECT_EQ(loaded.error, "");
    return timelineOf(*loaded.image);
}

// Optimises and checks the timeline of the saved result against the original's.
void expectSameTimeline(TGIFImage& image, TGIFOptimizations options)
{
    const Timeline before = reloaded(image);
    image.Optimize(options, crNone, dmNearest, 8);
    const Timeline after = reloaded(image);
    EXPECT_EQ(timelineDifference(before, after), "");
}

std::vector<uint8_t> pixels(TGIFSubImage& f)
{
    return {f.Data(), f.Data() + f.DataSize()};
}

TEST(Trim, CutsToTheOpaquePixels)
{
    auto image = buildImage({5,
                             4,
                             Four,
                             {frame(1, 0, 4, 4,
                                    {3, 3, 3, 3, //
                                     3, 3, 1, 3, //
                                     3, 0, 3, 3, //
                                     3, 3, 3, 3},
                                    3)}});
    TGIFSubImage& f = image->Images().Items(0);
    f.TrimTransparentBorders();
    EXPECT_EQ(f.BoundsRect(), Rect(2, 1, 4, 3));
    EXPECT_EQ(pixels(f), (std::vector<uint8_t>{3, 1, 0, 3}));
    EXPECT_EQ(image->PixelBytes(), 4);

    auto clear = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {2, 2}, 2)}});
    clear->Images().Items(0).TrimTransparentBorders();
    EXPECT_TRUE(clear->Images().Items(0).Empty());
    EXPECT_EQ(clear->PixelBytes(), 0);
}

TEST(Merge, EqualPixelsBecomeTransparent)
{
    // Offset frames: only the overlap counts, in each frame's own coordinates.
    auto image =
        buildImage({4, 2, Four, {frame(0, 0, 3, 2, {0, 1, 2, 0, 1, 2}), frame(1, 0, 3, 2, {1, 0, 3, 1, 1, 3})}});
    TGIFSubImage& second = image->Images().Items(1);
    second.MergeWithPrevious(&image->Images().Items(0));
    ASSERT_TRUE(second.Transparent());
    const int t = second.GraphicControlExtension()->TransparentColorIndex();
    EXPECT_EQ(t, 4); // black added to the global map
    EXPECT_EQ(pixels(second), (std::vector<uint8_t>{uint8_t(t), 0, 3, uint8_t(t), 1, 3}));
}

TEST(Merge, StopsWhereThePreviousFrameIsNotWhatShows)
{
    struct Case {
        const char* name;
        FramePlan previous, current;
        int background = 0;
    };
    const std::vector<Case> cases = {
        {"previous restores to background", frame(0, 0, 2, 1, {0, 1}, -1, 2), frame(0, 0, 2, 1, {0, 1})},
        {"previous restores to previous", frame(0, 0, 2, 1, {0, 1}, -1, 3), frame(0, 0, 2, 1, {0, 1})},
        {"no overlap", frame(0, 0, 1, 1, {0}), frame(1, 0, 1, 1, {0})},
        // Pixels set to an index beyond the map could not be written.
        {"own transparent index outside the map", frame(0, 0, 2, 1, {0, 1}), frame(0, 0, 2, 1, {0, 1}, 9)},
        // A background index past the global map would come to name the added black.
        {"background index just past the global map", frame(0, 0, 2, 1, {0, 1}), frame(0, 0, 2, 1, {0, 1}), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImagePlan plan{2, 1, Four, {c.previous, c.current}};
        plan.background = c.background;
        auto image = buildImage(plan);
        TGIFSubImage& f = image->Images().Items(1);
        const auto before = pixels(f);
        f.MergeWithPrevious(&image->Images().Items(0));
        EXPECT_EQ(pixels(f), before);
        EXPECT_EQ(image->Header().ColorMap().Count(), 4);
    }
}

TEST(Merge, IndicesBeyondTheMapNeverCountAsEqual)
{
    // Both draw black, yet 7 is nothing the map holds: the Part's rule read past the map.
    auto image = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {7, 1}), frame(0, 0, 2, 1, {7, 1}, 3)}});
    TGIFSubImage& f = image->Images().Items(1);
    f.MergeWithPrevious(&image->Images().Items(0));
    EXPECT_EQ(pixels(f), (std::vector<uint8_t>{7, 3}));
}

TEST(Merge, ChoosesTheTransparentIndexWithoutHidingPixels)
{
    struct Case {
        const char* name;
        FramePlan other;
        int expected;
    };
    // The current frame uses index 2 itself; borrowing it would hide its own blue pixel.
    const std::vector<Case> cases = {
        {"borrowed from another transparent frame", frame(0, 0, 1, 1, {0}, 3), 3},
        {"not borrowed when the frame uses it", frame(0, 0, 1, 1, {0}, 2), 4},
        {"not borrowed beyond the map", frame(0, 0, 1, 1, {0}, 200), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = buildImage({2, 1, Four, {c.other, frame(0, 0, 2, 1, {0, 1}), frame(0, 0, 2, 1, {0, 2})}});
        TGIFSubImage& f = image->Images().Items(2);
        f.MergeWithPrevious(&image->Images().Items(1));
        ASSERT_TRUE(f.Transparent());
        EXPECT_EQ(f.GraphicControlExtension()->TransparentColorIndex(), c.expected);
        EXPECT_EQ(pixels(f), (std::vector<uint8_t>{uint8_t(c.expected), 2}));
    }

    // A local map gets its own black entry.
    FramePlan local = frame(0, 0, 2, 1, {0, 1});
    local.local = {clRed, clGreen};
    auto image = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 0}), local}});
    TGIFSubImage& f = image->Images().Items(1);
    f.MergeWithPrevious(&image->Images().Items(0));
    EXPECT_EQ(f.ColorMap().Count(), 3);
    EXPECT_EQ(pixels(f), (std::vector<uint8_t>{2, 1}));

    // Index 2 lies beyond that map and shows black: the black entry added there would hide it.
    FramePlan beyond = frame(0, 0, 2, 1, {0, 2});
    beyond.local = {clRed, clGreen};
    auto withBeyond = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 0}), beyond}});
    TGIFSubImage& g = withBeyond->Images().Items(1);
    g.MergeWithPrevious(&withBeyond->Images().Items(0));
    EXPECT_EQ(g.ColorMap().Count(), 2);
    EXPECT_EQ(pixels(g), (std::vector<uint8_t>{0, 2}));
}

// Hand-built animations, each pass alone and all together.
std::vector<ImagePlan> animations()
{
    ImagePlan moving{6, 4, Four, {}, 0, 0};
    moving.frames.push_back(frame(0, 0, 6, 4, std::vector<uint8_t>(24, 0), -1, 1, 10));
    std::vector<uint8_t> second(24, 0);
    second[7] = second[8] = 2;
    moving.frames.push_back(frame(0, 0, 6, 4, second, -1, 1, 10));
    moving.frames.push_back(frame(0, 0, 6, 4, second, -1, 1, 5)); // equal picture
    moving.frames.push_back(frame(1, 1, 3, 2, {3, 3, 3, 3, 1, 3}, 3, 2, 20));
    moving.frames.push_back(frame(0, 0, 2, 2, {3, 3, 3, 3}, 3, 1, 30)); // shows nothing
    ImagePlan restores{4, 2, Four, {}, 2, 1};
    restores.frames.push_back(frame(0, 0, 2, 2, {0, 1, 2, 3}, -1, 2, 4));
    restores.frames.push_back(frame(0, 0, 4, 2, std::vector<uint8_t>(8, 1), -1, 3, 4));
    restores.frames.push_back(frame(1, 0, 2, 2, {0, 0, 0, 0}, -1, 3, 4));
    restores.frames.push_back(frame(0, 0, 4, 2, {0, 0, 1, 1, 2, 2, 0, 0}, 2, 0, 4));
    // Index 3 lies beyond the map and shows black; merging must not add its entry there.
    ImagePlan beyond{2, 1, {clRed, clLime, clBlue}, {}, 0, 0};
    beyond.frames = {frame(0, 0, 2, 1, {0, 1}, -1, 1, 5), frame(0, 0, 2, 1, {0, 3}, -1, 1, 5)};
    return {moving, restores, beyond};
}

TEST(Optimize, EveryPassAloneAndTogetherKeepsTheTimeline)
{
    for (int options : {int(goSortColorMaps), int(goCleanup), int(goMergeFrames), int(goTrimTransparent),
                        int(AllOptimizations), AllOptimizations | goMergeBySize | goLocalMapsBySize}) {
        for (const ImagePlan& plan : animations()) {
            SCOPED_TRACE(testing::Message() << "options " << int(options) << " frames " << plan.frames.size());
            auto image = buildImage(plan);
            expectSameTimeline(*image, TGIFOptimizations(options));
        }
    }
}

TEST(Optimize, FullyTransparentFramesFoldIntoThePreviousDelay)
{
    struct Case {
        const char* name;
        int previousDisposal, previousDelay, delay;
        bool dropped;
    };
    const std::vector<Case> cases = {
        {"folded", 1, 10, 30, true},
        {"sum beyond 16 bits", 1, 65000, 600, false},
        {"zero delay", 1, 0, 30, false},
        {"previous restores", 3, 10, 30, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = buildImage({2,
                                 2,
                                 Four,
                                 {frame(0, 0, 2, 2, {0, 1, 2, 0}, -1, c.previousDisposal, c.previousDelay),
                                  frame(0, 1, 2, 1, {3, 3}, 3, 1, c.delay)}});
        expectSameTimeline(*image, goTrimTransparent);
        ASSERT_EQ(image->Images().Count(), c.dropped ? 1 : 2);
        if (c.dropped) {
            EXPECT_EQ(image->Images().Items(0).GraphicControlExtension()->Delay(), c.previousDelay + c.delay);
        } else {
            // One transparent pixel keeps the frame and its delay.
            EXPECT_EQ(image->Images().Items(1).BoundsRect(), Rect(0, 1, 1, 2));
            EXPECT_EQ(image->Images().Items(1).GraphicControlExtension()->Delay(), c.delay);
        }
    }
    // Frame 0 with the loop extension stays; a restore to background is never trimmed.
    auto first = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {3, 3}, 3, 1, 10), frame(0, 0, 2, 1, {0, 1})}, 0});
    first->Optimize(goTrimTransparent, crNone, dmNearest, 8);
    EXPECT_EQ(first->Images().Count(), 2);
    auto restore = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 1}, -1, 1, 5), frame(0, 0, 2, 1, {3, 1}, 3, 2, 5)}});
    restore->Optimize(goTrimTransparent, crNone, dmNearest, 8);
    EXPECT_EQ(restore->Images().Items(1).Width(), 2);
    // Beyond the logical screen a frame widens the screen readers make: it keeps its size.
    auto beyond =
        buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 1}, -1, 1, 5), frame(0, 0, 1, 3, {1, 3, 3}, 3, 1, 5)}});
    expectSameTimeline(*beyond, goTrimTransparent);
    EXPECT_EQ(beyond->Images().Items(1).Height(), 3);
}

TEST(Optimize, CleanupKeepsWhatTheTimelineNeeds)
{
    // Unused transparency goes; a loop extension stays on an animation, goes from a still.
    auto image =
        buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 1}, 3, 1, 10), frame(0, 0, 2, 1, {1, 1}, -1, 1, 10)}, 0});
    image->Optimize(goCleanup, crNone, dmNearest, 8);
    EXPECT_FALSE(image->Images().Items(0).Transparent());
    EXPECT_EQ(timelineOf(*image).loops, 0);

    auto still = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 1}, -1, 1, 10)}, 3});
    still->Optimize(goCleanup, crNone, dmNearest, 8);
    EXPECT_EQ(still->Images().Items(0).Extensions().Count(), 0);

    // The first loop extension counts wherever it stands; later ones are never read.
    auto late = buildImage({2,
                            1,
                            Four,
                            {frame(0, 0, 2, 1, {0, 1}, -1, 1, 10), frame(0, 0, 2, 1, {1, 1}, -1, 1, 10),
                             frame(0, 0, 2, 1, {2, 1}, -1, 1, 10)}});
    for (int n : {1, 2}) {
        auto loop = std::make_unique<TGIFAppExtNSLoop>(&late->Images().Items(n));
        loop->SetIdentifier(AppIdentifier("NETSCAPE2.0"));
        loop->SetLoops(static_cast<uint16_t>(n));
        late->Images().Items(n).Extensions().Add(std::move(loop));
    }
    expectSameTimeline(*late, goCleanup);
    EXPECT_EQ(late->Images().Items(1).Extensions().Count(), 2);
    EXPECT_EQ(late->Images().Items(2).Extensions().Count(), 1);

    // An image of extensions alone saved before and must save after.
    TGIFImage bare;
    auto frame = std::make_unique<TGIFSubImage>(&bare);
    auto comment = std::make_unique<TGIFCommentExtension>(frame.get());
    comment->Text().Add("note");
    frame->Extensions().Add(std::move(comment));
    bare.Images().Add(std::move(frame));
    bare.Optimize(AllOptimizations, crNone, dmNearest, 8);
    EXPECT_EQ(loadGif(saveGif(bare)).error, "");
}

TEST(Optimize, DisposalBecomesNoneOnlyWhereNothingShowsIt)
{
    struct Case {
        const char* name;
        FramePlan next;
        int expected;
    };
    const std::vector<Case> cases = {
        {"covered", frame(0, 0, 3, 1, {1, 1, 1}, -1, 1, 5), 0},
        // The Part compared with the next frame's rectangle: a smaller next frame let
        // the first show through where it should have been restored.
        {"next frame smaller", frame(0, 0, 1, 1, {1}, -1, 1, 5), 2},
        {"next restores to previous", frame(0, 0, 3, 1, {1, 1, 1}, -1, 3, 5), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = buildImage({3, 1, Four, {frame(0, 0, 3, 1, {0, 2, 0}, -1, 2, 5), c.next}});
        expectSameTimeline(*image, goCleanup);
        EXPECT_EQ(image->Images().Items(0).GraphicControlExtension()->Disposal(), c.expected);
    }
    // A control block without image belongs to the next image once written.
    FramePlan bare;
    bare.disposal = 2;
    bare.delay = 5;
    auto image = buildImage({3, 1, Four, {bare, frame(0, 0, 2, 1, {1, 1}), frame(2, 0, 1, 1, {0}, -1, 1, 5)}});
    expectSameTimeline(*image, goCleanup | goTrimTransparent);
    EXPECT_EQ(image->Images().Items(0).GraphicControlExtension()->Disposal(), 2);
}

TEST(Optimize, SortingKeepsTheBackgroundColour)
{
    // No pixel uses the background entry; dropping it would fill frame 0's surroundings
    // with whatever colour took its index.
    auto image = buildImage({3, 1, Four, {frame(0, 0, 1, 1, {1}, -1, 1, 5), frame(1, 0, 1, 1, {1}, -1, 1, 5)}, -1, 3});
    expectSameTimeline(*image, goSortColorMaps);
    EXPECT_EQ(image->Header().ColorMap().Colors(image->Header().BackgroundColorIndex()), clWhite);

    // Beyond the map the background shows entry 0; sorting would put blue there.
    auto beyond = buildImage({3, 1, Four, {frame(0, 0, 1, 1, {2}, -1, 1, 5), frame(1, 0, 1, 1, {2}, -1, 1, 5)}, -1, 9});
    expectSameTimeline(*beyond, goSortColorMaps);
}

TEST(Optimize, FramesWithSeveralControlBlocksAreLeftAlone)
{
    auto image = buildImage({2, 1, Four, {frame(0, 0, 2, 1, {0, 1}, -1, 1, 5), frame(0, 0, 2, 1, {0, 1}, -1, 1, 5)}});
    TGIFSubImage& second = image->Images().Items(1);
    auto extra = std::make_unique<TGIFGraphicControlExtension>(&second);
    extra->SetDelay(9);
    second.Extensions().Add(std::move(extra));
    image->Optimize(AllOptimizations, crNone, dmNearest, 8);
    EXPECT_EQ(pixels(second), (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(second.Extensions().Count(), 2);
    EXPECT_EQ(image->Header().ColorMap().Count(), 4);
}

// A frame without image writes only its control block, which the next image takes as
// its own: restoring, that image is no ground for the next one to merge onto.
TEST(Optimize, AControlBlockWithoutImageBelongsToTheNextImage)
{
    auto image =
        buildImage({2,
                    1,
                    Four,
                    {frame(0, 0, 0, 0, {}, -1, 2, 5), frame(0, 0, 2, 1, {1, 1}), frame(0, 0, 2, 1, {1, 2}, -1, 1, 5)}});
    expectSameTimeline(*image, AllOptimizations);
}

TEST(Optimize, ReportsAndRefusals)
{
    auto image = buildImage(animations()[0]);
    std::vector<std::pair<TProgressStage, int>> reports;
    image->OnProgressStep = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                const std::string& message) {
        EXPECT_EQ(message, "Optimizing...");
        reports.emplace_back(stage, percent);
    };
    // Refused before any report or change.
    try {
        image->Optimize(goReduceColors, crPalette, dmNearest, 8);
        ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid reduction method");
    }
    EXPECT_TRUE(reports.empty());
    image->Optimize(goReduceColors | goCleanup, crPalette, dmNearest, 8);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front(), std::make_pair(TProgressStage::psStarting, 0));
    EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 100));
    for (size_t i = 1; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].first, TProgressStage::psRunning);
        EXPECT_GE(reports[i].second, reports[i - 1].second);
    }
    EXPECT_EQ(reports[reports.size() - 2].second, 100);

    TGIFImage empty;
    reports.clear();
    empty.OnProgressStep = image->OnProgressStep;
    empty.Optimize(AllOptimizations, crNone, dmNearest, 8);
    EXPECT_TRUE(reports.empty());
}

TEST(Optimize, StopsARunningPainterAndLeavesEveryFrameWholeOnFailure)
{
    auto image = buildImage(animations()[0]);
    TBitmap target(6, 4);
    image->SetAnimationRate(0); // frozen on its first frame until stopped
    TGIFPainter* painter = nullptr;
    image->StartPainting(painter, target.Canvas(), dfThreaded | dfAnimate, Rect(0, 0, 6, 4))->Start();
    ASSERT_EQ(image->Painters().Lock()->Count(), 1);
    image->Optimize(goSortColorMaps, crNone, dmNearest, 8);
    EXPECT_EQ(image->Painters().Lock()->Count(), 0);

    // Over its pixel budget, trimming cannot install a frame's kept pixels: the passes
    // before it stay done, and no frame is left without its pixels.
    image = buildImage(animations()[0]);
    const Timeline before = reloaded(*image);
    std::vector<std::pair<TProgressStage, int>> reports;
    image->OnProgressStep = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                const std::string&) { reports.emplace_back(stage, percent); };
    image->SetMaxPixelBytes(0);
    EXPECT_THROW(image->Optimize(AllOptimizations, crNone, dmNearest, 8), EOutOfMemory);
    EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 0));
    for (int i = 0; i < image->Images().Count(); ++i) {
        const TGIFSubImage& f = image->Images().Items(i);
        EXPECT_EQ(f.DataSize(), int64_t(f.Width()) * f.Height()) << "frame " << i;
    }
    image->SetMaxPixelBytes(DefaultMaxPixelBytes);
    EXPECT_EQ(timelineDifference(before, reloaded(*image)), "");
}

// The additions that choose by encoded size: smaller where they apply, the same picture.
TEST(Optimize, ChoicesBySizeShortenFramesTheFullMergeOrTheGlobalMapMakeLonger)
{
    std::vector<TColor> colours;
    for (int i = 0; i < 64; ++i)
        colours.push_back(RGB(i * 4, 255 - i * 4, i));
    // An area of one colour with a few dots that move: merged, it becomes transparent
    // noise. Then a frame of all 64 colours keeps the global map at six bits.
    ImagePlan dots{64, 32, colours, {}, 0, 0};
    for (int f = 0; f < 2; ++f) {
        std::vector<uint8_t> area(32 * 32, 0);
        for (int i = f; i < 32 * 32; i += 7)
            area[size_t(i)] = 1;
        dots.frames.push_back(frame(0, 0, 32, 32, area, -1, 1, 10));
    }
    std::vector<uint8_t> all(64);
    for (int i = 0; i < 64; ++i)
        all[size_t(i)] = uint8_t(i);
    dots.frames.push_back(frame(0, 0, 64, 1, all, -1, 1, 10));
    auto size = [&](TGIFOptimizations options) {
        auto image = buildImage(dots);
        const Timeline before = reloaded(*image);
        image->Optimize(options, crNone, dmNearest, 8);
        EXPECT_EQ(timelineDifference(before, reloaded(*image)), "");
        return std::make_pair(saveGif(*image).size(), image->Images().Items(0).ColorMap().Count());
    };
    const auto plain = size(AllOptimizations);
    const auto bySize = size(AllOptimizations | goMergeBySize);
    EXPECT_LT(bySize.first, plain.first);
    EXPECT_EQ(bySize.second, 0);
    // Two colours of 64: a local map of two entries starts the codes at three bits.
    const auto local = size(AllOptimizations | goMergeBySize | goLocalMapsBySize);
    EXPECT_LT(local.first, bySize.first);
    EXPECT_EQ(local.second, 2);
}

TEST(Optimize, WriteStoredOptimisesWhenAsked)
{
    auto image = buildImage(animations()[0]);
    const Timeline before = reloaded(*image);
    TMemoryStream plain;
    image->WriteStored(plain);
    OptimizeOnWrite = true;
    TMemoryStream optimised;
    image->WriteStored(optimised);
    OptimizeOnWrite = false;
    EXPECT_LT(optimised.Size(), plain.Size());
    EXPECT_EQ(timelineDifference(before, reloaded(*image)), "");
}

class MultiFrameFile : public testing::TestWithParam<std::string> {};

TEST_P(MultiFrameFile, KeepsItsTimeline)
{
    const auto bytes = readDataFile(GetParam());
    std::vector<int> sets = {AllOptimizations, AllOptimizations | goMergeBySize | goLocalMapsBySize};
    // Each pass alone where that stays quick; the longest file takes the default set only.
    if (bytes.size() < 100'000)
        sets.insert(sets.end(), {goSortColorMaps, goCleanup, goMergeFrames, goTrimTransparent});
    for (int options : sets) {
        SCOPED_TRACE(options);
        Loaded loaded = loadGif(bytes);
        ASSERT_EQ(loaded.error, "");
        expectSameTimeline(*loaded.image, TGIFOptimizations(options));
    }
    // Choosing by encoded size never costs bytes.
    Loaded plain = loadGif(bytes), bySize = loadGif(bytes);
    plain->Optimize(AllOptimizations, crNone, dmNearest, 8);
    bySize->Optimize(AllOptimizations | goMergeBySize | goLocalMapsBySize, crNone, dmNearest, 8);
    EXPECT_LE(saveGif(*bySize.image).size(), saveGif(*plain.image).size());
    // giflib reads our optimised file with the indices we read back.
    Loaded loaded = loadGif(bytes);
    loaded->Optimize(AllOptimizations, crNone, dmNearest, 8);
    const auto optimised = saveGif(*loaded.image);
    Loaded reload = loadGif(optimised);
    const auto frames = giflibDecode(optimised);
    ASSERT_NE(frames, nullptr);
    const std::vector<int> ours = framesWithImage(*reload.image);
    ASSERT_EQ(frames->size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i)
        EXPECT_EQ((*frames)[i].pixels, pixelsOf(*reload.image, ours[i])) << "frame " << i;
}

std::vector<std::string> multiFrameFiles()
{
    std::vector<std::string> files;
    for (const char* folder : {"", "artificial-gif"})
        for (const std::string& file : dataFiles(folder)) {
            Loaded loaded = loadGif(readDataFile(file));
            if (loaded.error.empty() && loaded->Images().Count() > 1 && loaded->Width() * loaded->Height() <= 200000)
                files.push_back(file);
        }
    return files;
}

INSTANTIATE_TEST_SUITE_P(TestData, MultiFrameFile, testing::ValuesIn(multiFrameFiles()), [](const auto& testInfo) {
    std::string name = testInfo.param;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

} // namespace
