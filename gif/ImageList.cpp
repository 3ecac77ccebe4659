#include "gif/ImageList.h"

#include "framework/core/Stream.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

namespace {

// The next byte that is not 0, or -1 at the end of the stream.
int nextBlockByte(TStream& stream)
{
    int byte;
    do
        byte = ReadByte(stream);
    while (byte == 0);
    return byte;
}

// Frees the frame just appended unless the step that follows it completes.
class AppendedFrame {
public:
    explicit AppendedFrame(TGIFImageList& list) : m_list(list) {}
    ~AppendedFrame()
    {
        if (!m_kept)
            m_list.Delete(m_list.Count() - 1);
    }
    AppendedFrame(const AppendedFrame&) = delete;
    AppendedFrame& operator=(const AppendedFrame&) = delete;
    void keep() { m_kept = true; }

private:
    TGIFImageList& m_list;
    bool m_kept = false;
};

} // namespace

TGIFSubImage& TGIFImageList::Items(int index) const
{
    return static_cast<TGIFSubImage&>(itemAt(index));
}

int TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame)
{
    return addItem(std::move(frame));
}

std::unique_ptr<TGIFSubImage> TGIFImageList::Remove(const TGIFSubImage& frame)
{
    return std::unique_ptr<TGIFSubImage>(static_cast<TGIFSubImage*>(removeItem(frame).release()));
}

void TGIFImageList::LoadFromStream(TStream& stream, TGIFImage& image)
{
    int byte = nextBlockByte(stream);
    if (byte < 0)
        return;
    const std::string loading(GIFText::Loading);
    while (byte != 0x3B) {
        StepBack(stream);
        if (byte != 0x21 && byte != 0x2C) {
            Warn(1, std::string(GIFText::UnknownBlockType));
            return;
        }
        auto frame = std::make_unique<TGIFSubImage>(&image);
        frame->loadFresh(stream);
        if (RenderOnLoad)
            frame->RenderedBitmap();
        Add(std::move(frame));
        AppendedFrame appended(*this);
        image.Progress(this, TProgressStage::psRunning, PercentOf(stream.Position(), stream.Size()), RenderOnLoad,
                       TRect{}, loading);
        appended.keep();
        byte = nextBlockByte(stream);
        if (byte < 0)
            return;
    }
    StepBack(stream);
}

void TGIFImageList::SaveToStream(TStream& stream)
{
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        Items(i).SaveToStream(stream);
        if (TGIFImage* image = Image())
            image->Progress(this, TProgressStage::psRunning, PercentOf(i + 1, count), false, TRect{},
                            std::string(GIFText::Saving));
    }
}
