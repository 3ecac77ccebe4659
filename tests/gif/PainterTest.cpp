// The animation painter on a fake clock: loops, delays, events and threads. The test
// thread is the user-interface thread; it runs the painters' synchronised calls and moves
// the clock only while a painter waits for it.
#include "tests/gif/ImageBuilder.h"

#include "framework/core/ApplicationHooks.h"
#include "framework/core/Clock.h"
#include "framework/core/Thread.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "gif/Extensions.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const std::vector<TColor> kColours = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(90, 90, 90)};

struct Event {
    std::string name;
    int frame;
    uint64_t time;
    friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e)
{
    return out << e.name << "(" << e.frame << ")@" << e.time;
}

class Painting : public testing::Test {
protected:
    void SetUp() override
    {
        SetCurrentClock(&clock);
        SetApplicationHooks({[this](std::exception_ptr error) {
                                 try {
                                     std::rethrow_exception(error);
                                 } catch (const Exception& e) {
                                     reported.push_back(std::string(IsMainThread() ? "main: " : "other: ") +
                                                        e.Message());
                                 }
                             },
                             nullptr, [this] { return ending; }});
    }

    void TearDown() override
    {
        runUntil([] { return TGIFPainter::Count() == 0; });
        SetApplicationHooks({});
        SetCurrentClock(nullptr);
    }

    // Frames of `delay` units each, the first carrying a loop extension when loops >= 0.
    std::unique_ptr<TGIFImage> animation(int frames, int delay, int loops = -1, int disposal = -1)
    {
        ImagePlan plan{4, 4, kColours, {}, loops};
        for (int i = 0; i < frames; ++i) {
            FramePlan f = solidFrame(0, 0, 4, 4, uint8_t(i % 4));
            f.delay = delay;
            f.disposal = disposal;
            plan.frames.push_back(f);
        }
        return buildImage(plan);
    }

    // Records the image's painter events with the clock's time, checking that each runs
    // on this thread with the painter as sender.
    void record(TGIFImage& image)
    {
        auto add = [this](const char* name) {
            return [this, name](TObject* sender) {
                auto* painter = dynamic_cast<TGIFPainter*>(sender);
                ASSERT_NE(painter, nullptr);
                EXPECT_TRUE(IsMainThread()) << name;
                events.push_back({name, painter->ActiveFrame(), clock.Milliseconds()});
                if (onEvent)
                    onEvent(name, *painter);
            };
        };
        image.OnPaintStart = add("start");
        image.OnFramePaint = add("paint");
        image.OnFramePainted = add("painted");
        image.OnPaintLoop = add("loop");
        image.OnPaintEnd = add("end");
    }

    // Runs synchronised calls and moves the clock to the next time-out whenever nothing
    // else is pending, until done holds.
    void runUntil(const std::function<bool()>& done)
    {
        while (!done()) {
            if (CheckSynchronize(0))
                continue;
            if (clock.Waiters() > 0 && PendingSynchronizeCalls() == 0)
                clock.AdvanceToNextDeadline();
            YieldThread();
        }
    }

    std::vector<Event> named(const std::string& name) const
    {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.name == name)
                out.push_back(e);
        return out;
    }

    std::vector<uint64_t> gaps(const std::string& name) const
    {
        const std::vector<Event> list = named(name);
        std::vector<uint64_t> out;
        for (size_t i = 1; i < list.size(); ++i)
            out.push_back(list[i].time - list[i - 1].time);
        return out;
    }

    // Plays the image threaded onto target until done, then stops every painter.
    void play(TGIFImage& image, TGIFDrawFlags flags, const std::function<bool()>& done)
    {
        TGIFPainter* painter = nullptr;
        TGIFPainter* started = image.StartPainting(painter, target.Canvas(), flags, Rect(0, 0, 4, 4));
        ASSERT_NE(started, nullptr);
        started->Start();
        runUntil([&] { return done() || painter == nullptr; });
        image.StopAllPainting();
    }

    FakeClock clock;
    TBitmap target{4, 4};
    std::vector<Event> events;
    std::vector<std::string> reported;
    std::function<void(const std::string&, TGIFPainter&)> onEvent;
    bool ending = false;
};

// Unthreaded painters sleep on the calling thread; the clock moves when it sleeps.
class UnthreadedPainting : public Painting {
protected:
    void SetUp() override
    {
        Painting::SetUp();
        clock.SetAutoAdvance(true);
    }

    void playUnthreaded(TGIFImage& image, TGIFDrawFlags flags)
    {
        TGIFPainter* painter = nullptr;
        EXPECT_EQ(image.StartPainting(painter, target.Canvas(), flags & ~dfThreaded, Rect(0, 0, 4, 4)), nullptr);
        EXPECT_EQ(painter, nullptr);
    }
};

constexpr TGIFDrawFlags kDefault = DefaultDrawFlags;

} // namespace

TEST_F(Painting, ALoopCountOfThreePlaysThreePassesThenEndsWithoutFrame)
{
    auto image = animation(2, 5, 3);
    record(*image);
    play(*image, kDefault, [&] { return !named("end").empty(); });
    EXPECT_EQ(named("painted").size(), 6u);
    EXPECT_EQ(named("loop").size(), 2u);
    ASSERT_EQ(named("end").size(), 1u);
    EXPECT_EQ(named("end")[0].frame, -1);
    EXPECT_EQ(events.front().name, "start");
    EXPECT_EQ(events[1], (Event{"paint", 0, 0})) << "the first frame on a thread does not wait";
}

TEST_F(Painting, WithoutALoopExtensionOnePassIsPlayed)
{
    auto image = animation(3, 5);
    record(*image);
    play(*image, kDefault, [&] { return !named("end").empty(); });
    EXPECT_EQ(named("painted").size(), 3u);
    EXPECT_TRUE(named("loop").empty());
}

TEST_F(Painting, ALoopCountOfZeroPlaysUntilStopped)
{
    auto image = animation(2, 5, 0);
    record(*image);
    play(*image, kDefault, [&] { return named("loop").size() == 5; });
    EXPECT_TRUE(named("end").empty()) << "a stopped painter fires no more events";
}

TEST_F(UnthreadedPainting, ALoopCountOfZeroPlaysOnceWithoutAThread)
{
    auto image = animation(2, 5, 0);
    record(*image);
    playUnthreaded(*image, kDefault);
    EXPECT_EQ(named("painted").size(), 2u);
    EXPECT_EQ(named("end").size(), 1u);
}

TEST_F(UnthreadedPainting, LoopingForeverIgnoresTheLoopCount)
{
    auto image = animation(2, 5, 1);
    record(*image);
    int loops = 0;
    onEvent = [&](const std::string& name, TGIFPainter& painter) {
        if (name == "loop" && ++loops == 4)
            painter.Stop();
    };
    playUnthreaded(*image, kDefault | dfLoopForever);
    EXPECT_EQ(loops, 4);
}

TEST_F(Painting, LaterPassesStartAtTheFrameThatCarriesTheLoopExtension)
{
    auto image = animation(3, 5);
    auto loop = std::make_unique<TGIFAppExtNSLoop>(&image->Images().Items(1));
    loop->SetLoops(2);
    image->Images().Items(1).Extensions().Add(std::move(loop));
    record(*image);
    play(*image, kDefault, [&] { return !named("end").empty(); });
    std::vector<int> frames;
    for (const Event& e : named("painted"))
        frames.push_back(e.frame);
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 1, 2}));
}

struct DelayCase {
    const char* name;
    int delay; // frame delay in the file; 0: no graphic control block
    int rate;
    bool threaded;
    uint64_t waited; // between the first two frames painted
};

class FrameDelay : public Painting, public testing::WithParamInterface<DelayCase> {};

TEST_P(FrameDelay, IsWaitedInDelayUnitsAtTheRate)
{
    const DelayCase& c = GetParam();
    auto image = c.delay ? animation(2, c.delay)
                         : buildImage({4, 4, kColours, {solidFrame(0, 0, 4, 4, 0), solidFrame(0, 0, 4, 4, 1)}});
    image->SetAnimationRate(c.rate);
    record(*image);
    if (c.threaded) {
        play(*image, kDefault, [&] { return named("paint").size() == 2; });
    } else {
        clock.SetAutoAdvance(true);
        TGIFPainter* painter = nullptr;
        image->StartPainting(painter, target.Canvas(), kDefault & ~dfThreaded, Rect(0, 0, 4, 4));
    }
    ASSERT_GE(named("paint").size(), 2u);
    EXPECT_EQ(named("paint")[1].time - named("paint")[0].time, c.waited);
}

INSTANTIATE_TEST_SUITE_P(Delays, FrameDelay,
                         testing::Values(DelayCase{"one_unit_counts_as_three", 1, 100, true, 36},
                                         DelayCase{"none_counts_as_ten", 0, 100, true, 120},
                                         DelayCase{"long_delays_stay_on_a_thread", 2000, 100, true, 24000},
                                         DelayCase{"long_delays_are_cut_without", 2000, 100, false, 12000},
                                         DelayCase{"double_rate_halves", 10, 200, true, 60},
                                         DelayCase{"negative_rate_never_waits", 10, -1, true, 0},
                                         DelayCase{"negative_rate_never_waits_without_thread", 10, -1, false, 0},
                                         DelayCase{"zero_rate_waits_the_longest_without_thread", 10, 0, false, 12000}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(UnthreadedPainting, TheFirstFrameWithoutAThreadWaitsOneUnit)
{
    auto image = animation(2, 5);
    record(*image);
    playUnthreaded(*image, kDefault);
    EXPECT_EQ(named("paint")[0].time, 12u);
}

TEST_F(Painting, AZeroRateFreezesOnTheCurrentFrameUntilStopped)
{
    auto image = animation(3, 5);
    image->SetAnimationRate(0);
    record(*image);
    TGIFPainter* painter = nullptr;
    image->StartPainting(painter, target.Canvas(), kDefault, Rect(0, 0, 4, 4))->Start();
    runUntil([&] { return named("painted").size() == 1 && clock.Waiters() == 1; });
    EXPECT_FALSE(clock.NextDeadline()) << "waits without limit";
    image->StopAllPainting();
    EXPECT_EQ(named("painted").size(), 1u);
}

TEST_F(Painting, HalfOfALateIntervalIsTakenOffTheNextWait)
{
    auto image = animation(4, 10);
    record(*image);
    // Each painted frame takes 40 ms of the painter's time on the user-interface thread.
    onEvent = [&](const std::string& name, TGIFPainter&) {
        if (name == "painted")
            clock.Advance(40);
    };
    play(*image, kDefault, [&] { return !named("end").empty(); });
    EXPECT_EQ(gaps("paint"), (std::vector<uint64_t>{140, 140, 140}));
}

TEST_F(Painting, AHandlerCanMakeTheAnimationJumpOrRestart)
{
    auto image = animation(3, 5);
    record(*image);
    int jumps = 0;
    onEvent = [&](const std::string& name, TGIFPainter& painter) {
        if (name == "painted" && painter.ActiveFrame() == 1 && jumps++ == 0)
            painter.SetActiveFrame(0);
        if (name == "painted" && painter.ActiveFrame() == 2 && named("start").size() == 1)
            painter.SetRestart(true);
    };
    play(*image, kDefault, [&] { return !named("end").empty(); });
    std::vector<int> frames;
    for (const Event& e : events)
        if (e.name == "painted" || e.name == "start")
            frames.push_back(e.name == "start" ? -10 : e.frame);
    EXPECT_EQ(frames, (std::vector<int>{-10, 0, 1, 0, 1, 2, -10, 0, 1, 2}));
}

TEST_F(Painting, AnEmptyFrameEndsThePass)
{
    ImagePlan plan{4, 4, kColours, {solidFrame(0, 0, 4, 4, 0), FramePlan{}, solidFrame(0, 0, 4, 4, 1)}, 2};
    auto image = buildImage(plan);
    record(*image);
    play(*image, kDefault, [&] { return !named("end").empty(); });
    std::vector<int> frames;
    for (const Event& e : named("painted"))
        frames.push_back(e.frame);
    EXPECT_EQ(frames, (std::vector<int>{0, 0}));
}

TEST_F(Painting, EraseOnLoopMakesTheFrameBufferWithoutRestoringDisposals)
{
    auto image = animation(2, 5);
    TGIFPainter plain(kDefault, Rect(0, 0, 4, 4), target.Canvas(), *image);
    EXPECT_EQ(plain.FrameBuffer(), nullptr);
    TGIFPainter erasing(kDefault | dfEraseOnLoop, Rect(0, 0, 4, 4), target.Canvas(), *image);
    EXPECT_NE(erasing.FrameBuffer(), nullptr);
    EXPECT_NE(erasing.BackgroundSave(), nullptr);
}

TEST_F(Painting, ACanvasThatLostItsHandleEndsACheckingPainterQuietly)
{
    auto image = animation(3, 5, 0);
    record(*image);
    onEvent = [&](const std::string& name, TGIFPainter&) {
        if (name == "painted")
            target.Dormant();
    };
    play(*image, kDefault | dfCheckCanvas | dfEraseOnLoop, [&] { return false; });
    EXPECT_EQ(named("painted").size(), 1u);
    EXPECT_TRUE(named("end").empty());
    EXPECT_TRUE(reported.empty());
}

TEST_F(Painting, AFrameBelowZeroFailsThePainterAndTheApplicationHearsOfItOnce)
{
    auto image = animation(2, 5, 0);
    record(*image);
    onEvent = [](const std::string& name, TGIFPainter& painter) {
        if (name == "painted")
            painter.SetActiveFrame(-1);
    };
    play(*image, kDefault, [&] { return false; });
    EXPECT_EQ(reported, std::vector<std::string>{"main: Index de liste hors limites (-1)"});
}

TEST_F(UnthreadedPainting, AFailureWithoutAThreadReachesTheCallerOfDraw)
{
    auto image = animation(2, 5);
    image->SetDrawFlags(kDefault & ~dfThreaded);
    record(*image);
    onEvent = [](const std::string& name, TGIFPainter& painter) {
        if (name == "painted")
            painter.SetActiveFrame(-1);
    };
    EXPECT_THROW(image->Draw(target.Canvas(), Rect(0, 0, 4, 4)), EListError);
    EXPECT_EQ(TGIFPainter::Count(), 0) << "the painter is gone first";
    EXPECT_TRUE(reported.empty());
}

TEST_F(Painting, DrawWaitsForTheFirstFrameAndShowsTheBuffer)
{
    auto image = animation(2, 50, 0);
    image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(pixelAt(target, 1, 1), kColours[0]);
    ASSERT_NE(image->Painter(), nullptr);
    EXPECT_EQ(image->Painter()->TargetCanvas(), &image->PaintBuffer().Canvas());

    TBitmap other(4, 4);
    image->SetDrawFlags(kDefault | dfDirect);
    image->Draw(other.Canvas(), Rect(0, 0, 4, 4));
    TGIFPainter* direct = image->Painter();
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(direct->TargetCanvas(), &other.Canvas());
    image->Draw(other.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(image->Painter(), direct) << "the same canvas and rectangle keep their painter";
    image->StopAllPainting();
    EXPECT_EQ(image->Painter(), nullptr);

    // Into an empty rectangle a buffered animation still plays on its whole buffer.
    image->SetDrawFlags(kDefault);
    image->DropBitmap();
    image->Draw(other.Canvas(), Rect(3, 3, 3, 8));
    EXPECT_NE(image->Painter(), nullptr);
    image->StopAllPainting();
}

TEST_F(Painting, FramesRenderedAheadReportOnTheUserInterfaceThreadInOrder)
{
    auto image = animation(3, 5);
    std::vector<std::string> reports;
    image->OnProgressStep = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                const std::string& message) {
        EXPECT_TRUE(IsMainThread());
        int frame = -1;
        for (int i = 0; i < image->Images().Count(); ++i)
            if (&image->Images().Items(i) == sender)
                frame = i;
        reports.push_back(message + std::to_string(frame) + ":" + std::to_string(int(stage)) + "/" +
                          std::to_string(percent));
    };
    record(*image);
    play(*image, kDefault, [&] { return !named("end").empty(); });
    // Frame 0 renders as it is first drawn, the later ones ahead of their delay.
    EXPECT_EQ(reports, (std::vector<std::string>{"Rendering...0:0/0", "Rendering...0:1/0", "Rendering...0:2/100",
                                                 "Rendering...1:0/0", "Rendering...1:1/0", "Rendering...1:2/100",
                                                 "Rendering...2:0/0", "Rendering...2:1/0", "Rendering...2:2/100"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(image->Images().Items(i).Bitmap(), nullptr);
}

TEST_F(Painting, StopEndsAPainterThatWaitsWithoutTheClockMoving)
{
    auto image = animation(2, 500, 0);
    record(*image);
    TGIFPainter* painter = nullptr;
    image->StartPainting(painter, target.Canvas(), kDefault, Rect(0, 0, 4, 4))->Start();
    runUntil([&] { return named("painted").size() == 1 && clock.Waiters() == 1; });
    const uint64_t before = clock.Milliseconds();
    image->StopAllPainting();
    EXPECT_EQ(painter, nullptr);
    EXPECT_EQ(image->Painters().Lock()->Count(), 0);
    EXPECT_EQ(clock.Milliseconds(), before);
}

struct DestroyCase {
    const char* name;
    int width; // a large second frame keeps the painter rendering ahead for a while
    bool beforeFirstCall;
};

class DestroyedImage : public Painting, public testing::WithParamInterface<DestroyCase> {};

TEST_P(DestroyedImage, EndsItsThreadedPainterCleanly)
{
    const DestroyCase& c = GetParam();
    ImagePlan plan{c.width, c.width, kColours, {solidFrame(0, 0, 4, 4, 0), solidFrame(0, 0, c.width, c.width, 1)}, 0};
    auto image = buildImage(plan);
    record(*image);
    TGIFPainter* painter = nullptr;
    image->StartPainting(painter, target.Canvas(), kDefault, Rect(0, 0, 4, 4))->Start();
    if (c.beforeFirstCall)
        while (PendingSynchronizeCalls() == 0)
            YieldThread();
    else
        runUntil([&] { return named("painted").size() == 1; });
    const size_t seen = events.size();
    image.reset();
    EXPECT_EQ(events.size(), seen) << "no queued call of a stopped painter runs";
}

INSTANTIATE_TEST_SUITE_P(Moments, DestroyedImage,
                         testing::Values(DestroyCase{"with_a_call_queued", 4, true},
                                         DestroyCase{"while_it_waits", 4, false},
                                         DestroyCase{"while_it_renders_ahead", 600, false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Painting, DroppingTheBufferUnderAQueuedPaintFreesNothingItUses)
{
    auto image = animation(3, 5, 0, 2);
    image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
    record(*image);
    while (PendingSynchronizeCalls() == 0)
        YieldThread();
    image->DropBitmap();
    runUntil([] { return TGIFPainter::Count() == 0; });
    EXPECT_TRUE(events.empty());
}

TEST_F(Painting, APainterNeverDrawsOnADestroyedCanvas)
{
    auto image = animation(3, 5, 0, 2);
    record(*image);
    auto canvas = std::make_unique<TBitmap>(4, 4);
    TGIFPainter* painter = nullptr;
    image->StartPainting(painter, canvas->Canvas(), kDefault | dfDirect, Rect(0, 0, 4, 4))->Start();
    runUntil([&] { return named("painted").size() == 1; });
    canvas.reset();
    runUntil([&] { return painter == nullptr; });
    EXPECT_EQ(named("painted").size(), 1u);
    EXPECT_TRUE(reported.empty());
}

TEST_F(UnthreadedPainting, AnImageDestroyedInsideItsOwnDrawIsLeftAlone)
{
    auto image = animation(3, 5);
    image->SetDrawFlags((kDefault & ~dfThreaded) | dfDirect);
    SetApplicationHooks({nullptr,
                         [&] {
                             image.reset();
                             return false;
                         },
                         nullptr});
    TGIFImage* drawn = image.get();
    drawn->Draw(target.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(TGIFPainter::Count(), 0);
}

struct ReentryCase {
    const char* name;
    std::function<void(std::unique_ptr<TGIFImage>&, TBitmap&)> act;
};

class WaitFromOwnHandler : public Painting, public testing::WithParamInterface<ReentryCase> {};

TEST_P(WaitFromOwnHandler, AbandonsThePainterInsteadOfWaitingForEver)
{
    auto image = animation(3, 5, 0);
    TBitmap other(4, 4);
    bool acted = false;
    image->OnFramePainted = [&](TObject*) {
        if (image && !acted) {
            acted = true;
            GetParam().act(image, other);
        }
    };
    image->SetDrawFlags(kDefault | dfDirect);
    image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
    // The abandoned painter ends on its own; a redraw leaves a new one playing.
    runUntil([&] { return acted && TGIFPainter::Count() == (image && image->Painter() ? 1 : 0); });
    if (image)
        image->StopAllPainting();
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, WaitFromOwnHandler,
    testing::Values(ReentryCase{"clear", [](std::unique_ptr<TGIFImage>& image, TBitmap&) { image->Clear(); }},
                    ReentryCase{"destroy", [](std::unique_ptr<TGIFImage>& image, TBitmap&) { image.reset(); }},
                    ReentryCase{"redraw_elsewhere",
                                [](std::unique_ptr<TGIFImage>& image, TBitmap& other) {
                                    image->Draw(other.Canvas(), Rect(0, 0, 4, 4));
                                }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Painting, APainterCannotBeWaitedForOffTheUserInterfaceThreadOrWhileTheProgramEnds)
{
    for (const bool fromWorker : {true, false}) {
        auto image = animation(2, 500, 0);
        TGIFPainter* painter = nullptr;
        image->StartPainting(painter, target.Canvas(), kDefault, Rect(0, 0, 4, 4))->Start();
        runUntil([&] { return clock.Waiters() == 1 && PendingSynchronizeCalls() == 0; });
        if (fromWorker) {
            std::thread([&] { image.reset(); }).join();
        } else {
            ending = true;
            image->StopAllPainting();
            EXPECT_EQ(painter, nullptr);
            ending = false;
        }
        runUntil([] { return TGIFPainter::Count() == 0; });
    }
}
