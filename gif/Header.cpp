#include "gif/Header.h"

#include "framework/core/Stream.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/StreamHelpers.h"

#include <cctype>

namespace {

// The first three bytes, read as text up to any zero byte, upper-cased.
bool isSignature(const uint8_t* bytes)
{
    static constexpr char gif[] = "GIF";
    for (int i = 0; i < 3; ++i)
        if (bytes[i] == 0 || std::toupper(bytes[i]) != gif[i])
            return false;
    return true;
}

} // namespace

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), m_colorMap(this)
{
    Clear();
}

void TGIFHeader::CopyFrom(const TPersistent* source)
{
    if (const auto* other = dynamic_cast<const TGIFHeader*>(source)) {
        if (other == this)
            return;
        m_colorMap.CopyFrom(&other->m_colorMap);
        m_width = other->m_width;
        m_height = other->m_height;
        m_packedFields = other->m_packedFields;
        m_backgroundColorIndex = other->m_backgroundColorIndex;
        m_aspectRatio = other->m_aspectRatio;
    } else if (const auto* map = dynamic_cast<const TGIFColorMap*>(source)) {
        Clear();
        m_colorMap.CopyFrom(map);
    } else {
        TGIFItem::CopyFrom(source);
    }
}

TGIFVersion TGIFHeader::RequiredVersion() const
{
    return m_colorMap.Sorted() || m_aspectRatio != 0 ? gv89a : gv87a;
}

void TGIFHeader::Clear()
{
    m_colorMap.Clear();
    m_width = 0;
    m_height = 0;
    m_packedFields = 0;
    m_backgroundColorIndex = 0;
    m_aspectRatio = 0;
}

void TGIFHeader::UpdatePackedFields()
{
    const bool hasMap = m_colorMap.Count() > 0;
    const int resolution = m_image ? m_image->ColorResolution() : ColorResolution();
    const int bits = hasMap ? m_colorMap.BitsPerPixel() : (m_image ? m_image->BitsPerPixel() : BitsPerPixel());
    uint8_t packed = static_cast<uint8_t>((resolution & 7) << 4);
    if (hasMap) {
        packed |= 0x80;
        if (m_colorMap.Sorted())
            packed |= 0x08;
    }
    packed |= static_cast<uint8_t>((bits - 1) & 7);
    m_packedFields = packed;
}

void TGIFHeader::SaveToStream(TStream& stream)
{
    const TGIFVersion version = m_image ? m_image->RequiredVersion() : gvUnknown;
    if (version == gvUnknown)
        RaiseGIFError(GIFText::UnsupportedVersion);
    WriteBytes(stream, version == gv87a ? "GIF87a" : "GIF89a", 6);
    UpdatePackedFields();
    uint8_t descriptor[7];
    WriteLE16(descriptor, m_width);
    WriteLE16(descriptor + 2, m_height);
    descriptor[4] = m_packedFields;
    descriptor[5] = m_backgroundColorIndex;
    descriptor[6] = m_aspectRatio;
    WriteBytes(stream, descriptor, sizeof descriptor);
    if (m_packedFields & 0x80)
        m_colorMap.SaveToStream(stream);
}

void TGIFHeader::LoadFromStream(TStream& stream)
{
    const int64_t start = stream.Position();
    uint8_t signature[6];
    ReadExact(stream, signature, sizeof signature);
    int offset = 0;
    if (!isSignature(signature)) {
        // Some containers put a length word before the file.
        offset = 4;
        stream.SetPosition(start + offset);
        ReadExact(stream, signature, sizeof signature);
        if (!isSignature(signature))
            RaiseGIFError(GIFText::InvalidSignature);
    }
    m_signature.assign(reinterpret_cast<const char*>(signature), sizeof signature);
    m_signatureOffset = offset;

    uint8_t descriptor[7];
    ReadExact(stream, descriptor, sizeof descriptor);
    m_width = ReadLE16(descriptor);
    m_height = ReadLE16(descriptor + 2);
    m_packedFields = descriptor[4];
    m_backgroundColorIndex = descriptor[5];
    m_aspectRatio = descriptor[6];
    if (m_packedFields & 0x80)
        m_colorMap.LoadFromStream(stream, 2 << (m_packedFields & 7));
    else
        m_colorMap.Clear();
}
