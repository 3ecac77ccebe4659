#include "tools/gifimg/Commands.h"

#include "framework/core/AtomicFile.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

#include <cstdio>
#include <iostream>
#include <iterator>

namespace gifimg {

namespace {

std::string readStandardInput()
{
    std::string bytes;
    char buffer[64 * 1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        bytes.append(buffer, n);
    if (std::ferror(stdin))
        throw EReadError(std::string(FrameworkText::ReadError));
    return bytes;
}

} // namespace

CommandLine::CommandLine(const QString& command, const QString& description) : m_command(command)
{
    m_parser.setApplicationDescription(description);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption({{"h", "help"}, "Show this help and exit."});
    m_parser.addOption({"q", "Do not print warnings (errors are always printed)."});
    m_parser.addOption(
        {"max-pixels", "Refuse images whose frames hold more than N pixel bytes together (default 536870912).", "N"});
}

std::optional<CommonOptions> CommandLine::parse(const QStringList& arguments, int minPositional, int maxPositional)
{
    if (!m_parser.parse(QStringList{"gifimg " + m_command} + arguments)) {
        m_exitCode = usageError(m_parser.errorText());
        return std::nullopt;
    }
    if (m_parser.isSet("help")) {
        // Without an application object the parser knows no program name.
        QString help = m_parser.helpText();
        help.replace("<executable_name>", "gifimg " + m_command);
        std::fputs(help.toLocal8Bit().constData(), stdout);
        m_exitCode = ExitOk;
        return std::nullopt;
    }
    const int count = static_cast<int>(m_parser.positionalArguments().size());
    if (count < minPositional || (maxPositional >= 0 && count > maxPositional)) {
        m_exitCode = usageError(count < minPositional ? "missing arguments" : "too many arguments");
        return std::nullopt;
    }
    CommonOptions options;
    options.quiet = m_parser.isSet("q");
    options.maxPixels = DefaultMaxPixelBytes;
    if (m_parser.isSet("max-pixels")) {
        bool ok = false;
        options.maxPixels = m_parser.value("max-pixels").toLongLong(&ok);
        if (!ok || options.maxPixels < 0) {
            m_exitCode = usageError("--max-pixels needs a number of bytes, 0 or more");
            return std::nullopt;
        }
    }
    return options;
}

int CommandLine::usageError(const QString& message) const
{
    std::fprintf(stderr, "gifimg %s: %s\nTry 'gifimg %s --help'.\n", m_command.toLocal8Bit().constData(),
                 message.toLocal8Bit().constData(), m_command.toLocal8Bit().constData());
    return ExitUsage;
}

void printWarning(const std::string& name, const std::string& text, const CommonOptions& options)
{
    if (!options.quiet)
        std::fprintf(stderr, "%s: warning: %s\n", name.c_str(), text.c_str());
}

void printError(const std::string& name, const std::string& message)
{
    std::fprintf(stderr, "%s: error: %s\n", name.c_str(), message.c_str());
}

std::string readInput(const std::string& name)
{
    if (name == "-")
        return readStandardInput();
    TMemoryStream stream;
    stream.LoadFromFile(name);
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

LoadedImage loadImageFrom(const std::string& name, const std::string& bytes, const CommonOptions& options)
{
    LoadedImage loaded;
    loaded.image = std::make_unique<TGIFImage>();
    loaded.image->SetMaxPixelBytes(options.maxPixels);
    loaded.image->OnWarn = [&](TObject*, int, const std::string& message) {
        loaded.warnings.push_back(message);
        printWarning(name, message, options);
    };
    try {
        TReadOnlyMemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        loaded.image->LoadFromStream(stream);
    } catch (...) {
        loaded.error = currentFailure();
    }
    loaded.image->OnWarn = nullptr;
    if (!loaded.error.empty())
        printError(name, loaded.error);
    return loaded;
}

LoadedImage loadImage(const std::string& name, const CommonOptions& options)
{
    std::string bytes;
    try {
        // The whole input first: the reader steps back and measures what is left.
        bytes = readInput(name);
    } catch (...) {
        LoadedImage unread;
        unread.image = std::make_unique<TGIFImage>();
        unread.error = currentFailure();
        printError(name, unread.error);
        return unread;
    }
    return loadImageFrom(name, bytes, options);
}

std::string currentFailure()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return std::string(FrameworkText::OutOfMemory);
    }
}

int failed(const std::string& name)
{
    printError(name, currentFailure());
    return ExitFailedInput;
}

void writeOutput(const std::string& name, const std::string& bytes)
{
    if (name != "-") {
        // Like other image tools, no flush to disk: it cost more than optimising a small file.
        WriteFileAtomically(name, bytes, FileFlush::Unflushed);
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
        throw EWriteError(std::string(FrameworkText::WriteError));
}

} // namespace gifimg
