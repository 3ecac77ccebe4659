#include "gif/GIFImage.h"

#include "framework/core/Stream.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "gif/Trailer.h"

#include <algorithm>

bool RenderOnLoad = false;

TGIFImage::TGIFImage()
    : m_header(std::make_unique<TGIFHeader>(this)), m_images(std::make_unique<TGIFImageList>(this))
{
    Clear();
}

TGIFImage::~TGIFImage()
{
    Clear();
}

void TGIFImage::Draw(TCanvas&, const TRect&)
{
    if (IsEmpty())
        return;
    throw EInvalidGraphicOperation(std::string(GIFText::DrawingNotAvailable));
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
    checkScreenSize(value, [](const TGIFSubImage& frame) { return frame.Top() + frame.Height(); },
                    GIFText::HeightTooSmall);
    if (value == m_header->Height())
        return;
    m_header->SetHeight(static_cast<uint16_t>(value));
    Changed(this);
}

void TGIFImage::ChangeWidth(int value)
{
    checkScreenSize(value, [](const TGIFSubImage& frame) { return frame.Left() + frame.Width(); },
                    GIFText::WidthTooSmall);
    if (value == m_header->Width())
        return;
    m_header->SetWidth(static_cast<uint16_t>(value));
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
    LoadFromStream(bytes);
}

void TGIFImage::LoadFromStream(TStream& stream)
{
    const std::string loading(GIFText::Loading);
    Progress(this, TProgressStage::psStarting, 0, false, TRect{}, loading);
    Clear();
    const int64_t start = stream.Position();
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

void TGIFImage::SaveToStream(TStream& stream)
{
    const std::string saving(GIFText::Saving);
    Progress(this, TProgressStage::psStarting, 0, false, TRect{}, saving);
    struct DepthDuringSave {
        int& value;
        explicit DepthDuringSave(TGIFImage& image) : value(image.m_savingBitsPerPixel)
        {
            value = image.BitsPerPixel();
        }
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
    m_images->Clear();
    m_header->ColorMap().Clear();
    m_header->SetWidth(0);
    m_header->SetHeight(0);
    m_header->UpdatePackedFields();
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
