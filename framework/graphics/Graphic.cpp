#include "framework/graphics/Graphic.h"

#include "framework/core/Stream.h"

void TGraphic::SetModified(bool value)
{
    if (value)
        Changed(this);
    else
        m_modified = false;
}

void TGraphic::SetTransparent(bool value)
{
    if (value != m_transparent) {
        m_transparent = value;
        Changed(this);
    }
}

bool TGraphic::Equals(TGraphic& other)
{
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() && other.IsEmpty();
    if (&ClassType() != &other.ClassType())
        return false;
    TMemoryStream mine, theirs;
    WriteStored(mine);
    other.WriteStored(theirs);
    return mine.Bytes() == theirs.Bytes();
}

void TGraphic::LoadFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveFile(const std::string& fileName)
{
    TMemoryStream stream;
    SaveToStream(stream);
    stream.SaveToFile(fileName);
}

void TGraphic::LoadClipboard(uint32_t, const TClipboardData&, const TPalette*)
{
    throw EInvalidGraphicOperation("Format du presse-papiers non reconnu");
}

void TGraphic::SaveClipboard(uint32_t&, TClipboardData&, const TPalette*&)
{
    throw EInvalidGraphicOperation("Format du presse-papiers non reconnu");
}

void TGraphic::Changed(TObject*)
{
    m_modified = true;
    if (OnChange)
        OnChange(this);
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow, const TRect& rect,
                        const std::string& message)
{
    if (OnProgress)
        OnProgress(sender, stage, percent, redrawNow, rect, message);
}
