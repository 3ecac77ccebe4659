#include "gif/Extensions.h"

#include "framework/core/Stream.h"
#include "gif/GIFException.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t Introducer = 0x21;

template <typename T>
std::unique_ptr<TGIFExtension> create(TGIFSubImage* frame)
{
    return std::make_unique<T>(frame);
}

const TGIFExtensionClass* resolveSelf(const TGIFExtensionClass& self, TStream&)
{
    return &self;
}

// Application extensions look at their block size and identifier to name the kind.
const TGIFExtensionClass* resolveApplication(const TGIFExtensionClass& self, TStream& stream)
{
    // Read in place where the bytes are in memory, moving on just as the reads below do.
    size_t available;
    if (const uint8_t* bytes = stream.DirectBytes(available); bytes && available >= 12 && bytes[0] >= 11) {
        TGIFAppIdentifier identifier;
        std::memcpy(identifier.data(), bytes + 1, identifier.size());
        stream.SkipDirect(std::min<size_t>(1u + bytes[0], available));
        const TGIFExtensionClass* found = TAppExtensionList::Instance().Find(identifier);
        return found ? found : &TGIFUnknownAppExtension::ExtensionClass();
    }
    const int64_t start = stream.Position();
    const int size = ReadByte(stream);
    if (size < 0)
        return nullptr;
    TGIFAppIdentifier identifier{};
    if (size == 10)
        return stream.Read(identifier.data(), 10) == 10 ? &TGIFUnknownAppExtension::ExtensionClass() : nullptr;
    if (size >= 11 && stream.Read(identifier.data(), 11) == 11) {
        // A longer block is named by its first 11 bytes as well (its rest is skipped), so
        // that it reads back as the same kind once it is written with the size 11.
        if (size > 11)
            SkipBytes(stream, size - 11);
        const TGIFExtensionClass* found = TAppExtensionList::Instance().Find(identifier);
        return found ? found : &TGIFUnknownAppExtension::ExtensionClass();
    }
    stream.SetPosition(start);
    // The abstract base cannot be made; its own loader would reject this block size
    // (or find the block cut short), and so does any concrete kind.
    return self.Create ? &self : &TGIFUnknownAppExtension::ExtensionClass();
}

void writeSubBlock(TStream& stream, const uint8_t* data, size_t size)
{
    uint8_t length = static_cast<uint8_t>(size);
    WriteBytes(stream, &length, 1);
    WriteBytes(stream, data, size);
}

} // namespace

TGIFAppIdentifier AppIdentifier(std::string_view text)
{
    TGIFAppIdentifier identifier{};
    std::memcpy(identifier.data(), text.data(), std::min(text.size(), identifier.size()));
    return identifier;
}

// ---- TGIFExtension

TGIFExtension::TGIFExtension(TGIFSubImage* frame) : TGIFItem(frame ? frame->Image() : nullptr), m_frame(frame) {}

void TGIFExtension::SaveToStream(TStream& stream)
{
    const uint8_t bytes[2] = {Introducer, Label()};
    WriteBytes(stream, bytes, 2);
}

void TGIFExtension::LoadFromStream(TStream& stream)
{
    uint8_t bytes[2];
    ReadExact(stream, bytes, 2);
    if (bytes[0] != Introducer)
        RaiseGIFError(GIFText::InvalidIntroducer);
    if (bytes[1] != Label())
        RaiseGIFError(GIFText::ExtensionLabelMismatch);
}

// ---- Graphic control

const TGIFExtensionClass& TGIFGraphicControlExtension::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFGraphicControlExtension", &create<TGIFGraphicControlExtension>,
                                         &resolveSelf};
    return info;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame)
{
    if (frame && !frame->GraphicControlExtension())
        frame->SetGraphicControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension()
{
    if (TGIFSubImage* frame = SubImage()) {
        if (Transparent())
            frame->SetTransparent(false);
        if (frame->GraphicControlExtension() == this)
            frame->SetGraphicControlExtension(nullptr);
    }
}

void TGIFGraphicControlExtension::SaveToStream(TStream& stream)
{
    TGIFExtension::SaveToStream(stream);
    uint8_t bytes[6] = {m_blockSize, m_packedFields, 0, 0, m_transparentColorIndex, m_terminator};
    WriteLE16(bytes + 2, m_delay);
    WriteBytes(stream, bytes, sizeof bytes);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& stream)
{
    TGIFExtension::LoadFromStream(stream);
    // The block size byte is not trusted: exactly six bytes follow the label.
    uint8_t bytes[6] = {m_blockSize, m_packedFields, 0, 0, m_transparentColorIndex, m_terminator};
    WriteLE16(bytes + 2, m_delay);
    size_t got = 0;
    while (got < sizeof bytes) {
        const size_t n = stream.Read(bytes + got, sizeof bytes - got);
        if (n == 0)
            break;
        got += n;
    }
    m_blockSize = bytes[0];
    m_packedFields = bytes[1];
    m_delay = ReadLE16(bytes + 2);
    m_transparentColorIndex = bytes[4];
    m_terminator = bytes[5];
    if (got < sizeof bytes) {
        Warn(1, std::string(GIFText::PrematureEnd));
        return;
    }
    if (Transparent() && SubImage())
        SubImage()->SetTransparent(true);
}

void TGIFGraphicControlExtension::SetTransparent(bool value)
{
    m_packedFields = value ? (m_packedFields | 0x01) : (m_packedFields & ~0x01);
    if (SubImage())
        SubImage()->SetTransparent(value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index)
{
    if (SubImage()) {
        const TGIFColorMap& map = SubImage()->EffectiveColorMap();
        if (map.Count() > 0 && (index < 0 || index >= map.Count())) {
            Warn(1, std::string(GIFText::InvalidColorIndex));
            index = 0;
        }
    }
    m_transparentColorIndex = static_cast<uint8_t>(index);
}

void TGIFGraphicControlExtension::SetUserInput(bool value)
{
    m_packedFields = value ? (m_packedFields | 0x02) : (m_packedFields & ~0x02);
}

void TGIFGraphicControlExtension::SetDisposal(int value)
{
    m_packedFields = static_cast<uint8_t>((m_packedFields & ~0x1C) | ((value & 7) << 2));
}

// ---- Plain text

const TGIFExtensionClass& TGIFTextExtension::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFTextExtension", &create<TGIFTextExtension>, &resolveSelf};
    return info;
}

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* frame) : TGIFExtension(frame)
{
    m_fields[0] = 12;
}

uint16_t TGIFTextExtension::field16(int offset) const
{
    return ReadLE16(m_fields.data() + offset);
}

void TGIFTextExtension::SetGrid(uint16_t left, uint16_t top, uint16_t width, uint16_t height)
{
    WriteLE16(m_fields.data() + 1, left);
    WriteLE16(m_fields.data() + 3, top);
    WriteLE16(m_fields.data() + 5, width);
    WriteLE16(m_fields.data() + 7, height);
}

void TGIFTextExtension::SetCellSize(uint8_t width, uint8_t height)
{
    m_fields[9] = width;
    m_fields[10] = height;
}

void TGIFTextExtension::SaveToStream(TStream& stream)
{
    TGIFExtension::SaveToStream(stream);
    WriteBytes(stream, m_fields.data(), m_fields.size());
    WriteStrings(stream, m_text);
}

void TGIFTextExtension::LoadFromStream(TStream& stream)
{
    TGIFExtension::LoadFromStream(stream);
    ReadExact(stream, m_fields.data(), m_fields.size());
    ReadStrings(stream, m_text);
}

// ---- Comment

const TGIFExtensionClass& TGIFCommentExtension::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFCommentExtension", &create<TGIFCommentExtension>, &resolveSelf};
    return info;
}

TGIFCommentExtension::TGIFCommentExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFCommentExtension::SaveToStream(TStream& stream)
{
    TGIFExtension::SaveToStream(stream);
    WriteStrings(stream, m_text);
}

void TGIFCommentExtension::LoadFromStream(TStream& stream)
{
    TGIFExtension::LoadFromStream(stream);
    ReadStrings(stream, m_text);
}

// ---- Application extensions

const TGIFExtensionClass& TGIFApplicationExtension::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFApplicationExtension", nullptr, &resolveApplication};
    return info;
}

TGIFApplicationExtension::TGIFApplicationExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFApplicationExtension::SaveToStream(TStream& stream)
{
    TGIFExtension::SaveToStream(stream);
    WriteByte(stream, 11);
    WriteBytes(stream, m_identifier.data(), m_identifier.size());
    SaveData(stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream& stream)
{
    TGIFExtension::LoadFromStream(stream);
    const int size = ReadByte(stream);
    if (size == 10) {
        m_identifier.fill(0);
        ReadExact(stream, m_identifier.data(), 10);
    } else if (size >= 0 && size < 11) {
        RaiseGIFError(GIFText::AppExtensionBlockSize);
    } else {
        // At the end of the stream this reports the missing bytes.
        ReadExact(stream, m_identifier.data(), m_identifier.size());
        if (size > 11) {
            uint8_t rest[255];
            ReadExact(stream, rest, static_cast<size_t>(size - 11));
        }
    }
    LoadData(stream);
}

const TGIFExtensionClass& TGIFUnknownAppExtension::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFUnknownAppExtension", &create<TGIFUnknownAppExtension>,
                                         &resolveApplication};
    return info;
}

TGIFUnknownAppExtension::TGIFUnknownAppExtension(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {}

void TGIFUnknownAppExtension::SaveData(TStream& stream)
{
    WriteBytes(stream, m_subBlocks.data(), m_subBlocks.size());
    WriteByte(stream, 0);
}

void TGIFUnknownAppExtension::LoadData(TStream& stream)
{
    m_subBlocks.clear();
    // Where the bytes are in memory and hold the terminator, taken in one piece.
    size_t available;
    if (const uint8_t* bytes = stream.DirectBytes(available)) {
        size_t at = 0;
        while (at < available && bytes[at] != 0)
            at += bytes[at] + 1u;
        if (at < available) {
            m_subBlocks.assign(bytes, bytes + at);
            stream.SkipDirect(at + 1);
            return;
        }
    }
    for (int size = ReadByte(stream); size > 0; size = ReadByte(stream)) {
        const size_t at = m_subBlocks.size();
        m_subBlocks.resize(at + 1 + static_cast<size_t>(size));
        m_subBlocks[at] = static_cast<uint8_t>(size);
        ReadExact(stream, m_subBlocks.data() + at + 1, static_cast<size_t>(size));
    }
}

const TGIFExtensionClass& TGIFAppExtNSLoop::ExtensionClass()
{
    static const TGIFExtensionClass info{"TGIFAppExtNSLoop", &create<TGIFAppExtNSLoop>, &resolveApplication};
    return info;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame)
{
    SetIdentifier(AppIdentifier("NETSCAPE2.0"));
}

void TGIFAppExtNSLoop::SaveData(TStream& stream)
{
    uint8_t loop[4] = {3, 1, 0, 0};
    WriteLE16(loop + 2, m_loops);
    WriteBytes(stream, loop, sizeof loop);
    if (m_bufferSize > 0) {
        const auto size = static_cast<uint32_t>(m_bufferSize);
        const uint8_t buffer[6] = {5,
                                   2,
                                   static_cast<uint8_t>(size),
                                   static_cast<uint8_t>(size >> 8),
                                   static_cast<uint8_t>(size >> 16),
                                   static_cast<uint8_t>(size >> 24)};
        WriteBytes(stream, buffer, sizeof buffer);
    }
    WriteByte(stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream& stream)
{
    for (;;) {
        const int length = ReadByte(stream);
        if (length <= 0)
            return;
        const int id = ReadByte(stream);
        if (id < 0)
            return;
        int remaining = length - 1;
        uint8_t bytes[4];
        if ((id & 7) == 1) {
            if (remaining < 2)
                RaiseGIFError(GIFText::InvalidData);
            ReadExact(stream, bytes, 2);
            m_loops = ReadLE16(bytes);
            remaining -= 2;
        } else if ((id & 7) == 2) {
            if (remaining < 4)
                RaiseGIFError(GIFText::InvalidData);
            ReadExact(stream, bytes, 4);
            m_bufferSize = static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                                (static_cast<uint32_t>(bytes[3]) << 24));
            remaining -= 4;
        }
        if (remaining > 0)
            SkipBytes(stream, remaining);
    }
}

// ---- Extension list

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* frame) : TGIFList(frame ? frame->Image() : nullptr), m_frame(frame)
{}

TGIFExtension& TGIFExtensionList::Items(int index) const
{
    return static_cast<TGIFExtension&>(itemAt(index));
}

int TGIFExtensionList::Add(std::unique_ptr<TGIFExtension> extension)
{
    return addItem(std::move(extension));
}

std::unique_ptr<TGIFExtension> TGIFExtensionList::Remove(const TGIFExtension& extension)
{
    return std::unique_ptr<TGIFExtension>(static_cast<TGIFExtension*>(removeItem(extension).release()));
}

void TGIFExtensionList::LoadFromStream(TStream& stream, TGIFSubImage& frame)
{
    int byte = ReadByte(stream);
    if (byte < 0)
        return;
    while (byte != 0x2C && byte != 0x3B) {
        if (byte != Introducer) {
            Warn(1, std::string(GIFText::InvalidIntroducer));
            break;
        }
        const TGIFExtensionClass* extensionClass = FindExtensionClass(stream);
        if (!extensionClass || !extensionClass->Create)
            RaiseGIFError(GIFText::UnknownExtension);
        StepBack(stream);
        std::unique_ptr<TGIFExtension> extension = extensionClass->Create(&frame);
        extension->LoadFromStream(stream);
        Add(std::move(extension));
        byte = ReadByte(stream);
        if (byte < 0)
            return;
    }
    StepBack(stream);
}

// ---- Registries

TExtensionList::TExtensionList()
{
    Add(TGIFTextExtension::LabelByte, TGIFTextExtension::ExtensionClass());
    Add(TGIFGraphicControlExtension::LabelByte, TGIFGraphicControlExtension::ExtensionClass());
    Add(TGIFCommentExtension::LabelByte, TGIFCommentExtension::ExtensionClass());
    Add(TGIFApplicationExtension::LabelByte, TGIFApplicationExtension::ExtensionClass());
}

TExtensionList& TExtensionList::Instance()
{
    static TExtensionList list;
    return list;
}

void TExtensionList::Add(uint8_t label, const TGIFExtensionClass& extensionClass)
{
    m_entries.push_back({label, &extensionClass});
}

const TGIFExtensionClass* TExtensionList::Find(uint8_t label) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->Label == label)
            return it->Class;
    return nullptr;
}

TAppExtensionList::TAppExtensionList()
{
    Add(AppIdentifier("NETSCAPE2.0"), TGIFAppExtNSLoop::ExtensionClass());
    Add(AppIdentifier("ANIMEXTS1.0"), TGIFAppExtNSLoop::ExtensionClass());
}

TAppExtensionList& TAppExtensionList::Instance()
{
    static TAppExtensionList list;
    return list;
}

void TAppExtensionList::Add(const TGIFAppIdentifier& identifier, const TGIFExtensionClass& extensionClass)
{
    m_entries.push_back({identifier, &extensionClass});
}

const TGIFExtensionClass* TAppExtensionList::Find(const TGIFAppIdentifier& identifier) const
{
    // memcmp of a constant size compiles to a few loads; the array's == calls it.
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (std::memcmp(it->Identifier.data(), identifier.data(), identifier.size()) == 0)
            return it->Class;
    return nullptr;
}

const TGIFExtensionClass* FindExtensionClass(TStream& stream)
{
    const int64_t start = stream.Position();
    const int label = ReadByte(stream);
    if (label < 0)
        return nullptr;
    const TGIFExtensionClass* result = TExtensionList::Instance().Find(static_cast<uint8_t>(label));
    // Each answer may name a more specific class, which is asked in turn; every
    // question reads on, so the chain ends with the stream.
    while (result) {
        const TGIFExtensionClass* next = result->ResolveClass(*result, stream);
        if (next == result)
            break;
        result = next;
    }
    stream.SetPosition(start);
    return result;
}

// ---- Strings as sub-blocks

void WriteStrings(TStream& stream, const TStrings& strings)
{
    for (int i = 0; i < strings.Count(); ++i) {
        const std::string text = strings.Get(i);
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        for (size_t offset = 0; offset < text.size(); offset += 255)
            writeSubBlock(stream, bytes + offset, std::min<size_t>(255, text.size() - offset));
    }
    WriteByte(stream, 0);
}

void ReadStrings(TStream& stream, TStrings& strings)
{
    strings.Clear();
    char bytes[255];
    for (int size = ReadByte(stream); size > 0; size = ReadByte(stream)) {
        ReadExact(stream, bytes, static_cast<size_t>(size));
        strings.Add(std::string(bytes, strnlen(bytes, static_cast<size_t>(size))));
    }
}
