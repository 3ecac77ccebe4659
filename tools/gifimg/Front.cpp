// gifimg's front end. Loading Qt's libraries costs several times what copying or optimising
// a small GIF does, so the front end holds no Qt: it answers usage, --help and --version, and
// runs info, extract --raw, copy and optimize itself when their arguments are plain (known
// options, ASCII names). Everything else, help and usage errors of a command included, goes to
// gifimg-qt, the whole tool as it always was, by exec with the same arguments. An exec rather
// than a module loaded into this process: the Qt part keeps its own copy of the GIF library
// with its own registries and static state, standard input is still unread, and what the user
// sees is what the one program printed, since the same code prints it. The extra exec costs
// only the commands that load Qt anyway.
#include "tools/gifimg/Files.h"
#include "tools/gifimg/Usage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

struct PlainArguments {
    std::vector<std::string> files;
    std::vector<std::string> flags;
    gifimg::CommonOptions options;
    bool has(std::string_view flag) const
    {
        for (const std::string& f : flags)
            if (f == flag)
                return true;
        return false;
    }
};

bool isCount(std::string_view text)
{
    if (text.empty() || text.size() > 18)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The arguments after the command, when each is a file name, -q, --max-pixels with a count,
// or one of the command's flags, in the spellings the Qt parser takes for them ("-name" is
// "--name"); nothing for anything else, which the Qt part then judges.
std::optional<PlainArguments> plainArguments(int argc, char** argv, std::initializer_list<std::string_view> known,
                                             size_t minFiles = 2, size_t maxFiles = 2)
{
    PlainArguments plain;
    plain.options.maxPixels = DefaultMaxPixelBytes;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        // Qt reads names as UTF-8 and writes them back; ASCII alone is sure to round-trip.
        for (char c : argument)
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        if (argument.empty())
            return std::nullopt;
        if (argument == "-" || argument[0] != '-') {
            plain.files.emplace_back(argument);
            continue;
        }
        std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
        if (name.empty() || name[0] == '-')
            return std::nullopt;
        if (name.starts_with("max-pixels")) {
            std::string_view value;
            if (name == "max-pixels" && i + 1 < argc)
                value = argv[++i];
            else if (name.starts_with("max-pixels="))
                value = name.substr(11);
            else
                return std::nullopt;
            if (!isCount(value))
                return std::nullopt;
            plain.options.maxPixels = std::stoll(std::string(value));
        } else if (name == "q") {
            plain.options.quiet = true;
        } else if (std::find(known.begin(), known.end(), name) != known.end()) {
            plain.flags.emplace_back(name);
        } else {
            return std::nullopt;
        }
    }
    if (plain.files.size() < minFiles || plain.files.size() > maxFiles)
        return std::nullopt;
    return plain;
}

// A folder Qt would join with a frame's name by a single "/", unchanged: no empty, "." or
// ".." part, no trailing "/".
bool isPlainFolder(std::string_view folder)
{
    if (folder == "-")
        return false;
    size_t start = folder.starts_with('/') ? 1 : 0;
    while (true) {
        const size_t end = std::min(folder.find('/', start), folder.size());
        const std::string_view part = folder.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == folder.size())
            return true;
        start = end + 1;
    }
}

std::optional<int> runPlain(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(gifimg::Usage, stderr);
        return gifimg::ExitUsage;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(gifimg::Usage, stdout);
        return gifimg::ExitOk;
    }
    if (command == "--version") {
        std::fputs("gifimg " CARNELO_VERSION "\n", stdout);
        return gifimg::ExitOk;
    }
    static constexpr std::string_view commands[] = {"info",   "extract", "copy",    "reduce",
                                                    "render", "play",    "convert", "optimize"};
    if (std::find(std::begin(commands), std::end(commands), command) == std::end(commands)) {
        std::fprintf(stderr, "gifimg: unknown command '%s'\n\n%s", argv[1], gifimg::Usage);
        return gifimg::ExitUsage;
    }
    if (command == "info") {
        if (const auto plain = plainArguments(argc, argv, {"json"}, 1, SIZE_MAX)) {
            const GIFLibrary gifLibrary;
            return gifimg::infoFiles(plain->files, plain->has("json"), plain->options);
        }
    } else if (command == "extract") {
        const auto plain = plainArguments(argc, argv, {"raw"});
        if (plain && plain->has("raw") && isPlainFolder(plain->files[1])) {
            const GIFLibrary gifLibrary;
            return gifimg::extractRaw(plain->files[0], plain->files[1], plain->options);
        }
    } else if (command == "copy") {
        if (const auto plain = plainArguments(argc, argv, {"rle"})) {
            const GIFLibrary gifLibrary;
            return gifimg::copyFile(plain->files[0], plain->files[1], plain->has("rle"), plain->options);
        }
    } else if (command == "optimize") {
        if (const auto plain = plainArguments(argc, argv, {"trim", "merge", "cleanup", "sort"})) {
            const GIFLibrary gifLibrary;
            const TGIFOptimizations passes = gifimg::optimizationsOf(plain->has("trim"), plain->has("merge"),
                                                                     plain->has("cleanup"), plain->has("sort"));
            return gifimg::optimizeFile(plain->files[0], plain->files[1], passes, plain->options);
        }
    }
    return std::nullopt;
}

// Beside the front end's real path in the build tree; in the libexec folder once installed.
std::filesystem::path qtPart()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::path(".") : self.parent_path();
    const std::filesystem::path beside = folder / "gifimg-qt";
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    return (folder / GIFIMG_QT_FROM_BINDIR / "gifimg-qt").lexically_normal();
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> exitCode = runPlain(argc, argv))
        return *exitCode;
    const std::filesystem::path program = qtPart();
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "gifimg: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return gifimg::ExitFailedInput;
}
