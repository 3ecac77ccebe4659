#pragma once

#include "tools/gifimg/Files.h"

#include <QCommandLineParser>
#include <QStringList>

#include <memory>
#include <optional>

class QImage;
class TPalette;

namespace gifimg {

// A command's parser with the common options; parse() prints usage errors and help.
class CommandLine {
public:
    CommandLine(const QString& command, const QString& description);
    QCommandLineParser& parser() { return m_parser; }
    // Nothing when the command should end at once with exitCode (help or a usage error).
    std::optional<CommonOptions> parse(const QStringList& arguments, int minPositional, int maxPositional);
    int exitCode() const { return m_exitCode; }
    // Prints "gifimg COMMAND: message" and the hint to --help; returns ExitUsage.
    int usageError(const QString& message) const;

private:
    QString m_command;
    QCommandLineParser m_parser;
    int m_exitCode = ExitOk;
};

// Reduction methods and ditherers by their command-line names: the index, or -1.
int reductionMethodOf(const QString& name);
int ditherMethodOf(const QString& name);
QString reductionMethodNames();
QString ditherMethodNames();
// The image at name ("-": standard input); a null image and the reader's complaint when
// Qt cannot read it.
QImage readImage(const QString& name, QString& error);
// The global colour table of a GIF, else the first local one; or the table of a palette
// image. Null with a message when the file has none.
std::unique_ptr<TPalette> readPalette(const QString& file, const CommonOptions& options, std::string& error);

int runInfo(const QStringList& arguments);
int runExtract(const QStringList& arguments);
int runCopy(const QStringList& arguments);
int runReduce(const QStringList& arguments);
int runRender(const QStringList& arguments);
int runPlay(const QStringList& arguments);
int runConvert(const QStringList& arguments);
int runOptimize(const QStringList& arguments);

} // namespace gifimg
