// Optimising an image in place: passes that make the file smaller and leave what an
// animation shows, frame by frame and for as long, as it was.

#include "gif/GIFImage.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/System.h"
#include "gif/ColorMap.h"
#include "gif/Encoder.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace {

std::vector<TGIFGraphicControlExtension*> controlsOf(const TGIFSubImage& frame)
{
    std::vector<TGIFGraphicControlExtension*> controls;
    const TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count(); ++i)
        if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions.Items(i)))
            controls.push_back(control);
    return controls;
}

// Several control blocks before one image say contradictory things; such a frame, and
// the global map while it uses it, are left as they are.
bool ambiguous(const TGIFSubImage& frame)
{
    return controlsOf(frame).size() > 1;
}

// As the painter reads it: the last control block counts.
int disposalOf(const TGIFSubImage& frame)
{
    const auto controls = controlsOf(frame);
    return controls.empty() ? 0 : controls.back()->Disposal();
}

bool contains(const TRect& outer, const TRect& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

bool usesIndex(const TGIFSubImage& frame, uint8_t index)
{
    const uint8_t* data = frame.Data();
    return data && std::find(data, data + frame.DataSize(), index) != data + frame.DataSize();
}

bool allIndex(const TGIFSubImage& frame, uint8_t index)
{
    const uint8_t* data = frame.Data();
    return data && std::all_of(data, data + frame.DataSize(), [index](uint8_t p) { return p == index; });
}

// Pixels beyond a map keep their index when it is sorted; with fewer entries after the
// sort they could then lie beyond the table written and no longer be saved.
bool indicesWithin(const TGIFSubImage& frame, int count)
{
    const uint8_t* data = frame.Data();
    return !data || *std::max_element(data, data + frame.DataSize()) < count;
}

bool isLoop(const TGIFExtension& extension)
{
    return dynamic_cast<const TGIFAppExtNSLoop*>(&extension) != nullptr;
}

bool hasLoop(const TGIFSubImage& frame)
{
    const TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count(); ++i)
        if (isLoop(extensions.Items(i)))
            return true;
    return false;
}

// The bytes the encoder writes for these pixels; -1 when they could not be written.
int64_t encodedBytes(TCompressionMethod method, int bits, int colors, bool interlaced, const uint8_t* pixels, int width,
                     int height)
{
    TMemoryStream stream;
    try {
        MakeEncoder(method)->Compress(stream, bits, width, height, interlaced, pixels, colors);
    } catch (const GIFException&) {
        return -1;
    }
    return stream.Size();
}

// As the writer would encode these pixels for frame: at its map's depth.
int64_t encodedSize(const TGIFImage& image, const TGIFSubImage& frame, const std::vector<uint8_t>& pixels, int width,
                    int height)
{
    const TGIFColorMap& local = frame.ColorMap();
    const int bits = local.Count() > 0 ? local.BitsPerPixel() : image.BitsPerPixel();
    const int colors = local.Count() > 0 ? local.Count() : 1 << bits;
    return encodedBytes(image.CompressionMethod(), bits, colors, frame.Interlaced(), pixels.data(), width, height);
}

// A frame on the global map that uses few of its colours: a local map of just those,
// where map and pixels together take fewer bytes, since the codes then start narrower.
// Each pixel keeps its colour, so the frame shows the same.
void useLocalMapIfShorter(TGIFImage& image, TGIFSubImage& frame)
{
    if (frame.Empty() || frame.ColorMap().Count() > 0 || ambiguous(frame))
        return;
    const TGIFColorMap& global = image.Header().ColorMap();
    uint8_t* data = frame.Data();
    const int64_t size = frame.DataSize();
    std::array<bool, 256> used{};
    for (int64_t n = 0; n < size; ++n)
        used[data[n]] = true;
    TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    if (frame.Transparent() && control)
        used[control->TransparentColorIndex()] = true;
    std::array<uint8_t, 256> local{};
    int count = 0;
    for (int i = 0; i < 256; ++i)
        if (used[size_t(i)]) {
            if (i >= global.Count())
                return;
            local[size_t(i)] = static_cast<uint8_t>(count++);
        }
    const int bits = image.BitsPerPixel(), localBits = BitsForColorCount(count);
    if (localBits >= bits)
        return;
    std::vector<uint8_t> remapped(data, data + size);
    for (uint8_t& pixel : remapped)
        pixel = local[pixel];
    const int64_t asIs = encodedBytes(image.CompressionMethod(), bits, 1 << bits, frame.Interlaced(), data,
                                      frame.Width(), frame.Height());
    const int64_t withMap = encodedBytes(image.CompressionMethod(), localBits, count, frame.Interlaced(),
                                         remapped.data(), frame.Width(), frame.Height());
    if (asIs < 0 || withMap < 0 || 3 * (int64_t(1) << localBits) + withMap >= asIs)
        return;
    TGIFColorMap& map = frame.ColorMap();
    try {
        for (int i = 0; i < 256; ++i)
            if (used[size_t(i)])
                map.Add(ColorValueOf(global.Entries()[i]));
    } catch (...) {
        map.Clear();
        throw;
    }
    std::copy(remapped.begin(), remapped.end(), data);
    if (frame.Transparent() && control)
        control->StoreTransparentColorIndex(local[control->TransparentColorIndex()]);
    frame.ColorsChanged();
    frame.DiscardBitmap();
    frame.DiscardMask();
}

// Pixels the merge made transparent (t in merged, something else before) go back to
// what they were in stretches along a row shorter than minRun, within the rectangle.
void restoreShortRuns(uint8_t* merged, const uint8_t* before, int stride, const TRect& area, uint8_t t, int minRun)
{
    for (int y = area.top; y < area.bottom; ++y) {
        uint8_t* row = merged + int64_t(y) * stride;
        const uint8_t* original = before + int64_t(y) * stride;
        for (int x = area.left; x < area.right;) {
            if (row[x] != t || original[x] == t) {
                ++x;
                continue;
            }
            int end = x;
            while (end < area.right && row[end] == t && original[end] != t)
                ++end;
            if (end - x < minRun)
                std::copy(original + x, original + end, row + x);
            x = end;
        }
    }
}

// After a merge: all merged pixels, those in long runs, or none, whichever encodes
// shortest over the rectangle trimming will keep. Every choice shows the same, since the
// merge only turned transparent what the frame before already shows.
void keepShorterMerge(const TGIFImage& image, TGIFSubImage& frame, const std::vector<uint8_t>& before)
{
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    if (!frame.Transparent() || !control || frame.Empty() || before.size() != size_t(frame.DataSize()) ||
        std::equal(before.begin(), before.end(), frame.Data()))
        return;
    const uint8_t t = control->TransparentColorIndex();
    uint8_t* data = frame.Data();
    const int width = frame.Width(), height = frame.Height();
    TRect kept{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (data[int64_t(y) * width + x] != t) {
                kept.left = std::min(kept.left, x), kept.right = std::max(kept.right, x + 1);
                kept.top = std::min(kept.top, y), kept.bottom = std::max(kept.bottom, y + 1);
            }
    if (kept.left >= kept.right)
        return;
    const int w = kept.right - kept.left, h = kept.bottom - kept.top;
    auto crop = [&](const uint8_t* from) {
        std::vector<uint8_t> pixels(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            std::copy_n(from + int64_t(kept.top + y) * width + kept.left, w, pixels.begin() + int64_t(y) * w);
        return pixels;
    };
    int64_t best = encodedSize(image, frame, crop(data), w, h);
    if (best < 0)
        return;
    int bestRun = 0;
    std::vector<uint8_t> candidate(data, data + frame.DataSize());
    for (const int minRun : {INT_MAX, 64, 8}) {
        std::copy(data, data + frame.DataSize(), candidate.begin());
        restoreShortRuns(candidate.data(), before.data(), width, kept, t, minRun);
        const int64_t size = encodedSize(image, frame, crop(candidate.data()), w, h);
        if (size >= 0 && size < best)
            best = size, bestRun = minRun;
    }
    if (bestRun == 0)
        return;
    restoreShortRuns(data, before.data(), width, kept, t, bestRun);
    frame.DiscardBitmap();
    frame.DiscardMask();
}

// A frame without image writes only its extensions, so a reader finds them before the
// next image and gives them to it. The passes judge each frame by its own control
// block; joined here first, the blocks stand where every reader will see them. Frames
// without image before an image go, since they write nothing more.
void joinHandedOnExtensions(TGIFImageList& frames)
{
    for (int i = frames.Count() - 2; i >= 0; --i) {
        TGIFSubImage& empty = frames.Items(i);
        if (!empty.Empty())
            continue;
        TGIFSubImage& next = frames.Items(i + 1);
        if (empty.Extensions().Count() > 0) {
            TMemoryStream bytes;
            empty.Extensions().SaveToStream(bytes);
            next.Extensions().SaveToStream(bytes);
            next.Extensions().Clear();
            bytes.SetPosition(0);
            next.Extensions().LoadFromStream(bytes, next);
        }
        frames.Delete(i);
    }
}

// Progress through the passes, in steps of frames.
class Steps {
public:
    Steps(TGIFImage& image, int frames) : m_image(image), m_total(6 * frames) {}
    void report(TProgressStage stage, uint8_t percent)
    {
        m_image.Progress(&m_image, stage, percent, false, TRect{}, std::string(GIFText::Optimizing));
    }
    void advance(int count = 1)
    {
        m_counter += count;
        report(TProgressStage::psRunning, static_cast<uint8_t>(MulDiv(m_counter, 100, m_total)));
    }

private:
    TGIFImage& m_image;
    int m_total;
    int m_counter = 0;
};

} // namespace

void TGIFImage::WriteStored(TStream& stream)
{
    if (OptimizeOnWrite)
        Optimize(AllOptimizations, crNone, dmNearest, 8);
    SaveToStream(stream);
}

void TGIFImage::Optimize(TGIFOptimizations options, TReductionMethod reductionMethod, TDitherMethod, int)
{
    // A palette to reduce to cannot be passed in; refused before anything changes.
    if ((options & goReduceColors) && !(options & goCleanup) && reductionMethod == crPalette)
        RaiseGIFError(GIFText::InvalidOptimizeReduction);
    if (m_images->Count() == 0)
        return;
    StopAllPainting();
    auto locked = Painters().Lock();
    TGIFImageList& frames = *m_images;
    joinHandedOnExtensions(frames);
    const int startFrames = frames.Count();
    Steps steps(*this, startFrames);
    steps.report(TProgressStage::psStarting, 0);
    try {
        // 1. Colour maps by use.
        if (options & goSortColorMaps) {
            TGIFColorMap& global = m_header->ColorMap();
            bool globalFree = true;
            // Frames on the global map write at the image's depth, the largest of all maps':
            // with pixels beyond the global map, no map may shrink.
            bool within = true;
            for (int i = 0; i < frames.Count(); ++i) {
                TGIFSubImage& frame = frames.Items(i);
                if (frame.ColorMap().Count() > 0)
                    continue;
                within = within && indicesWithin(frame, global.Count());
                if (ambiguous(frame))
                    globalFree = false;
            }
            // A background index beyond the map shows entry 0, whichever colour sorting
            // would move there.
            const bool backgroundInMap = m_header->BackgroundColorIndex() < global.Count();
            if (global.Count() > 0 && globalFree && backgroundInMap && within)
                global.SortByUse();
            for (int i = 0; i < frames.Count(); ++i) {
                TGIFSubImage& frame = frames.Items(i);
                if (frame.ColorMap().Count() > 0 && !ambiguous(frame) && within &&
                    indicesWithin(frame, frame.ColorMap().Count()))
                    frame.ColorMap().SortByUse();
                steps.advance();
            }
        } else {
            steps.advance(frames.Count());
        }

        // 2. Transparency nobody uses; disposal nobody sees.
        if (options & goCleanup) {
            for (int i = 0; i < frames.Count(); ++i) {
                TGIFSubImage& frame = frames.Items(i);
                // A frame without image hands its control block on to the next image.
                if (!frame.Empty() && frame.Transparent() && frame.GraphicControlExtension() && !ambiguous(frame) &&
                    !usesIndex(frame, frame.GraphicControlExtension()->TransparentColorIndex())) {
                    frame.GraphicControlExtension()->SetTransparent(false);
                    frame.DiscardBitmap();
                    frame.DiscardMask();
                }
                steps.advance();
            }
            for (int i = 0; i < frames.Count(); ++i) {
                TGIFSubImage& frame = frames.Items(i);
                TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
                // A frame without image hands its control block on to the next image
                // when written: that one's disposal it is.
                if (i + 1 < frames.Count() && control && !frame.Empty() && !ambiguous(frame) &&
                    (control->Disposal() == 2 || control->Disposal() == 3)) {
                    const TGIFSubImage& next = frames.Items(i + 1);
                    // Only a next frame that paints over all of this one hides its restore,
                    // and only when it does not restore this one itself afterwards.
                    if (!next.Empty() && !next.Transparent() && contains(next.BoundsRect(), frame.BoundsRect()) &&
                        disposalOf(next) != 3)
                        control->SetDisposal(0);
                }
                steps.advance();
            }
        } else {
            steps.advance(2 * frames.Count());
        }

        // 3. Pixels the screen shows already.
        if (options & goMergeFrames) {
            for (int c = frames.Count() - 1; c >= 1; --c) {
                int b = c - 1;
                while (b > 0 && disposalOf(frames.Items(b)) == 3)
                    --b;
                TGIFSubImage& frame = frames.Items(c);
                if (!ambiguous(frame) && !ambiguous(frames.Items(b))) {
                    std::vector<uint8_t> before;
                    if ((options & goMergeBySize) && !frame.Empty())
                        before.assign(frame.Data(), frame.Data() + frame.DataSize());
                    frame.MergeWithPrevious(&frames.Items(b));
                    if (options & goMergeBySize)
                        keepShorterMerge(*this, frame, before);
                }
                steps.advance();
            }
            steps.advance();
        } else {
            steps.advance(frames.Count());
        }

        // 4. Transparent borders; frames that show nothing.
        if (options & goTrimTransparent) {
            // A trimmed frame frees its pixels before it takes the kept ones; past the
            // budget that second step would fail and leave the frame without pixels.
            if (PixelBytes() > MaxPixelBytes())
                throw EOutOfMemory();
            const int count = frames.Count();
            for (int c = count - 1; c >= 0; --c) {
                TGIFSubImage& frame = frames.Items(c);
                TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
                // A restore to background covers the whole rectangle, whatever it shows; a
                // frame beyond the logical screen widens the screen of whoever reads it.
                const bool onScreen = contains(Rect(0, 0, m_header->Width(), m_header->Height()), frame.BoundsRect());
                if (frame.Empty() || !frame.Transparent() || !control || ambiguous(frame) || control->Disposal() == 2 ||
                    !onScreen) {
                    steps.advance();
                    continue;
                }
                const uint8_t t = control->TransparentColorIndex();
                if (!allIndex(frame, t)) {
                    frame.TrimTransparentBorders();
                    steps.advance();
                    continue;
                }
                bool drop = c > 0 && !hasLoop(frame) && control->Delay() != 0;
                if (drop && !(options & goCleanup))
                    drop = frame.Extensions().Count() == 1;
                TGIFGraphicControlExtension* before = nullptr;
                if (drop) {
                    const TGIFSubImage& previous = frames.Items(c - 1);
                    before = previous.GraphicControlExtension();
                    drop = before && !previous.Empty() && !ambiguous(previous) &&
                           (before->Disposal() == 0 || before->Disposal() == 1) && before->Delay() != 0 &&
                           int(before->Delay()) + control->Delay() <= 0xFFFF;
                }
                if (drop) {
                    before->SetDelay(static_cast<uint16_t>(before->Delay() + control->Delay()));
                    frames.Delete(c);
                } else {
                    // One transparent pixel keeps the frame's place in the timeline.
                    frame.SetBoundsRect(frame.Left(), frame.Top(), 1, 1);
                    frame.NeedData();
                    frame.Data()[0] = t;
                }
                steps.advance();
            }
        } else {
            steps.advance(frames.Count());
        }

        // 5. Extensions nobody reads. An image without any picture is only its extensions:
        // removing them would leave nothing that can be written.
        bool pictures = false;
        for (int n = 0; n < frames.Count() && !pictures; ++n)
            pictures = !frames.Items(n).Empty();
        if ((options & goCleanup) && pictures) {
            const bool animation = frames.Count() > 1;
            const TGIFExtension* firstLoop = nullptr;
            for (int n = 0; n < frames.Count() && !firstLoop; ++n) {
                const TGIFExtensionList& extensions = frames.Items(n).Extensions();
                for (int e = 0; e < extensions.Count() && !firstLoop; ++e)
                    if (isLoop(extensions.Items(e)))
                        firstLoop = &extensions.Items(e);
            }
            for (int n = frames.Count() - 1; n >= 0; --n) {
                TGIFSubImage& frame = frames.Items(n);
                if (ambiguous(frame))
                    continue;
                TGIFExtensionList& extensions = frame.Extensions();
                for (int e = extensions.Count() - 1; e >= 0; --e) {
                    TGIFExtension& extension = extensions.Items(e);
                    const bool loop = isLoop(extension);
                    if ((loop && (!animation || &extension != firstLoop)) ||
                        dynamic_cast<TGIFCommentExtension*>(&extension) ||
                        dynamic_cast<TGIFTextExtension*>(&extension) ||
                        dynamic_cast<TGIFUnknownAppExtension*>(&extension))
                        extensions.Delete(e);
                }
                if (TGIFGraphicControlExtension* control = frame.GraphicControlExtension()) {
                    const bool single = frames.Count() == 1;
                    if ((control->Delay() == 0 || single) && !control->Transparent() && !control->UserInput() &&
                        (control->Disposal() <= 1 || single)) {
                        for (int e = 0; e < extensions.Count(); ++e)
                            if (&extensions.Items(e) == control) {
                                extensions.Delete(e);
                                break;
                            }
                    }
                }
                if (frame.Empty() && extensions.Count() == 0)
                    frames.Delete(n);
            }
        }
        if (options & goLocalMapsBySize)
            for (int n = 0; n < frames.Count(); ++n) {
                // Written, the control blocks of frames without image before it come
                // first: their transparent index names a global entry.
                bool inherits = false;
                for (int p = n - 1; p >= 0 && frames.Items(p).Empty() && !inherits; --p)
                    inherits = !controlsOf(frames.Items(p)).empty();
                if (!inherits)
                    useLocalMapIfShorter(*this, frames.Items(n));
            }
        steps.advance(frames.Count());
    } catch (...) {
        steps.report(TProgressStage::psEnding, 0);
        DropBitmap();
        Changed(this);
        throw;
    }
    steps.report(TProgressStage::psEnding, 100);
    DropBitmap();
    Changed(this);
}
