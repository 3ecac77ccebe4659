#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QImage;
class TGIFImage;
class TPalette;

namespace gifimg {

// Exit codes.
constexpr int ExitOk = 0;
constexpr int ExitFailedInput = 1;
constexpr int ExitUsage = 2;

// The options every command takes: -q, --max-pixels N, --help.
struct CommonOptions {
    bool quiet = false;
    int64_t maxPixels = 0;
};

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

// An image loaded from a file (or "-" for standard input), with its warnings in order.
struct LoadedImage {
    std::unique_ptr<TGIFImage> image;
    std::vector<std::string> warnings;
    // Empty when the load succeeded.
    std::string error;
};

// The bytes of a file, or of standard input for "-"; raises EReadError or EFOpenError.
std::string readInput(const std::string& name);
// Loads name from its bytes as loadImage does.
LoadedImage loadImageFrom(const std::string& name, const std::string& bytes, const CommonOptions& options);
// Loads name; each warning is also printed as "NAME: warning: TEXT" unless quiet, and a
// failure as "NAME: error: MESSAGE".
LoadedImage loadImage(const std::string& name, const CommonOptions& options);
// "NAME: warning: TEXT" on standard error unless quiet.
void printWarning(const std::string& name, const std::string& text, const CommonOptions& options);
void printError(const std::string& name, const std::string& message);
// Only inside a catch block: the message of the exception being handled, a framework
// exception's or out of memory; any other exception goes on.
std::string currentFailure();
// Only inside a catch block: prints currentFailure() as "NAME: error: MESSAGE" and
// returns ExitFailedInput, the tail of every command's failure.
int failed(const std::string& name);
// Replaces the file atomically, or writes standard output for "-".
void writeOutput(const std::string& name, const std::string& bytes);

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
