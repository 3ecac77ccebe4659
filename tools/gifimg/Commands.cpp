#include "tools/gifimg/Commands.h"

#include "gif/GIFImage.h"

#include <cstdio>

namespace gifimg {

CommandLine::CommandLine(const QString& command, const QString& description) : m_command(command)
{
    m_parser.setApplicationDescription(description);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption({{"h", "help"}, "Show this help and exit."});
    m_parser.addOption({"q", "Do not print warnings (errors are always printed)."});
    m_parser.addOption(
        {"max-pixels", "Refuse images whose frames hold more than N pixel bytes together (default 536870912).", "N"});
    m_parser.addOption(
        {"jobs", "Decode the frames of an animation on N threads (default 1); the result is the same.", "N"});
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
    if (m_parser.isSet("jobs")) {
        bool ok = false;
        options.jobs = m_parser.value("jobs").toInt(&ok);
        if (!ok || options.jobs < 1 || options.jobs > MaxJobs) {
            m_exitCode = usageError(QString("--jobs needs a number of threads from 1 to %1").arg(MaxJobs));
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

} // namespace gifimg
