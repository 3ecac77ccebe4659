#pragma once

#include "framework/core/Object.h"
#include "framework/core/Types.h"

#include <cstdint>
#include <functional>
#include <string>

class TCanvas;
class TStream;

enum class TProgressStage { psStarting, psRunning, psEnding };

using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow,
                                          const TRect& rect, const std::string& message)>;

// Clipboard data: a registered format number and a byte block; palette is a palette
// object or null.
class TPalette;
struct TClipboardData;

// The abstract graphic a picture holds. The virtual operations keep the order in which
// the framework calls them (copy into, declare stored data, copy from, draw, equality,
// emptiness, size, stored data, file and stream, clipboard).
class TGraphic : public TPersistent {
    CARNELO_CLASS(TGraphic, TPersistent)
public:
    TGraphic() = default;
    ~TGraphic() override = default;

    // Copying: the default raises EConvertError naming both classes.
    void CopyInto(TPersistent& destination) const override { TPersistent::CopyInto(destination); }
    void CopyFrom(const TPersistent* source) override { TPersistent::CopyFrom(source); }

    virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
    // True when both are empty; false when only one is or the classes differ; else
    // whether their stored data is the same byte for byte.
    virtual bool Equals(TGraphic& other);
    virtual bool IsEmpty() const = 0;
    virtual int QueryHeight() const = 0;
    virtual int QueryWidth() const = 0;
    virtual void ReadStored(TStream& stream) { LoadFromStream(stream); }
    virtual void ChangeHeight(int value) = 0;
    virtual void ChangeWidth(int value) = 0;
    virtual void WriteStored(TStream& stream) { SaveToStream(stream); }
    virtual void LoadFile(const std::string& fileName);
    // Replaces the file atomically: a failing save leaves the old file as it was.
    virtual void SaveFile(const std::string& fileName);
    virtual void LoadFromStream(TStream& stream) = 0;
    // The most pixel memory a later read may allocate; beyond it reading raises
    // EOutOfMemory before allocating. Graphics without pixels of their own ignore it.
    virtual void SetMaxPixelBytes(int64_t) {}
    virtual void SaveToStream(TStream& stream) = 0;
    // Raises EInvalidGraphicOperation unless a graphic knows the format.
    virtual void LoadClipboard(uint32_t format, const TClipboardData& data, const TPalette* palette);
    virtual void SaveClipboard(uint32_t& format, TClipboardData& data, const TPalette*& palette);

    int Width() const { return QueryWidth(); }
    int Height() const { return QueryHeight(); }
    void SetWidth(int value) { ChangeWidth(value); }
    void SetHeight(int value) { ChangeHeight(value); }
    bool Empty() const { return IsEmpty(); }
    bool Modified() const { return m_modified; }
    void SetModified(bool value);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value);

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    // Sets the modified flag and calls the change handler.
    virtual void Changed(TObject* sender);
    // Calls the progress handler when one is set. A graphic may replace it.
    virtual void Progress(TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow, const TRect& rect,
                          const std::string& message);

private:
    bool m_modified = false;
    bool m_transparent = false;
};
