#pragma once

#include "framework/graphics/Graphic.h"

#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TIcon;
class TStream;
struct TClipboardData;

// One entry of the graphic class registry.
struct TFileFormat {
    std::string extension; // without the dot, compared without regard to letter case
    std::string description;
    const TClass* graphicClass = nullptr;
};

// Holds one graphic (or none) and tells its owner when it changes. The class registry
// it keeps serves file loading (by extension), stored picture data (by class name) and
// the clipboard (by format). The registry is built on first use and works from start-up
// on, from any thread; TBitmap ("bmp") and TIcon ("ico") are registered from the start.
class TPicture : public TPersistent {
    CARNELO_CLASS(TPicture, TPersistent)
public:
    TPicture();
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return m_graphic.get(); }
    // Holds a copy of the graphic (an instance of its class filled by CopyFrom); null
    // empties the picture.
    void SetGraphic(const TGraphic* graphic);
    // Holds this very graphic.
    void TakeGraphic(std::unique_ptr<TGraphic> graphic);
    // The graphic as a bitmap; a picture holding something else (or nothing) first
    // gets a new empty bitmap.
    TBitmap& Bitmap();
    TIcon& Icon();

    int Width() const;
    int Height() const;

    // By the file's extension; raises EInvalidGraphic for an unknown one.
    void LoadFromFile(const std::string& fileName);
    // Raises EInvalidGraphicOperation for an empty picture.
    void SaveToFile(const std::string& fileName);

    // Stored picture data: a length byte and that many characters of the graphic's class
    // name, then the graphic's stored data to the end of the value. A name no registered
    // class has leaves the picture unchanged; a graphic that fails to read is destroyed
    // and the error passes on, the picture keeping its old graphic.
    void ReadStored(TStream& stream);
    // Passed to each graphic the picture creates for reading (see TGraphic::SetMaxPixelBytes);
    // 0 leaves the graphics' own defaults.
    void SetMaxPixelBytes(int64_t value) { m_maxPixelBytes = value; }
    void WriteStored(TStream& stream) const;

    void LoadFromClipboardFormat(uint32_t format, const TClipboardData& data, const TPalette* palette);
    void SaveToClipboardFormat(uint32_t& format, TClipboardData& data, const TPalette*& palette);

    void CopyFrom(const TPersistent* source) override;

    // Registry.
    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   const TClass& graphicClass);
    static void UnregisterGraphicClass(const TClass& graphicClass);
    static void RegisterClipboardFormat(uint32_t format, const TClass& graphicClass);
    static bool SupportsClipboardFormat(uint32_t format);
    // The most recently registered class for the extension; null when none.
    static const TClass* FindClassByExtension(const std::string& extension);
    // The registered class with exactly that name; null when none.
    static const TClass* FindClassByName(const std::string& className);
    static std::vector<TFileFormat> FileFormats();

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

private:
    void changed(TObject* sender);
    void attach();
    template <typename T>
    T& force();

    std::unique_ptr<TGraphic> m_graphic;
    int64_t m_maxPixelBytes = 0;
};
