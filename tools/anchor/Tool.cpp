// The command line of qxmanchor.
#include "QxmVersion.h"
#include "tools/anchor/Commands.h"
#include "tools/anchor/Publish.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace qxm::anchortool {
namespace {

struct Arguments {
    std::string command;
    std::vector<std::string> files;
    std::optional<std::string> to, from, movie, output, origin, format;
    bool frames = false;
};

int usage(std::FILE* err, const std::string& why) {
    std::fprintf(err, "%s%s\n%s", text::kProgramPrefix, why.c_str(), text::kUsage);
    return kExitUsage;
}

void report(std::FILE* err, const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings)
        std::fprintf(err, "%s%s%s\n", text::kProgramPrefix, text::kWarningPrefix, w.c_str());
}

int failure(std::FILE* err, const std::string& why) {
    std::fprintf(err, "%s%s\n", text::kProgramPrefix, why.c_str());
    return kExitProblems;
}

// Splits the arguments after the command into options and files; false on an unknown option.
bool parse(int argc, char** argv, Arguments& a, std::string& why) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
            inlineValue = arg.substr(arg.find('=') + 1);
            arg.resize(arg.find('='));
        }
        std::optional<std::string>* slot = nullptr;
        if (arg == "--to")
            slot = &a.to;
        else if (arg == "--from")
            slot = &a.from;
        else if (arg == "--movie")
            slot = &a.movie;
        else if (arg == "-o" || arg == "--output")
            slot = &a.output;
        else if (arg == "--origin")
            slot = &a.origin;
        else if (arg == "--format")
            slot = &a.format;
        if (slot) {
            if (inlineValue) {
                *slot = *inlineValue;
            } else if (i + 1 < argc) {
                *slot = argv[++i];
            } else {
                why = fill(text::kOptionNeedsValue, {arg});
                return false;
            }
        } else if (arg == "--frames" && !inlineValue) {
            a.frames = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            why = fill(text::kUnknownOption, {arg});
            return false;
        } else {
            a.files.push_back(arg);
        }
    }
    return true;
}

// The options a command does not take; empty when all given ones apply.
std::string misplaced(const Arguments& a, bool to, bool from, bool movie, bool output, bool origin,
                      bool frames) {
    if (a.to && !to) return "--to";
    if (a.from && !from) return "--from";
    if (a.movie && !movie) return "--movie";
    if (a.output && !output) return "-o";
    if (a.origin && !origin) return "--origin";
    if (a.frames && !frames) return "--frames";
    return {};
}

bool parseOrigin(const std::optional<std::string>& text, std::int64_t& origin) {
    if (!text) return true;
    const char* begin = text->data();
    const char* end = begin + text->size();
    const auto r = std::from_chars(begin, end, origin);
    return r.ec == std::errc() && r.ptr == end &&
           origin >= std::numeric_limits<std::int32_t>::min() &&
           origin <= std::numeric_limits<std::int32_t>::max();
}

int exportCommand(const Arguments& a, std::FILE* out, std::FILE* err) {
    if (!a.to) return usage(err, text::kExportNeedsTo);
    const std::optional<ExportFormat> format = parseExportFormat(*a.to);
    if (!format) return usage(err, fill(text::kUnknownFormat, {*a.to, text::kExportFormats}));
    std::int64_t origin = 0;
    if (!parseOrigin(a.origin, origin)) return usage(err, fill(text::kBadOrigin, {*a.origin}));
    if (exportNeedsMovie(*format) && !a.movie)
        return usage(err,
                     fill(text::kNeedsMovie,
                          {exportFormatName(*format),
                           *format == ExportFormat::WebVtt ? text::kNeedsRate : text::kNeedsSize}));
    const std::string& path = a.files.front();
    if (!readableFile(path)) return failure(err, fill(text::kCannotRead, {path}));
    const PlayerReading player = readWithPlayer(path);
    if (player.result != 0)
        return failure(
            err, fill(text::kRefusedExport, {path, std::to_string(player.problem.line), path}));

    ExportOptions options;
    options.format = *format;
    options.frames = a.frames;
    options.source = path;
    if (a.movie) {
        std::string why;
        options.movie = readMovie(*a.movie, why);
        if (!options.movie) return failure(err, why);
        if (!a.origin) origin = options.movie->origin;
    }
    options.origin = origin;

    OutputFile file;
    const bool toFile = a.output && *a.output != "-";
    if (toFile && !file.open(*a.output))
        return failure(err, fill(text::kCannotWrite, {*a.output, std::strerror(errno)}));
    std::vector<std::string> warnings;
    if (player.anchors.empty()) warnings.push_back(fill(text::kNoAnchors, {path}));
    bool written = false;
    {
        Output sink(toFile ? file.stream() : out);
        exportAnchors(player.anchors, options, sink, warnings);
        written = sink.finish();
    }
    report(err, warnings);
    if (!written || (toFile && !file.commit()))
        return failure(err,
                       fill(text::kCannotWrite, {toFile ? *a.output : "-", std::strerror(errno)}));
    return kExitOk;
}

int importCommand(const Arguments& a, std::FILE* out, std::FILE* err) {
    if (!a.from) return usage(err, text::kImportNeedsFrom);
    const std::optional<ImportFormat> format = parseImportFormat(*a.from);
    if (!format) return usage(err, fill(text::kUnknownFormat, {*a.from, text::kImportFormats}));
    if (!a.output || *a.output == "-") return usage(err, text::kImportNeedsOutput);
    if (a.origin && *format == ImportFormat::Json) return usage(err, text::kJsonNoOrigin);
    ImportOptions options;
    options.format = *format;
    if (!parseOrigin(a.origin, options.origin))
        return usage(err, fill(text::kBadOrigin, {*a.origin}));

    std::vector<Track> tracks;
    std::vector<std::string> warnings;
    std::string error;
    std::vector<Anchor> anchors;
    const bool ok = readTracks(a.files.front(), options, tracks, warnings, error) &&
                    buildAnchors(std::move(tracks), anchors, warnings, error) &&
                    writeAnchors(*a.output, anchors, error);
    report(err, warnings);
    if (!ok) return failure(err, error);
    std::size_t keys = 0;
    for (const Anchor& an : anchors)
        keys += an.entries.size();
    std::fprintf(
        out, "%s\n",
        fill(text::kImported, {*a.output, std::to_string(anchors.size()), std::to_string(keys)})
            .c_str());
    return kExitOk;
}

int publishCommand(const Arguments& a, std::FILE* out, std::FILE* err) {
    if (!a.output || *a.output == "-") return usage(err, text::kPublishNeedsOutput);
    PublishOptions options;
    options.movie = a.files.front();
    options.outDir = *a.output;
    options.playerScript = defaultPlayerScript();
    if (a.format) {
        options.format = parsePublishFormat(*a.format);
        if (!options.format)
            return usage(err, fill(text::kUnknownFormat, {*a.format, text::kPublishFormats}));
    }
    PublishResult result;
    std::vector<std::string> warnings;
    std::string error;
    const bool ok = publishMovie(options, result, warnings, error);
    report(err, warnings);
    if (!ok) return failure(err, error);
    const std::string rate =
        result.fpsDen == 1 ? std::to_string(result.fpsNum)
                           : std::to_string(result.fpsNum) + "/" + std::to_string(result.fpsDen);
    std::fprintf(
        out, "%s\n",
        fill(text::kPublished,
             {result.videoFile, std::to_string(result.frames), std::to_string(result.width),
              std::to_string(result.height), rate, result.sound ? text::kPublishedSound : "",
              std::to_string(result.anchors), result.pageFile})
            .c_str());
    return kExitOk;
}

} // namespace

int runTool(int argc, char** argv, std::FILE* out, std::FILE* err) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(text::kUsage, out);
            std::fputs(text::kHelp, out);
            return kExitOk;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fprintf(out, "qxmanchor (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return kExitOk;
        }
    }
    if (argc < 2) return usage(err, text::kNoCommand);
    Arguments a;
    a.command = argv[1];
    std::string why;
    if (!parse(argc, argv, a, why)) return usage(err, why);
    if (a.files.size() != 1)
        return usage(err, fill(a.files.empty() ? text::kNoFile : text::kOneFile, {a.command}));

    std::string wrong;
    if (a.format && a.command != "publish")
        return usage(err, fill(text::kOptionNotFor, {"--format", a.command}));
    if (a.command == "publish") {
        if (!(wrong = misplaced(a, false, false, false, true, false, false)).empty())
            return usage(err, fill(text::kOptionNotFor, {wrong, a.command}));
        return publishCommand(a, out, err);
    }
    if (a.command == "check") {
        if (!(wrong = misplaced(a, false, false, false, false, false, false)).empty())
            return usage(err, fill(text::kOptionNotFor, {wrong, a.command}));
        return checkCommand(a.files.front(), out, err);
    }
    if (a.command == "print") {
        if (!(wrong = misplaced(a, false, false, false, false, true, true)).empty())
            return usage(err, fill(text::kOptionNotFor, {wrong, a.command}));
        std::int64_t origin = 0;
        if (!parseOrigin(a.origin, origin)) return usage(err, fill(text::kBadOrigin, {*a.origin}));
        return printCommand(a.files.front(), a.frames, origin, out, err);
    }
    if (a.command == "export") {
        if (!(wrong = misplaced(a, true, false, true, true, true, true)).empty())
            return usage(err, fill(text::kOptionNotFor, {wrong, a.command}));
        return exportCommand(a, out, err);
    }
    if (a.command == "import") {
        if (!(wrong = misplaced(a, false, true, false, true, true, false)).empty())
            return usage(err, fill(text::kOptionNotFor, {wrong, a.command}));
        return importCommand(a, out, err);
    }
    return usage(err, fill(text::kUnknownCommand, {a.command}));
}

} // namespace qxm::anchortool
