// info's descriptions, as text and as JSON, without Qt: the front end prints them. Every text
// here is UTF-8 (library messages, and names that came through the argument parser), so the
// JSON needs no repair of its strings.
#include "tools/gifimg/Files.h"

#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstdio>
#include <map>
#include <variant>

namespace gifimg {

namespace {

// A JSON value; objects keep their keys sorted, as the JSON of the first version of this
// command did, and the writer lays them out as it did.
struct Json {
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;
    std::variant<std::monostate, bool, int64_t, std::string, Array, Object> value;

    Json() = default;
    Json(bool b) : value(b) {}
    Json(int i) : value(int64_t(i)) {}
    Json(std::string s) : value(std::move(s)) {}
    Json(const char* s) : value(std::string(s)) {}
    Json(Array a) : value(std::move(a)) {}
    Json(Object o) : value(std::move(o)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(value); }
    int64_t number() const { return std::get<int64_t>(value); }
    const std::string& text() const { return std::get<std::string>(value); }
    const Array& array() const { return std::get<Array>(value); }
};

using Object = Json::Object;

void appendEscaped(std::string& json, const std::string& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != '"' && u != '\\') {
            json += c;
            continue;
        }
        json += '\\';
        switch (u) {
        case '"': json += '"'; break;
        case '\\': json += '\\'; break;
        case '\b': json += 'b'; break;
        case '\f': json += 'f'; break;
        case '\n': json += 'n'; break;
        case '\r': json += 'r'; break;
        case '\t': json += 't'; break;
        default:
            json += "u00";
            json += hex[u >> 4];
            json += hex[u & 0xF];
        }
    }
}

void write(std::string& json, const Json& value, int indent)
{
    const std::string inner(4 * (indent + 1), ' ');
    if (value.isNull()) {
        json += "null";
    } else if (const bool* b = std::get_if<bool>(&value.value)) {
        json += *b ? "true" : "false";
    } else if (const int64_t* i = std::get_if<int64_t>(&value.value)) {
        json += std::to_string(*i);
    } else if (const std::string* s = std::get_if<std::string>(&value.value)) {
        json += '"';
        appendEscaped(json, *s);
        json += '"';
    } else if (const Json::Array* a = std::get_if<Json::Array>(&value.value)) {
        json += "[\n";
        for (size_t n = 0; n < a->size(); ++n) {
            json += inner;
            write(json, (*a)[n], indent + 1);
            json += n + 1 < a->size() ? ",\n" : "\n";
        }
        json += std::string(4 * indent, ' ') + "]";
    } else {
        const Object& o = std::get<Object>(value.value);
        json += "{\n";
        size_t n = 0;
        for (const auto& [key, field] : o) {
            json += inner + '"';
            appendEscaped(json, key);
            json += "\": ";
            write(json, field, indent + 1);
            json += ++n < o.size() ? ",\n" : "\n";
        }
        json += std::string(4 * indent, ' ') + "}";
    }
}

std::string format(const char* pattern, auto... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

// Printable ASCII as is, every other byte as \xNN.
std::string printable(const uint8_t* bytes, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '\\')
            text += static_cast<char>(bytes[i]);
        else
            text += format("\\x%02x", bytes[i]);
    }
    return text;
}

std::string joined(const TStringList& strings)
{
    std::string text;
    for (const std::string& s : strings.Items())
        text += s;
    return printable(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

Object describeExtension(const TGIFExtension& extension)
{
    Object out;
    out["label"] = extension.Label();
    if (dynamic_cast<const TGIFGraphicControlExtension*>(&extension)) {
        out["kind"] = "graphic control";
    } else if (auto* text = dynamic_cast<const TGIFTextExtension*>(&extension)) {
        out["kind"] = "plain text";
        out["text"] = joined(text->Text());
    } else if (auto* comment = dynamic_cast<const TGIFCommentExtension*>(&extension)) {
        out["kind"] = "comment";
        out["text"] = joined(comment->Text());
    } else if (auto* application = dynamic_cast<const TGIFApplicationExtension*>(&extension)) {
        out["kind"] = "application";
        out["identifier"] = printable(application->Identifier().data(), application->Identifier().size());
        if (auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&extension))
            out["loops"] = loop->Loops();
    } else {
        out["kind"] = "unknown";
    }
    return out;
}

Object describeFrame(TGIFSubImage& frame, int index)
{
    Object out;
    out["index"] = index;
    out["hasImage"] = !frame.Empty();
    if (!frame.Empty()) {
        out["left"] = frame.Left();
        out["top"] = frame.Top();
        out["width"] = frame.Width();
        out["height"] = frame.Height();
        out["interlaced"] = frame.Interlaced();
        out["localColors"] = frame.ColorMap().Count();
    }
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    out["disposal"] = control ? Json(control->Disposal()) : Json();
    out["delay"] = control ? Json(control->Delay()) : Json();
    out["transparentIndex"] = control && control->Transparent() ? Json(control->TransparentColorIndex()) : Json();
    out["userInput"] = control ? Json(control->UserInput()) : Json();
    Json::Array extensions;
    for (int i = 0; i < frame.Extensions().Count(); ++i)
        extensions.emplace_back(describeExtension(frame.Extensions().Items(i)));
    out["extensions"] = std::move(extensions);
    return out;
}

Object describe(const std::string& name, LoadedImage& loaded)
{
    TGIFImage& image = *loaded.image;
    const TGIFHeader& header = image.Header();
    Object out;
    out["file"] = name;
    const TGIFVersion version = image.RequiredVersion();
    out["requiredVersion"] = version == gv87a ? Json("87a") : version == gv89a ? Json("89a") : Json();
    out["signature"] =
        printable(reinterpret_cast<const uint8_t*>(header.Signature().data()), header.Signature().size());
    out["signatureOffset"] = header.SignatureOffset();
    out["width"] = header.Width();
    out["height"] = header.Height();
    out["backgroundIndex"] = header.BackgroundColorIndex();
    out["aspectRatio"] = header.AspectRatio();
    out["globalColors"] = header.ColorMap().Count();
    Json::Array frames;
    for (int i = 0; i < image.Images().Count(); ++i)
        frames.emplace_back(describeFrame(image.Images().Items(i), i));
    out["frames"] = std::move(frames);
    Json::Array warnings;
    for (const std::string& warning : loaded.warnings)
        warnings.emplace_back(warning);
    out["warnings"] = std::move(warnings);
    if (!loaded.error.empty())
        out["error"] = loaded.error;
    return out;
}

std::string orDash(const Json& value)
{
    if (value.isNull())
        return "-";
    if (const bool* b = std::get_if<bool>(&value.value))
        return *b ? "yes" : "no";
    return std::to_string(value.number());
}

bool isSet(const Object& object, const char* key)
{
    return std::get<bool>(object.at(key).value);
}

void printText(const Object& info)
{
    const Json& version = info.at("requiredVersion");
    std::string text = info.at("file").text() + "\n";
    text += "  version required: " + (version.isNull() ? std::string("none") : version.text()) + ", signature \"" +
            info.at("signature").text() + "\" at offset " + std::to_string(info.at("signatureOffset").number()) + "\n";
    text +=
        format("  logical screen %lld x %lld, background index %lld, aspect ratio %lld, %lld global colours\n",
               static_cast<long long>(info.at("width").number()), static_cast<long long>(info.at("height").number()),
               static_cast<long long>(info.at("backgroundIndex").number()),
               static_cast<long long>(info.at("aspectRatio").number()),
               static_cast<long long>(info.at("globalColors").number()));
    for (const Json& value : info.at("frames").array()) {
        const Object& frame = std::get<Object>(value.value);
        text += "  frame " + std::to_string(frame.at("index").number()) + ": ";
        if (isSet(frame, "hasImage"))
            text += format(
                "%lld,%lld %lld x %lld, %s, %lld local colours", static_cast<long long>(frame.at("left").number()),
                static_cast<long long>(frame.at("top").number()), static_cast<long long>(frame.at("width").number()),
                static_cast<long long>(frame.at("height").number()),
                isSet(frame, "interlaced") ? "interlaced" : "not interlaced",
                static_cast<long long>(frame.at("localColors").number()));
        else
            text += "no image";
        text += ", disposal " + orDash(frame.at("disposal")) + ", delay " + orDash(frame.at("delay")) +
                ", transparent index " + orDash(frame.at("transparentIndex")) + ", user input " +
                orDash(frame.at("userInput")) + "\n";
        for (const Json& e : frame.at("extensions").array()) {
            const Object& extension = std::get<Object>(e.value);
            text += "    " + extension.at("kind").text() +
                    format(" extension (label 0x%02llX)", static_cast<long long>(extension.at("label").number()));
            if (extension.count("identifier"))
                text += " \"" + extension.at("identifier").text() + "\"";
            if (extension.count("loops"))
                text += ", loops " + std::to_string(extension.at("loops").number());
            if (extension.count("text"))
                text += ": \"" + extension.at("text").text() + "\"";
            text += "\n";
        }
    }
    text += "  " + std::to_string(info.at("warnings").array().size()) + " warning(s)\n";
    std::fputs(text.c_str(), stdout);
}

} // namespace

int infoFiles(const std::vector<std::string>& names, bool json, const CommonOptions& options)
{
    int exitCode = ExitOk;
    Json::Array all;
    for (const std::string& name : names) {
        LoadedImage loaded = loadImage(name, options);
        if (!loaded.error.empty())
            exitCode = ExitFailedInput;
        Object info = describe(name, loaded);
        if (json)
            all.emplace_back(std::move(info));
        else if (loaded.error.empty())
            printText(info);
    }
    if (json) {
        std::string text;
        write(text, all.size() == 1 ? all.front() : Json(std::move(all)), 0);
        text += '\n';
        std::fputs(text.c_str(), stdout);
    }
    return exitCode;
}

} // namespace gifimg
