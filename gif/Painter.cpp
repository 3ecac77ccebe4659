#include "gif/Painter.h"

#include "framework/core/ApplicationHooks.h"
#include "framework/core/Clock.h"
#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Palette.h"
#include "gif/Extensions.h"
#include "gif/FrameRenderer.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <algorithm>
#include <climits>
#include <utility>

// The state of one run through the frames, from one loop extension to the next pass.
struct TGIFPainter::Pass {
    int loopsLeft = 1;
    int loopStart = 0;
    bool loopSeen = false;
    // Delay units before the next frame: the delay of the frame shown before it.
    int delay = 0;
    uint32_t lastTime = 0;
    int lag = 0;
};

namespace {

std::atomic<int> g_painters{0};

// Puts a flag back as it was on every path.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : m_flag(flag), m_previous(flag) { m_flag = value; }
    ~FlagScope() { m_flag = m_previous; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_previous;
};

} // namespace

TColor PainterBackgroundColor(TGIFImage& image)
{
    if (image.FillColor() != clNone)
        return ColorToRGB(image.FillColor());
    if (image.Header().ColorMap().Count() == 0)
        return ColorToRGB(clWindow);
    return image.Header().BackgroundColor();
}

TGIFPainter::TGIFPainter(TGIFDrawFlags flags, const TRect& rect, TCanvas& canvas, TGIFImage& image)
    : m_image(&image), m_canvas(&canvas), m_canvasAlive(canvas.AliveToken()), m_rect(rect), m_flags(flags),
      m_rate(image.AnimationRate())
{
    if (Threaded()) {
        SetFreeOnTerminate(true);
        OnTerminate = [this](TThread&) { painterDone(); };
    }
    const TGIFImageList& frames = image.Images();
    if (Threaded() && (flags & dfAnimate) && frames.Count() > 1 && m_rate >= 0)
        m_wakeEvent = std::make_unique<TEvent>();
    m_background = PainterBackgroundColor(image);

    bool restoresBackground = (flags & dfEraseOnLoop) != 0;
    bool restoresPrevious = false;
    for (int i = 0; i < frames.Count(); ++i) {
        if (const TGIFGraphicControlExtension* control = frames.Items(i).GraphicControlExtension()) {
            const int disposal = PaintedDisposal(control->Disposal());
            restoresBackground = restoresBackground || disposal == 2;
            restoresPrevious = restoresPrevious || disposal == 3;
        }
    }
    const TRect whole = ::Rect(0, 0, rect.Width(), rect.Height());
    if (restoresBackground && (flags & dfTransparent)) {
        m_backgroundSave = newBuffer(false);
        m_backgroundSave->Canvas().SetCopyMode(cmSrcCopy);
        m_backgroundSave->Canvas().CopyRect(whole, canvas, rect);
    }
    if (restoresBackground || restoresPrevious) {
        m_frameBuffer = newBuffer(true);
        m_frameBuffer->Canvas().CopyRect(whole, canvas, rect);
        m_previousBuffer = newBuffer(true);
    }
    ++g_painters;
}

TGIFPainter::TGIFPainter(TGIFPainter*& reference, TGIFDrawFlags flags, const TRect& rect, TCanvas& canvas,
                         TGIFImage& image)
    : TGIFPainter(flags, rect, canvas, image)
{
    m_reference = &reference;
    reference = this;
}

TGIFPainter::~TGIFPainter()
{
    if (!Threaded())
        painterDone();
    --g_painters;
}

int TGIFPainter::Count()
{
    return g_painters;
}

std::unique_ptr<TBitmap> TGIFPainter::newBuffer(bool withBackground)
{
    m_image->CheckBitmapBudget(m_rect.Width(), m_rect.Height());
    auto buffer = std::make_unique<TBitmap>(m_rect.Width(), m_rect.Height());
    if (withBackground) {
        buffer->Canvas().Brush().SetStyle(TBrushStyle::bsSolid);
        buffer->Canvas().Brush().SetColor(m_background);
    }
    return buffer;
}

void TGIFPainter::Start()
{
    if (Threaded())
        Resume();
}

void TGIFPainter::Stop()
{
    Terminate();
    if (!Threaded())
        return;
    if (m_wakeEvent)
        m_wakeEvent->SetEvent();
    SetPriority(TThreadPriority::tpNormal);
    if (Suspended())
        Resume();
}

void TGIFPainter::LoseImage()
{
    if (m_reference && *m_reference == this)
        *m_reference = nullptr;
    m_image = nullptr;
    m_reference = nullptr;
    Terminate();
}

void TGIFPainter::Abandon()
{
    LoseImage();
    if (m_wakeEvent)
        m_wakeEvent->SetEvent();
    TThread::Abandon(this);
}

void TGIFPainter::Play()
{
    paintLoop();
}

void TGIFPainter::Run()
{
    paintLoop();
}

std::exception_ptr TGIFPainter::TakeFailure()
{
    return std::exchange(m_failure, nullptr);
}

bool TGIFPainter::syncCall(const std::function<void()>& method)
{
    if (Terminated())
        return false;
    auto guarded = [&] {
        // A painter stopped while its call waited, or whose image is gone, draws nothing.
        if (Terminated() || !m_image)
            return;
        FlagScope inCall(m_inSynchronizedCall, true);
        method();
    };
    if (!Threaded()) {
        guarded();
        return true;
    }
    return Synchronize(guarded);
}

void TGIFPainter::fireEvent(const TNotifyEvent& handler)
{
    if (!handler)
        return;
    m_currentEvent = &handler;
    struct Reset {
        const TNotifyEvent*& event;
        ~Reset() { event = nullptr; }
    } reset{m_currentEvent};
    syncCall([this] { (*m_currentEvent)(this); });
}

void TGIFPainter::paintLoop()
{
    try {
        syncCall([this] {
            if ((m_flags & dfCheckCanvas) && !m_canvasAlive.expired())
                m_savedCanvasHandle = m_canvas->Handle();
        });
        m_restart = true;
        while (m_restart && !Terminated()) {
            m_activeFrame = 0;
            fireEvent(OnPaintStart);
            m_painted = false;
            m_restart = false;
            Pass pass;
            pass.loopStart = m_activeFrame;
            // Without a thread the first frame waits as if the delay before it were 1.
            pass.delay = Threaded() ? 0 : 1;
            m_previousDisposal = 1;
            pass.lastTime = TickCount();
            while ((pass.loopsLeft != 0 || (m_flags & dfLoopForever)) && !Terminated() && !m_restart) {
                m_activeFrame = pass.loopStart;
                if (m_painted)
                    fireEvent(OnPaintLoop);
                if (!playFrames(pass))
                    break;
                if (pass.loopsLeft > 0)
                    --pass.loopsLeft;
                if (!((m_flags & dfAnimate) && (m_flags & dfLoop)))
                    break;
            }
        }
        m_activeFrame = -1;
        fireEvent(OnPaintEnd);
    } catch (...) {
        Terminate();
        m_failure = std::current_exception();
    }
}

// False when all loops are to end.
bool TGIFPainter::playFrames(Pass& pass)
{
    while (!Terminated() && !m_restart) {
        bool present = false;
        syncCall([&] {
            const TGIFImageList& frames = m_image->Images();
            // A handler that set the frame below 0 fails here, with the list's index error.
            if (m_activeFrame < frames.Count())
                present = !frames.Items(m_activeFrame).Empty();
        });
        if (!present)
            break;
        waitFor(pass);
        if (Terminated())
            return false;
        fireEvent(OnFramePaint);
        if (Terminated())
            return false;
        syncCall([&] { paintFrame(pass); });
        if (Terminated())
            return false;
        int shown = m_activeFrame;
        fireEvent(OnFramePainted);
        if (Terminated())
            return false;
        // A handler may have made the animation jump.
        m_activeFrame.compare_exchange_strong(shown, shown + 1);
        if (!(m_flags & dfAnimate))
            break;
    }
    return !Terminated();
}

void TGIFPainter::paintFrame(Pass& pass)
{
    TGIFSubImage& frame = m_image->Images().Items(m_activeFrame);
    m_disposal = 1;
    const TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count(); ++i) {
        TGIFExtension& extension = extensions.Items(i);
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&extension)) {
            if (!pass.loopSeen) {
                pass.loopSeen = true;
                pass.loopsLeft = loop->Loops();
                pass.loopStart = m_activeFrame;
                // Without a thread an endless animation would never give Draw back.
                if ((pass.loopsLeft == 0 || (m_flags & dfLoopForever)) && Threaded())
                    pass.loopsLeft = -1;
            }
        } else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extension)) {
            m_disposal = control->Disposal();
        }
    }
    if (m_frameBuffer)
        paintBuffered(frame);
    else
        paintSimple(frame);
    m_previousDisposal = m_disposal;

    pass.delay = DefaultFrameDelay;
    if (const TGIFGraphicControlExtension* control = frame.GraphicControlExtension(); control && control->Delay()) {
        pass.delay = std::max<int>(control->Delay(), MinimumFrameDelay);
        if (pass.delay > MaximumFrameDelay && !Threaded())
            pass.delay = MaximumFrameDelay;
    }
}

void TGIFPainter::waitFor(Pass& pass)
{
    if (pass.delay <= 0) {
        YieldThread();
        return;
    }
    // Rendering the frame now counts its time against the delay.
    renderAhead();
    const uint32_t now = TickCount();
    int delay;
    if (m_rate > 0) {
        // Half of what the last interval overran its computed wait comes off this one.
        const int32_t overrun = static_cast<int32_t>(now - pass.lastTime - static_cast<uint32_t>(pass.lag));
        const int64_t wanted = int64_t(pass.delay) * DelayMultiplier - overrun / 2;
        std::optional<int32_t> scaled;
        if (wanted >= INT32_MIN && wanted <= INT32_MAX)
            scaled = MulDivChecked(static_cast<int32_t>(wanted), 100, m_rate);
        if (scaled) {
            delay = *scaled;
            pass.lag = delay;
        } else {
            delay = MaximumFrameDelay * DelayMultiplier;
            pass.lag = 0;
        }
    } else {
        delay = Threaded() ? -1 : MaximumFrameDelay * DelayMultiplier;
    }
    pass.lastTime = now;

    if (Threaded()) {
        // A negative rate never waits; a zero rate waits until Stop.
        if ((delay > 0 || m_rate == 0) && m_wakeEvent) {
            if (m_wakeEvent->WaitFor(delay < 0 ? INFINITE : static_cast<uint32_t>(delay)) == TWaitResult::wrSignaled) {
                pass.lag = 0;
                pass.lastTime = TickCount();
            }
        }
        return;
    }
    // Without a thread a negative rate shows the frames as fast as they render.
    if (m_rate < 0)
        return;
    if (delay <= 0)
        delay = 1;
    uint32_t start = TickCount();
    while (delay > 0 && !Terminated() && !m_restart) {
        Sleep(static_cast<uint32_t>(std::min(delay, 100)));
        const uint32_t time = TickCount();
        delay -= static_cast<int32_t>(time - start);
        start = time;
        if (!Terminated() && !m_restart && ProcessPendingMessages())
            Terminate();
    }
}

void TGIFPainter::renderAhead()
{
    if (!Threaded()) {
        syncCall([this] { m_image->Images().Items(m_activeFrame).RenderedBitmap(); });
        return;
    }
    std::shared_ptr<FrameRenderJob> job;
    syncCall([&] { job = m_image->Images().Items(m_activeFrame).PrepareRender(); });
    if (!job)
        return;
    job->Run([this] { return Terminated(); });
    if (!job->Finished())
        return;
    syncCall([&] {
        // The frame is found by identity: handlers may have moved or freed it meanwhile.
        const TGIFImageList& frames = m_image->Images();
        for (int i = 0; i < frames.Count(); ++i) {
            if (&frames.Items(i) == job->Frame()) {
                frames.Items(i).InstallRender(*job);
                break;
            }
        }
    });
}

bool TGIFPainter::canvasGone()
{
    if (m_canvasAlive.expired())
        return true;
    return (m_flags & dfCheckCanvas) && !IsValidCanvasHandle(m_savedCanvasHandle);
}

void TGIFPainter::paintSimple(TGIFSubImage& frame)
{
    // A target that went away ends the animation quietly.
    if (canvasGone()) {
        Terminate();
        return;
    }
    frame.DrawFrame(*m_canvas, m_rect, (m_flags & dfTile) != 0, (m_flags & dfTransparent) != 0);
    m_painted = true;
}

void TGIFPainter::paintBuffered(TGIFSubImage& frame)
{
    if (canvasGone()) {
        Terminate();
        return;
    }
    const bool eraseFirst = (m_flags & dfEraseOnLoop) && m_activeFrame == 0;
    const int disposal = PaintedDisposal(m_disposal);
    const int previous = PaintedDisposal(m_previousDisposal);
    const TRect whole = ::Rect(0, 0, m_frameBuffer->Width(), m_frameBuffer->Height());

    // Where the frame goes: the composed picture, straight onto the target when the next
    // frame restores what is there now, or a scratch copy when the composed picture must
    // stay as it was before this frame.
    TCanvas* target = &m_frameBuffer->Canvas();
    TRect area = whole;
    bool copyToTarget = true;
    bool intoPrevious = false;
    if (disposal == 3) {
        if (previous == 2 || previous == 3) {
            target = &m_previousBuffer->Canvas();
            intoPrevious = true;
        } else {
            target = m_canvas;
            area = m_rect;
            copyToTarget = false;
        }
    }
    {
        const TPalette* palette = frame.DrawingPalette();
        PaletteSelection selected(*target, palette ? palette : StockPalette());
        target->RealizePalette();
        if (eraseFirst)
            restoreBackground(frame);
        if (intoPrevious)
            m_previousBuffer->Canvas().CopyRect(whole, m_frameBuffer->Canvas(), whole);
        frame.DrawFrame(*target, area, (m_flags & dfTile) != 0, (m_flags & dfTransparent) != 0);
        if (copyToTarget) {
            m_canvas->SetCopyMode(cmSrcCopy);
            m_canvas->CopyRect(m_rect, *target, area);
        }
    }
    if (disposal == 2)
        restoreBackground(frame);
    m_painted = true;
}

// Restores the frame's area of the composed picture, in its own coordinates.
void TGIFPainter::restoreBackground(TGIFSubImage& frame)
{
    const int screenWidth = m_image->Width(), screenHeight = m_image->Height();
    if (screenWidth <= 0 || screenHeight <= 0)
        return;
    TCanvas& buffer = m_frameBuffer->Canvas();
    const TRect whole = ::Rect(0, 0, m_frameBuffer->Width(), m_frameBuffer->Height());
    const bool tile = (m_flags & dfTile) != 0;
    auto forEachTile = [&](auto&& f) {
        for (int x = frame.Left(); x < whole.right; x += screenWidth)
            for (int y = frame.Top(); y < whole.bottom; y += screenHeight)
                f(::Rect(x, y, x + frame.Width(), y + frame.Height()));
    };
    if (m_flags & dfTransparent) {
        if (!m_backgroundSave)
            return;
        TCanvas& saved = m_backgroundSave->Canvas();
        buffer.SetCopyMode(cmSrcCopy);
        if (tile) {
            forEachTile([&](const TRect& r) { buffer.CopyRect(r, saved, r); });
        } else {
            const TRect r = frame.ScaledBounds(whole);
            buffer.CopyRect(r, saved, r);
        }
        return;
    }
    buffer.Brush().SetColor(m_background);
    if (tile && frame.Width() != screenWidth && frame.Height() != screenHeight)
        forEachTile([&](const TRect& r) { buffer.FillRect(r); });
    else
        buffer.FillRect(frame.ScaledBounds(whole));
}

void TGIFPainter::painterDone()
{
    if (m_done)
        return;
    m_done = true;
    if (m_image) {
        auto locked = m_image->Painters().Lock();
        if (m_reference && *m_reference == this)
            *m_reference = nullptr;
        locked->Remove(this);
    }
    m_image = nullptr;
    m_reference = nullptr;
    m_frameBuffer.reset();
    m_previousBuffer.reset();
    m_backgroundSave.reset();
    m_canvasOwner.reset();
    // A threaded painter's failure has no caller to reach: the application hears of it
    // here, once, on the user-interface thread.
    if (Threaded() && m_failure)
        HandleApplicationException(std::exchange(m_failure, nullptr));
}
