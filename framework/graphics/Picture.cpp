#include "framework/graphics/Picture.h"

#include "framework/core/Stream.h"
#include "framework/core/TextCompare.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Clipboard.h"
#include "framework/graphics/Icon.h"

#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::vector<TFileFormat> formats;
    std::map<uint32_t, const TClass*> clipboardFormats;

    Registry()
    {
        formats.push_back({"bmp", "Bitmaps", &TBitmap::StaticClass()});
        formats.push_back({"ico", "Icônes", &TIcon::StaticClass()});
        clipboardFormats[CF_BITMAP] = &TBitmap::StaticClass();
    }
};

// Built on first use: the GIF library registers itself before the application exists,
// possibly from another unit's start-up code.
Registry& registry()
{
    static Registry instance;
    return instance;
}

void requireGraphicClass(const TClass& graphicClass)
{
    if (!graphicClass.InheritsFrom(TGraphic::StaticClass()) || graphicClass.IsAbstract())
        throw EInvalidGraphicOperation(Format("%s n'est pas une classe graphique", {graphicClass.Name()}));
}

std::unique_ptr<TGraphic> createGraphic(const TClass& graphicClass)
{
    std::unique_ptr<TObject> object = graphicClass.Create();
    auto* graphic = dynamic_cast<TGraphic*>(object.get());
    if (!graphic)
        throw EInvalidGraphicOperation(Format("%s n'est pas une classe graphique", {graphicClass.Name()}));
    object.release();
    return std::unique_ptr<TGraphic>(graphic);
}

std::string extensionOf(const std::string& fileName)
{
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return fileName.substr(dot + 1);
}
} // namespace

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

void TPicture::changed(TObject*)
{
    if (OnChange)
        OnChange(this);
}

void TPicture::attach()
{
    if (!m_graphic)
        return;
    m_graphic->OnChange = [this](TObject* sender) { changed(sender); };
    m_graphic->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow,
                                   const TRect& rect, const std::string& message) {
        if (OnProgress)
            OnProgress(sender, stage, percent, redrawNow, rect, message);
    };
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> graphic)
{
    m_graphic = std::move(graphic);
    attach();
    changed(this);
}

void TPicture::SetGraphic(const TGraphic* graphic)
{
    if (graphic == m_graphic.get())
        return;
    if (!graphic) {
        TakeGraphic(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = createGraphic(graphic->ClassType());
    copy->CopyFrom(graphic);
    TakeGraphic(std::move(copy));
}

template <typename T>
T& TPicture::force()
{
    if (auto* existing = dynamic_cast<T*>(m_graphic.get()))
        return *existing;
    auto fresh = std::make_unique<T>();
    T& result = *fresh;
    TakeGraphic(std::move(fresh));
    return result;
}

TBitmap& TPicture::Bitmap()
{
    return force<TBitmap>();
}

TIcon& TPicture::Icon()
{
    return force<TIcon>();
}

int TPicture::Width() const
{
    return m_graphic ? m_graphic->Width() : 0;
}

int TPicture::Height() const
{
    return m_graphic ? m_graphic->Height() : 0;
}

void TPicture::LoadFromFile(const std::string& fileName)
{
    const std::string extension = extensionOf(fileName);
    const TClass* graphicClass = FindClassByExtension(extension);
    if (!graphicClass)
        throw EInvalidGraphic(Format("Extension de fichier graphique inconnue (.%s)", {extension}));
    std::unique_ptr<TGraphic> graphic = createGraphic(*graphicClass);
    if (m_maxPixelBytes > 0)
        graphic->SetMaxPixelBytes(m_maxPixelBytes);
    graphic->OnProgress = OnProgress;
    graphic->LoadFile(fileName);
    TakeGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName)
{
    if (!m_graphic)
        throw EInvalidGraphicOperation("L'image est vide");
    m_graphic->SaveFile(fileName);
}

void TPicture::ReadStored(TStream& stream)
{
    uint8_t length = 0;
    stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    stream.ReadBuffer(name.data(), length);
    const TClass* graphicClass = FindClassByName(name);
    if (!graphicClass)
        return;
    std::unique_ptr<TGraphic> graphic = createGraphic(*graphicClass);
    if (m_maxPixelBytes > 0)
        graphic->SetMaxPixelBytes(m_maxPixelBytes);
    graphic->ReadStored(stream);
    TakeGraphic(std::move(graphic));
}

void TPicture::WriteStored(TStream& stream) const
{
    const std::string name = m_graphic ? std::string(m_graphic->ClassName()) : std::string();
    if (name.size() > 255)
        throw EInvalidGraphicOperation("Nom de classe trop long");
    const auto length = static_cast<uint8_t>(name.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(name.data(), name.size());
    if (m_graphic)
        m_graphic->WriteStored(stream);
}

void TPicture::LoadFromClipboardFormat(uint32_t format, const TClipboardData& data, const TPalette* palette)
{
    const TClass* graphicClass = nullptr;
    {
        Registry& r = registry();
        std::scoped_lock lock(r.mutex);
        const auto it = r.clipboardFormats.find(format);
        if (it != r.clipboardFormats.end())
            graphicClass = it->second;
    }
    if (!graphicClass)
        throw EInvalidGraphic("Format du presse-papiers non reconnu");
    std::unique_ptr<TGraphic> graphic = createGraphic(*graphicClass);
    graphic->LoadClipboard(format, data, palette);
    TakeGraphic(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(uint32_t& format, TClipboardData& data, const TPalette*& palette)
{
    if (!m_graphic)
        throw EInvalidGraphicOperation("L'image est vide");
    m_graphic->SaveClipboard(format, data, palette);
}

void TPicture::CopyFrom(const TPersistent* source)
{
    if (!source) {
        SetGraphic(nullptr);
    } else if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        if (picture != this)
            SetGraphic(picture->Graphic());
    } else if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
        SetGraphic(graphic);
    } else {
        TPersistent::CopyFrom(source);
    }
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TClass& graphicClass)
{
    requireGraphicClass(graphicClass);
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    r.formats.push_back({extension, description, &graphicClass});
}

void TPicture::UnregisterGraphicClass(const TClass& graphicClass)
{
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    std::erase_if(r.formats, [&](const TFileFormat& f) { return f.graphicClass == &graphicClass; });
    std::erase_if(r.clipboardFormats, [&](const auto& entry) { return entry.second == &graphicClass; });
}

void TPicture::RegisterClipboardFormat(uint32_t format, const TClass& graphicClass)
{
    requireGraphicClass(graphicClass);
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    r.clipboardFormats[format] = &graphicClass;
}

bool TPicture::SupportsClipboardFormat(uint32_t format)
{
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    return r.clipboardFormats.count(format) != 0;
}

const TClass* TPicture::FindClassByExtension(const std::string& extension)
{
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    for (auto it = r.formats.rbegin(); it != r.formats.rend(); ++it)
        if (SameText(it->extension, extension))
            return it->graphicClass;
    return nullptr;
}

const TClass* TPicture::FindClassByName(const std::string& className)
{
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    for (auto it = r.formats.rbegin(); it != r.formats.rend(); ++it)
        if (it->graphicClass->Name() == className)
            return it->graphicClass;
    return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats()
{
    Registry& r = registry();
    std::scoped_lock lock(r.mutex);
    return r.formats;
}
