#pragma once

#include "framework/core/Event.h"
#include "framework/core/Thread.h"
#include "framework/core/Types.h"
#include "framework/graphics/Color.h"
#include "gif/GIFImage.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class TBitmap;
class TCanvas;
class TGIFSubImage;

// Plays a TGIFImage onto a rectangle of a canvas: walks the frames, waits each frame's
// delay, applies each frame's disposal, honours the loop count, reports through five
// events, and stops when told.
//
// With dfThreaded it runs on its own thread, which only waits, computes timings and
// renders frames ahead into bitmaps of its own from copies taken on the user-interface
// thread; every drawing, every event and every look at the image is a synchronised call,
// so handlers run on the user-interface thread. Such a painter frees itself when its
// body ends. Without dfThreaded, Play runs the loop on the calling thread, processing the
// application's messages while it waits; its owner frees it.
//
// Disposals: 0 none, 1 keep, 2 restore to background, 3 restore to previous; the codes
// 4 to 7, which nothing defines, count as 1.
class TGIFPainter : public TThread {
    CARNELO_CLASS(TGIFPainter, TThread)
public:
    // On the user-interface thread. A painter that restores to background or to previous
    // takes its buffers (rect-sized) from canvas now, after checking them against the
    // image's pixel budget.
    TGIFPainter(TGIFDrawFlags flags, const TRect& rect, TCanvas& canvas, TGIFImage& image);
    // Also points reference at this painter; the painter clears it when it ends, if it
    // still points at it.
    TGIFPainter(TGIFPainter*& reference, TGIFDrawFlags flags, const TRect& rect, TCanvas& canvas, TGIFImage& image);
    ~TGIFPainter() override;

    // A threaded painter starts running; any other does nothing.
    void Start();
    // Asks the loop to end and wakes a threaded one from its delay; does not wait.
    void Stop();
    // The paint loop on the calling thread (painters without dfThreaded). A failure of
    // the loop is kept: TakeFailure.
    void Play();
    std::exception_ptr TakeFailure();
    // The bitmap Canvas draws on, when the painter may outlive the one who made it.
    void HoldTarget(std::shared_ptr<TBitmap> bitmap) { m_canvasOwner = std::move(bitmap); }

    // The user-interface thread lets the painter go: it loses its image and reference,
    // its pending and later synchronised calls never run, and it frees itself when its
    // body ends. The caller must not use the pointer afterwards.
    void Abandon();
    // The image goes while this painter plays inside its Draw: the painter stops and
    // touches nothing of it again.
    void LoseImage();

    TGIFImage* Image() const { return m_image; }
    TCanvas* TargetCanvas() const { return m_canvas; }
    const TRect& TargetRect() const { return m_rect; }
    TGIFDrawFlags Flags() const { return m_flags; }
    bool Threaded() const { return (m_flags & dfThreaded) != 0; }
    int Rate() const { return m_rate; }
    // The frame shown or about to be shown; -1 before the first and after the last pass.
    // A handler may set it to jump.
    int ActiveFrame() const { return m_activeFrame; }
    void SetActiveFrame(int value) { m_activeFrame = value; }
    int Disposal() const { return m_disposal; }
    int PreviousDisposal() const { return m_previousDisposal; }
    // Set by a handler: the pass ends and painting starts again at frame 0.
    bool Restart() const { return m_restart; }
    void SetRestart(bool value) { m_restart = value; }
    // A frame has been painted in the current pass.
    bool Painted() const { return m_painted; }
    TBitmap* FrameBuffer() const { return m_frameBuffer.get(); }
    TBitmap* PreviousBuffer() const { return m_previousBuffer.get(); }
    TBitmap* BackgroundSave() const { return m_backgroundSave.get(); }
    // The restore-to-background colour, in RGB.
    TColor BackgroundColor() const { return m_background; }
    // The user-interface thread is running one of this painter's synchronised calls.
    bool InSynchronizedCall() const { return m_inSynchronizedCall; }

    TNotifyEvent OnPaintStart;
    TNotifyEvent OnFramePaint;
    TNotifyEvent OnFramePainted;
    TNotifyEvent OnPaintLoop;
    TNotifyEvent OnPaintEnd;

    // Painters that exist, abandoned ones included: a program ends with none.
    static int Count();

protected:
    void Run() override;

private:
    struct Pass;
    void paintLoop();
    bool playFrames(Pass& pass);
    bool syncCall(const std::function<void()>& method);
    void fireEvent(const TNotifyEvent& handler);
    void waitFor(Pass& pass);
    void renderAhead();
    void paintFrame(Pass& pass);
    void paintSimple(TGIFSubImage& frame);
    void paintBuffered(TGIFSubImage& frame);
    void restoreBackground(TGIFSubImage& frame);
    bool canvasGone();
    std::unique_ptr<TBitmap> newBuffer(bool withBackground);
    void painterDone();

    TGIFImage* m_image;
    TCanvas* m_canvas;
    std::weak_ptr<const void> m_canvasAlive;
    // The bitmap of Canvas when it is the image's paint buffer, kept alive for drawing
    // the image may no longer wait for.
    std::shared_ptr<TBitmap> m_canvasOwner;
    TRect m_rect;
    TGIFDrawFlags m_flags;
    int m_rate;
    std::atomic<int> m_activeFrame{-1};
    int m_disposal = 1;
    int m_previousDisposal = 1;
    std::unique_ptr<TBitmap> m_frameBuffer;
    std::unique_ptr<TBitmap> m_previousBuffer;
    std::unique_ptr<TBitmap> m_backgroundSave;
    uintptr_t m_savedCanvasHandle = 0;
    std::atomic<bool> m_restart{false};
    std::atomic<bool> m_painted{false};
    TGIFPainter** m_reference = nullptr;
    std::unique_ptr<TEvent> m_wakeEvent;
    std::exception_ptr m_failure;
    const TNotifyEvent* m_currentEvent = nullptr;
    TColor m_background = clBlack;
    bool m_inSynchronizedCall = false;
    bool m_done = false;
};

// The colour a painter of the image restores the background to, in RGB: FillColor, or
// clWindow when the image has no global colour map, else the header's background colour.
TColor PainterBackgroundColor(TGIFImage& image);

// The disposal a painter applies for a graphic control extension's code.
inline int PaintedDisposal(int code)
{
    return code > 3 ? 1 : code;
}
