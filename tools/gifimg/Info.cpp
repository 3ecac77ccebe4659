#include "tools/gifimg/Commands.h"

#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace gifimg {

namespace {

// Printable ASCII as is, every other byte as \xNN.
QString printable(const uint8_t* bytes, size_t count)
{
    QString text;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '\\')
            text += QChar(bytes[i]);
        else
            text += QString("\\x%1").arg(bytes[i], 2, 16, QChar('0'));
    }
    return text;
}

QString joined(const TStringList& strings)
{
    std::string text;
    for (const std::string& s : strings.Items())
        text += s;
    return printable(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

QJsonObject describeExtension(const TGIFExtension& extension)
{
    QJsonObject out;
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

QJsonObject describeFrame(TGIFSubImage& frame, int index)
{
    QJsonObject out;
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
    out["disposal"] = control ? QJsonValue(control->Disposal()) : QJsonValue();
    out["delay"] = control ? QJsonValue(control->Delay()) : QJsonValue();
    out["transparentIndex"] =
        control && control->Transparent() ? QJsonValue(control->TransparentColorIndex()) : QJsonValue();
    out["userInput"] = control ? QJsonValue(control->UserInput()) : QJsonValue();
    QJsonArray extensions;
    for (int i = 0; i < frame.Extensions().Count(); ++i)
        extensions.append(describeExtension(frame.Extensions().Items(i)));
    out["extensions"] = extensions;
    return out;
}

QJsonObject describe(const std::string& name, LoadedImage& loaded)
{
    TGIFImage& image = *loaded.image;
    const TGIFHeader& header = image.Header();
    QJsonObject out;
    out["file"] = QString::fromLocal8Bit(name.c_str());
    const TGIFVersion version = image.RequiredVersion();
    out["requiredVersion"] = version == gv87a ? QJsonValue("87a") : version == gv89a ? QJsonValue("89a") : QJsonValue();
    out["signature"] =
        printable(reinterpret_cast<const uint8_t*>(header.Signature().data()), header.Signature().size());
    out["signatureOffset"] = header.SignatureOffset();
    out["width"] = header.Width();
    out["height"] = header.Height();
    out["backgroundIndex"] = header.BackgroundColorIndex();
    out["aspectRatio"] = header.AspectRatio();
    out["globalColors"] = header.ColorMap().Count();
    QJsonArray frames;
    for (int i = 0; i < image.Images().Count(); ++i)
        frames.append(describeFrame(image.Images().Items(i), i));
    out["frames"] = frames;
    QJsonArray warnings;
    for (const std::string& warning : loaded.warnings)
        warnings.append(QString::fromStdString(warning));
    out["warnings"] = warnings;
    if (!loaded.error.empty())
        out["error"] = QString::fromStdString(loaded.error);
    return out;
}

QString orDash(const QJsonValue& value)
{
    return value.isNull() ? "-" : value.isBool() ? (value.toBool() ? "yes" : "no") : QString::number(value.toInt());
}

void printText(const QJsonObject& info)
{
    QString text = info["file"].toString() + "\n";
    text += QString("  version required: %1, signature \"%2\" at offset %3\n")
                .arg(info["requiredVersion"].isNull() ? "none" : info["requiredVersion"].toString(),
                     info["signature"].toString(), QString::number(info["signatureOffset"].toInt()));
    text += QString("  logical screen %1 x %2, background index %3, aspect ratio %4, %5 global colours\n")
                .arg(info["width"].toInt())
                .arg(info["height"].toInt())
                .arg(info["backgroundIndex"].toInt())
                .arg(info["aspectRatio"].toInt())
                .arg(info["globalColors"].toInt());
    for (const QJsonValue& value : info["frames"].toArray()) {
        const QJsonObject frame = value.toObject();
        text += QString("  frame %1: ").arg(frame["index"].toInt());
        if (frame["hasImage"].toBool())
            text += QString("%1,%2 %3 x %4, %5, %6 local colours")
                        .arg(frame["left"].toInt())
                        .arg(frame["top"].toInt())
                        .arg(frame["width"].toInt())
                        .arg(frame["height"].toInt())
                        .arg(frame["interlaced"].toBool() ? "interlaced" : "not interlaced")
                        .arg(frame["localColors"].toInt());
        else
            text += "no image";
        text += QString(", disposal %1, delay %2, transparent index %3, user input %4\n")
                    .arg(orDash(frame["disposal"]), orDash(frame["delay"]), orDash(frame["transparentIndex"]),
                         orDash(frame["userInput"]));
        for (const QJsonValue& e : frame["extensions"].toArray()) {
            const QJsonObject extension = e.toObject();
            text += QString("    %1 extension (label 0x%2)")
                        .arg(extension["kind"].toString())
                        .arg(QString::number(extension["label"].toInt(), 16).toUpper().rightJustified(2, QChar('0')));
            if (extension.contains("identifier"))
                text += " \"" + extension["identifier"].toString() + "\"";
            if (extension.contains("loops"))
                text += QString(", loops %1").arg(extension["loops"].toInt());
            if (extension.contains("text"))
                text += ": \"" + extension["text"].toString() + "\"";
            text += "\n";
        }
    }
    text += QString("  %1 warning(s)\n").arg(info["warnings"].toArray().size());
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

} // namespace

int runInfo(const QStringList& arguments)
{
    CommandLine commandLine("info", "Describes each GIF file: version, logical screen, frames, extensions and "
                                    "the warnings of its reading.");
    commandLine.parser().addOption({"json", "Print one JSON object per file (an array for several files)."});
    commandLine.parser().addPositionalArgument("FILE", "GIF files; '-' reads standard input.", "FILE...");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 1, -1);
    if (!options)
        return commandLine.exitCode();
    const bool json = commandLine.parser().isSet("json");

    int exitCode = ExitOk;
    QJsonArray all;
    for (const QString& file : commandLine.parser().positionalArguments()) {
        const std::string name = file.toLocal8Bit().toStdString();
        LoadedImage loaded = loadImage(name, *options);
        if (!loaded.error.empty())
            exitCode = ExitFailedInput;
        const QJsonObject info = describe(name, loaded);
        if (json)
            all.append(info);
        else if (loaded.error.empty())
            printText(info);
    }
    if (json) {
        const QJsonDocument document = all.size() == 1 ? QJsonDocument(all.first().toObject()) : QJsonDocument(all);
        std::fputs(document.toJson(QJsonDocument::Indented).constData(), stdout);
    }
    return exitCode;
}

} // namespace gifimg
