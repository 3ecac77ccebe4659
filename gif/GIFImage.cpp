#include "gif/GIFImage.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Clipboard.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/Picture.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"
#include "gif/Trailer.h"

#include <algorithm>
#include <optional>

struct TGIFImage::Content {
    explicit Content(TGIFImage* image) : header(image), images(image) {}
    TGIFHeader header;
    TGIFImageList images;
};

TGIFImage::TGIFImage()
    : m_content(std::make_unique<Content>(this)), m_header(&m_content->header), m_images(&m_content->images)
{
    // All that Clear would change here: the packed fields of a screen without colours.
    m_header->UpdatePackedFields();
}

TGIFImage::~TGIFImage()
{
    StopAllPainting();
    if (m_shared) {
        // Painters still listed play inside a Draw further up the stack; they must not
        // reach this image again.
        auto locked = m_shared->painters.Lock();
        for (TGIFPainter* painter : std::vector<TGIFPainter*>(locked->begin(), locked->end()))
            painter->LoseImage();
        locked->Clear();
        m_shared->alive = false;
    }
    m_painter = nullptr;
    DropBitmap();
    m_images->Clear();
}

bool TGIFImage::IsEmpty() const
{
    return m_images->Count() == 0;
}

int TGIFImage::QueryHeight() const
{
    return m_header->Height();
}

int TGIFImage::QueryWidth() const
{
    return m_header->Width();
}

void TGIFImage::ChangeHeight(int value)
{
    checkScreenSize(
        value, [](const TGIFSubImage& frame) { return frame.Top() + frame.Height(); }, GIFText::HeightTooSmall);
    if (value == m_header->Height())
        return;
    m_header->SetHeight(static_cast<uint16_t>(value));
    DropBitmap();
    Changed(this);
}

void TGIFImage::ChangeWidth(int value)
{
    checkScreenSize(
        value, [](const TGIFSubImage& frame) { return frame.Left() + frame.Width(); }, GIFText::WidthTooSmall);
    if (value == m_header->Width())
        return;
    m_header->SetWidth(static_cast<uint16_t>(value));
    DropBitmap();
    Changed(this);
}

void TGIFImage::checkScreenSize(int value, int (*frameEnd)(const TGIFSubImage&), std::string_view tooSmall) const
{
    if (value < 0 || value > 0xFFFF)
        RaiseGIFError(GIFText::ImageSizeOutOfRange);
    for (int i = 0; i < m_images->Count(); ++i)
        if (frameEnd(m_images->Items(i)) > value)
            RaiseGIFError(tooSmall);
}

void TGIFImage::LoadFile(const std::string& fileName)
{
    // The decoder steps back and measures what is left; a file read call per sub-block
    // would cost more than the decoding.
    TMemoryStream bytes;
    {
        TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        bytes.LoadFromStream(file);
    }
    TReadOnlyMemoryStream view(bytes.Memory(), static_cast<size_t>(bytes.Size()));
    LoadFromStream(view);
}

void TGIFImage::LoadFromStream(TStream& stream)
{
    const std::string loading(GIFText::Loading);
    Progress(this, TProgressStage::psStarting, 0, false, TRect{}, loading);
    Clear();
    const int64_t start = stream.Position();
    // With threads to spare, the frames of a file in memory are decoded ahead; the
    // reading below is the same either way and takes each outcome where it finds one.
    std::optional<TPredecodedFrames> ahead;
    size_t available = 0;
    if (const uint8_t* bytes = m_decodeThreads > 1 ? stream.DirectBytes(available) : nullptr) {
        ahead.emplace(bytes, available, m_decodeThreads, m_threadedDecodePixels, m_maxPixelBytes);
        m_predecoded = &*ahead;
        m_predecodedBase = start;
    }
    struct Forget {
        TPredecodedFrames*& predecoded;
        ~Forget() { predecoded = nullptr; }
    } forget{m_predecoded};
    try {
        m_header->LoadFromStream(stream);
        m_images->LoadFromStream(stream, *this);
        TGIFTrailer(this).LoadFromStream(stream);
    } catch (...) {
        stream.SetPosition(start);
        Progress(this, TProgressStage::psEnding, 0, true, TRect{}, loading);
        throw;
    }
    Progress(this, TProgressStage::psEnding, 100, true, TRect{}, loading);
}

TPredecodedFrames::Frame* TGIFImage::takePredecoded(TStream& stream, int64_t count)
{
    if (!m_predecoded)
        return nullptr;
    const int64_t at = stream.Position();
    const int minCodeSize = ReadByte(stream);
    if (minCodeSize < 0)
        return nullptr;
    StepBack(stream);
    return m_predecoded->Take(at + 1 - m_predecodedBase, minCodeSize, count);
}

void TGIFImage::SaveToStream(TStream& stream)
{
    const std::string saving(GIFText::Saving);
    Progress(this, TProgressStage::psStarting, 0, false, TRect{}, saving);
    struct DepthDuringSave {
        int& value;
        explicit DepthDuringSave(TGIFImage& image) : value(image.m_savingBitsPerPixel) { value = image.BitsPerPixel(); }
        ~DepthDuringSave() { value = -1; }
    };
    try {
        DepthDuringSave depth(*this);
        m_header->SaveToStream(stream);
        m_images->SaveToStream(stream);
        TGIFTrailer(this).SaveToStream(stream);
    } catch (...) {
        Progress(this, TProgressStage::psEnding, 0, true, TRect{}, saving);
        throw;
    }
    Progress(this, TProgressStage::psEnding, 100, true, TRect{}, saving);
}

void TGIFImage::Clear()
{
    StopAllPainting();
    DropBitmap();
    m_images->Clear();
    m_header->ColorMap().Clear();
    m_header->SetWidth(0);
    m_header->SetHeight(0);
    m_header->UpdatePackedFields();
    ChangePalette(nullptr);
}

TGIFVersion TGIFImage::RequiredVersion() const
{
    TGIFVersion version = gvUnknown;
    for (int i = 0; i < m_images->Count() && version != gv89a; ++i)
        version = std::max(version, m_images->Items(i).RequiredVersion());
    return version;
}

// Frames without image write no colour table; theirs would make the header describe a
// table that is not in the file.
int TGIFImage::ColorResolution() const
{
    int resolution = m_header->ColorResolution();
    for (int i = 0; i < m_images->Count(); ++i)
        if (!m_images->Items(i).Empty())
            resolution = std::max(resolution, m_images->Items(i).ColorResolution());
    return resolution;
}

int TGIFImage::BitsPerPixel() const
{
    if (m_savingBitsPerPixel >= 0)
        return m_savingBitsPerPixel;
    int bits = m_header->BitsPerPixel();
    for (int i = 0; i < m_images->Count(); ++i)
        if (!m_images->Items(i).Empty())
            bits = std::max(bits, m_images->Items(i).BitsPerPixel());
    return bits;
}

void TGIFImage::ReservePixelBytes(int64_t count)
{
    if (count > m_maxPixelBytes - m_pixelBytes)
        throw EOutOfMemory();
    m_pixelBytes += count;
}

void TGIFImage::Warn(TObject* sender, int severity, const std::string& message)
{
    if (OnWarn)
        OnWarn(sender, severity, message);
}

void TGIFImage::Progress(TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow, const TRect& rect,
                         const std::string& message)
{
    if (OnProgressStep)
        OnProgressStep(sender, stage, percent, redrawNow, rect, message);
    TGraphic::Progress(sender, stage, percent, redrawNow, rect, message);
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> frame)
{
    if (!frame)
        RaiseGIFError(GIFText::UnsupportedObject);
    // A frame made for another image is copied: it must have one owner only.
    if (frame->Image() != this)
        return Add(static_cast<const TPersistent*>(frame.get()));
    const int index = m_images->Add(std::move(frame));
    DropBitmap();
    Changed(this);
    return index;
}

int TGIFImage::Add(const TPersistent* item)
{
    if (!dynamic_cast<const TGIFSubImage*>(item) && !dynamic_cast<const TGraphic*>(item))
        RaiseGIFError(GIFText::UnsupportedObject);
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->CopyFrom(item);
    const int index = m_images->Add(std::move(frame));
    DropBitmap();
    Changed(this);
    return index;
}

// Moves the other image's screen and frames into this one, which must be empty.
void TGIFImage::takeContent(TGIFImage& other)
{
    std::swap(m_content, other.m_content);
    std::swap(m_pixelBytes, other.m_pixelBytes);
    for (TGIFImage* image : {this, &other}) {
        image->m_header = &image->m_content->header;
        image->m_images = &image->m_content->images;
        image->m_header->m_image = image;
        image->m_images->m_image = image;
        for (auto& item : image->m_images->m_items) {
            item->m_image = image;
            auto& frame = static_cast<TGIFSubImage&>(*item);
            frame.Extensions().m_image = image;
            for (auto& extension : frame.Extensions().m_items)
                extension->m_image = image;
        }
    }
}

void TGIFImage::copyImage(TGIFImage& source)
{
    const std::string copying(GIFText::Copying);
    // For the copy this image reports through the source's handlers; a failed copy gets
    // its own back, a finished one has none.
    struct Handlers {
        TGIFImage& image;
        TGIFWarningEvent warn = image.OnWarn;
        TProgressEvent progress = image.OnProgressStep;
        bool finished = false;
        ~Handlers()
        {
            image.OnWarn = finished ? nullptr : warn;
            image.OnProgressStep = finished ? nullptr : progress;
        }
    } handlers{*this};
    OnWarn = source.OnWarn;
    OnProgressStep = source.OnProgressStep;
    Progress(this, TProgressStage::psStarting, 0, false, TRect{}, copying);
    try {
        // Built aside, so that a failure leaves this image as it was.
        TGIFImage staged;
        staged.m_maxPixelBytes = m_maxPixelBytes;
        staged.OnWarn = [this](TObject* sender, int severity, const std::string& message) {
            Warn(sender, severity, message);
        };
        staged.m_header->CopyFrom(source.m_header);
        const int count = source.m_images->Count();
        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TGIFSubImage>(&staged);
            frame->CopyFrom(&source.m_images->Items(i));
            staged.m_images->Add(std::move(frame));
            Progress(this, TProgressStage::psRunning, PercentOf(i + 1, count), false, TRect{}, copying);
        }
        Clear();
        takeContent(staged);
    } catch (...) {
        Progress(this, TProgressStage::psEnding, 0, true, TRect{}, copying);
        throw;
    }
    m_painterPriority = source.m_painterPriority;
    m_fillColor = source.m_fillColor;
    m_drawFlags = source.m_drawFlags;
    m_reductionMethod = source.m_reductionMethod;
    m_ditherMethod = source.m_ditherMethod;
    handlers.finished = true;
    Progress(this, TProgressStage::psEnding, 100, true, TRect{}, copying);
    Changed(this);
}

void TGIFImage::CopyFrom(const TPersistent* source)
{
    if (source == this)
        return;
    if (!source) {
        Clear();
        Changed(this);
        return;
    }
    if (const auto* image = dynamic_cast<const TGIFImage*>(source)) {
        copyImage(const_cast<TGIFImage&>(*image));
        return;
    }
    TGIFImage staged;
    staged.m_maxPixelBytes = m_maxPixelBytes;
    // The frame converts with this image's settings and reports through it.
    staged.m_reductionMethod = m_reductionMethod;
    staged.m_ditherMethod = m_ditherMethod;
    staged.m_reductionBitDepth = m_reductionBitDepth;
    staged.OnProgressStep = OnProgressStep;
    auto frame = std::make_unique<TGIFSubImage>(&staged);
    try {
        frame->CopyFrom(source);
    } catch (const EConvertError&) {
        // What a frame cannot take, the image cannot either.
        TGraphic::CopyFrom(source);
        return;
    }
    staged.m_images->Add(std::move(frame));
    Clear();
    takeContent(staged);
    Changed(this);
}

void TGIFImage::CopyInto(TPersistent& destination) const
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(&destination)) {
        bitmap->CopyFrom(const_cast<TGIFImage*>(this)->Bitmap());
        return;
    }
    TGraphic::CopyInto(destination);
}

void TGIFImage::LoadClipboard(uint32_t format, const TClipboardData& data, const TPalette* palette)
{
    const bool gif = format != 0 && format == GIFClipboardFormat();
    if (!gif && format != CF_BITMAP)
        RaiseGIFError(GIFText::UnsupportedClipboardFormat);
    std::optional<TClipboardData> fromClipboard;
    const TClipboardData* block = &data;
    if (data.Bytes.empty()) {
        fromClipboard = Clipboard().Data(format);
        if (!fromClipboard)
            RaiseGIFError(GIFText::UnsupportedClipboardFormat);
        block = &*fromClipboard;
    }
    if (gif) {
        TReadOnlyMemoryStream stream(block->Bytes.data(), block->Bytes.size());
        LoadFromStream(stream);
        return;
    }
    TBitmap bitmap;
    bitmap.LoadClipboard(CF_BITMAP, *block, palette);
    CopyFrom(&bitmap);
}

void TGIFImage::SaveClipboard(uint32_t& format, TClipboardData& data, const TPalette*& palette)
{
    if (IsEmpty())
        return;
    Bitmap()->SaveClipboard(format, data, palette);
    std::vector<uint8_t> bytes;
    try {
        TMemoryStream stream;
        SaveToStream(stream);
        bytes = stream.TakeBytes();
    } catch (const std::bad_alloc&) {
        // Without memory for the file the bitmap alone goes to the clipboard.
        return;
    }
    if (GIFClipboardFormat() == 0)
        RaiseGIFError(GIFText::ClipboardFailed);
    Clipboard().SetData(GIFClipboardFormat(), TClipboardData{std::move(bytes)});
}
