#pragma once

#include "framework/core/Strings.h"
#include "gif/ColorMap.h"
#include "gif/GIFItem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class TGIFExtension;
class TGIFSubImage;
class TStrings;

// The run-time face of an extension class: how to make one for a frame, and how the
// class narrows itself to a more specific one by looking ahead in the stream.
struct TGIFExtensionClass {
    std::string_view Name;
    // Null for an abstract class.
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* frame);
    // Answers self when it is the class to use, another class to ask in turn, or null
    // when the block cannot be read. Reads on from the stream's position.
    const TGIFExtensionClass* (*ResolveClass)(const TGIFExtensionClass& self, TStream& stream);
};

// An extension block: '!' (0x21), a label, then the kind's own bytes.
class TGIFExtension : public TGIFItem {
    CARNELO_CLASS(TGIFExtension, TGIFItem)
public:
    // frame: the frame the extension precedes, never owned here; may be null.
    explicit TGIFExtension(TGIFSubImage* frame);

    TGIFVersion RequiredVersion() const override { return gv89a; }
    virtual uint8_t Label() const = 0;
    TGIFSubImage* SubImage() const { return m_frame; }

    // Writes the introducer and the label.
    void SaveToStream(TStream& stream) override;
    // Reads the introducer and the label; raises when either is not this kind's.
    void LoadFromStream(TStream& stream) override;

private:
    TGIFSubImage* m_frame;
};

// Label 0xF9: block size, packed [reserved:3 disposal:3 user input:1 transparent:1],
// delay (u16, hundredths of a second), transparent index, terminator. The six bytes
// are kept as read.
class TGIFGraphicControlExtension : public TGIFExtension {
    CARNELO_CLASS(TGIFGraphicControlExtension, TGIFExtension)
public:
    static constexpr uint8_t LabelByte = 0xF9;
    static const TGIFExtensionClass& ExtensionClass();

    // Becomes the frame's graphic control extension when it has none yet.
    explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
    ~TGIFGraphicControlExtension() override;

    uint8_t Label() const override { return LabelByte; }
    void SaveToStream(TStream& stream) override;
    // Fewer than six bytes warn "Premature end of data" and keep what came.
    void LoadFromStream(TStream& stream) override;

    bool Transparent() const { return (m_packedFields & 0x01) != 0; }
    // Also sets the frame's transparent flag.
    void SetTransparent(bool value);
    uint8_t TransparentColorIndex() const { return m_transparentColorIndex; }
    // An index beyond a non-empty active colour map warns "Invalid color index" and
    // stores 0.
    void SetTransparentColorIndex(int index);
    // Stores the index without checking it against a colour map.
    void StoreTransparentColorIndex(uint8_t index) { m_transparentColorIndex = index; }
    uint16_t Delay() const { return m_delay; }
    void SetDelay(uint16_t value) { m_delay = value; }
    bool UserInput() const { return (m_packedFields & 0x02) != 0; }
    void SetUserInput(bool value);
    int Disposal() const { return (m_packedFields >> 2) & 0x07; }
    // Keeps the low three bits of value.
    void SetDisposal(int value);
    uint8_t BlockSize() const { return m_blockSize; }
    uint8_t PackedFields() const { return m_packedFields; }
    uint8_t Terminator() const { return m_terminator; }

private:
    uint8_t m_blockSize = 4;
    uint8_t m_packedFields = 0;
    uint16_t m_delay = 0;
    uint8_t m_transparentColorIndex = 0;
    uint8_t m_terminator = 0;
};

// Label 0x01: block size, grid left, top, width, height (u16), cell width, cell
// height, foreground and background index (into the global table), then the text as
// data sub-blocks. The 13 header bytes are kept as read.
class TGIFTextExtension : public TGIFExtension {
    CARNELO_CLASS(TGIFTextExtension, TGIFExtension)
public:
    static constexpr uint8_t LabelByte = 0x01;
    static const TGIFExtensionClass& ExtensionClass();

    explicit TGIFTextExtension(TGIFSubImage* frame);

    uint8_t Label() const override { return LabelByte; }
    void SaveToStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;

    TStringList& Text() { return m_text; }
    const TStringList& Text() const { return m_text; }
    uint8_t BlockSize() const { return m_fields[0]; }
    uint16_t GridLeft() const { return field16(1); }
    uint16_t GridTop() const { return field16(3); }
    uint16_t GridWidth() const { return field16(5); }
    uint16_t GridHeight() const { return field16(7); }
    uint8_t CellWidth() const { return m_fields[9]; }
    uint8_t CellHeight() const { return m_fields[10]; }
    uint8_t ForegroundColorIndex() const { return m_fields[11]; }
    uint8_t BackgroundColorIndex() const { return m_fields[12]; }
    void SetGrid(uint16_t left, uint16_t top, uint16_t width, uint16_t height);
    void SetCellSize(uint8_t width, uint8_t height);
    void SetForegroundColorIndex(uint8_t value) { m_fields[11] = value; }
    void SetBackgroundColorIndex(uint8_t value) { m_fields[12] = value; }

private:
    uint16_t field16(int offset) const;

    TStringList m_text;
    std::array<uint8_t, 13> m_fields{};
};

// Label 0xFE: only data sub-blocks, one string each.
class TGIFCommentExtension : public TGIFExtension {
    CARNELO_CLASS(TGIFCommentExtension, TGIFExtension)
public:
    static constexpr uint8_t LabelByte = 0xFE;
    static const TGIFExtensionClass& ExtensionClass();

    explicit TGIFCommentExtension(TGIFSubImage* frame);

    uint8_t Label() const override { return LabelByte; }
    void SaveToStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;

    TStringList& Text() { return m_text; }
    const TStringList& Text() const { return m_text; }

private:
    TStringList m_text;
};

// 8 bytes of application name and 3 of authentication code.
using TGIFAppIdentifier = std::array<uint8_t, 11>;
TGIFAppIdentifier AppIdentifier(std::string_view text);

// Label 0xFF: block size (11), the identifier, then the application's data
// sub-blocks, which each kind reads and writes itself.
class TGIFApplicationExtension : public TGIFExtension {
    CARNELO_CLASS(TGIFApplicationExtension, TGIFExtension)
public:
    static constexpr uint8_t LabelByte = 0xFF;
    static const TGIFExtensionClass& ExtensionClass();

    explicit TGIFApplicationExtension(TGIFSubImage* frame);

    uint8_t Label() const override { return LabelByte; }
    // Always with block size 11.
    void SaveToStream(TStream& stream) override;
    // A block of 10 bytes fills the identifier's first 10; one above 11 gives its first
    // 11 and the rest is skipped; any other size below 11 raises "Unsupported
    // Application Extension block size".
    void LoadFromStream(TStream& stream) override;
    virtual void SaveData(TStream& stream) = 0;
    virtual void LoadData(TStream& stream) = 0;

    const TGIFAppIdentifier& Identifier() const { return m_identifier; }
    void SetIdentifier(const TGIFAppIdentifier& value) { m_identifier = value; }

private:
    TGIFAppIdentifier m_identifier{};
};

// Any application extension this library does not understand: its data sub-blocks
// are kept as they are.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
    CARNELO_CLASS(TGIFUnknownAppExtension, TGIFApplicationExtension)
public:
    static const TGIFExtensionClass& ExtensionClass();

    explicit TGIFUnknownAppExtension(TGIFSubImage* frame);

    void SaveData(TStream& stream) override;
    // A sub-block cut short raises "Premature end of data".
    void LoadData(TStream& stream) override;

    // The data sub-blocks as read, each its size byte (1 to 255) and its bytes, without
    // the terminator: written back as they are.
    std::vector<uint8_t>& SubBlocks() { return m_subBlocks; }
    const std::vector<uint8_t>& SubBlocks() const { return m_subBlocks; }

private:
    std::vector<uint8_t> m_subBlocks;
};

// The looping extension ("NETSCAPE2.0", or "ANIMEXTS1.0" kept as read). Sub-blocks:
// ID 1 with the loop count (u16), ID 2 with a buffer size (32-bit).
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
    CARNELO_CLASS(TGIFAppExtNSLoop, TGIFApplicationExtension)
public:
    static const TGIFExtensionClass& ExtensionClass();

    explicit TGIFAppExtNSLoop(TGIFSubImage* frame);

    // The loop sub-block always; the buffer one only when BufferSize is above 0.
    void SaveData(TStream& stream) override;
    // A sub-block too short for its ID raises "Invalid GIF data".
    void LoadData(TStream& stream) override;

    uint16_t Loops() const { return m_loops; }
    void SetLoops(uint16_t value) { m_loops = value; }
    int32_t BufferSize() const { return m_bufferSize; }
    void SetBufferSize(int32_t value) { m_bufferSize = value; }

private:
    uint16_t m_loops = 0;
    int32_t m_bufferSize = 0;
};

// The extensions before one frame, in file order; owns them.
class TGIFExtensionList : public TGIFList {
    CARNELO_CLASS(TGIFExtensionList, TGIFList)
public:
    explicit TGIFExtensionList(TGIFSubImage* frame);

    TGIFSubImage* SubImage() const { return m_frame; }
    TGIFExtension& Items(int index) const;
    int Add(std::unique_ptr<TGIFExtension> extension);
    std::unique_ptr<TGIFExtension> Remove(const TGIFExtension& extension);

    // Reads the extensions that stand at the stream's position and leaves the stream on
    // the byte that ended them (',', ';' or an unexpected one). A byte other than '!'
    // warns "Invalid extension introducer"; an unknown label raises "Unknown extension
    // type"; extensions read before a failure stay in the list.
    void LoadFromStream(TStream& stream, TGIFSubImage& frame);

private:
    TGIFSubImage* m_frame;
};

// Label -> class. Lookups run from the last registration to the first.
class TExtensionList {
public:
    static TExtensionList& Instance();
    void Add(uint8_t label, const TGIFExtensionClass& extensionClass);
    const TGIFExtensionClass* Find(uint8_t label) const;

private:
    TExtensionList();
    struct Entry {
        uint8_t Label;
        const TGIFExtensionClass* Class;
    };
    std::vector<Entry> m_entries;
};

// Application identifier -> class. Lookups run from the last registration to the first.
class TAppExtensionList {
public:
    static TAppExtensionList& Instance();
    void Add(const TGIFAppIdentifier& identifier, const TGIFExtensionClass& extensionClass);
    const TGIFExtensionClass* Find(const TGIFAppIdentifier& identifier) const;

private:
    TAppExtensionList();
    struct Entry {
        TGIFAppIdentifier Identifier;
        const TGIFExtensionClass* Class;
    };
    std::vector<Entry> m_entries;
};

// The class for the extension whose label stands at the stream's position, or null
// when the label is unknown or the block cannot be read. The stream returns to the label.
const TGIFExtensionClass* FindExtensionClass(TStream& stream);

// Each string as sub-blocks of at most 255 bytes (an empty string writes nothing), then
// the terminator.
void WriteStrings(TStream& stream, const TStrings& strings);
// One string per sub-block, cut at its first zero byte, until the terminator or the end
// of the stream; a sub-block cut short raises "Premature end of data".
void ReadStrings(TStream& stream, TStrings& strings);
