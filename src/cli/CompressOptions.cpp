#include "cli/CompressOptions.h"

#include "cli/Cli.h"
#include "util/TextFormat.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <cmath>

namespace Cli {

namespace {

std::optional<double> percentOption(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 1 || value > 100)
        return std::nullopt;
    return value;
}

}

int compressUsage(QTextStream &err, const QString &message)
{
    err << "veltrane-cli compress: " << message << "\nTry 'veltrane-cli compress --help'.\n";
    return usageError;
}

std::variant<CompressOptions, int> parseCompressOptions(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const auto usage = [&err](const QString &message) { return compressUsage(err, message); };
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Compress video files into .mp4 files of one target size, in a new folder.\n"
        "The target is a percentage of the smallest accepted file (--size), or a size "
        "(--target-size); every file aims at that same size."));
    parser.addHelpOption();
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Target size as a percentage (1-100) of the smallest file. Default 55."), QStringLiteral("PERCENT"));
    const QCommandLineOption targetSize(QStringLiteral("target-size"), QStringLiteral("Target size to fit under, e.g. 8MB, 750KB, 1.5GB, 25M (units of 1000) or 10MiB (units of 1024); a plain number is bytes. A file already under it is copied as it is, or encoded at its own size; never grown."), QStringLiteral("SIZE"));
    const QCommandLineOption resolution(QStringLiteral("resolution"), QStringLiteral("Output width and height as a percentage (1-100) of each file's own, default 100; or auto: for each file the size that gives the best picture at its bitrate, chosen from short samples of its content (and the audio sized to the budget)."), QStringLiteral("PERCENT|auto"));
    const QCommandLineOption codec(QStringLiteral("codec"), QStringLiteral("h264 (default): plays everywhere. h265: a better picture for the size; plays on recent phones, Macs, most browsers, and Windows with its HEVC extension. av1: better still; plays in recent browsers and on recent phones, not on older Apple devices."), QStringLiteral("h264|h265|av1"));
    const QCommandLineOption audio(QStringLiteral("audio"), QStringLiteral("planned (default): AAC at the planned share; auto: its bitrate follows the budget (10 %, 32 to 128 kb/s, mono below 48), giving starved files' bits to the picture."), QStringLiteral("planned|auto"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Folder to create for the compressed files. Default \"Compressed Files\" in the current folder."), QStringLiteral("FOLDER"));
    const QCommandLineOption passes(QStringLiteral("passes"), QStringLiteral("auto (default): a second encode in two passes when an output is over its target; 1: the planned run alone; 2: two passes from the start."), QStringLiteral("auto|1|2"));
    const QCommandLineOption toneMap(QStringLiteral("tone-map"), QStringLiteral("auto (default): HDR video (PQ or HLG) becomes BT.709 SDR; off: as it is."), QStringLiteral("auto|off"));
    const QCommandLineOption deinterlace(QStringLiteral("deinterlace"), QStringLiteral("auto (default): interlaced video is deinterlaced; off: as it is."), QStringLiteral("auto|off"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace the output folder if it exists, once the batch is done (never a file, nor a folder that holds an input, the current or home folder, or one with a disk mounted inside)."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Print the transcoder argument lists as JSON and run nothing."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Progress (standard error) and summary (standard output) as JSON."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Write diagnostic lines to standard error."));
    const QCommandLineOption jobs = jobsOption();
    parser.addOptions({ size, targetSize, resolution, codec, audio, output, passes, toneMap, deinterlace, force, dryRun, json, verbose, jobs });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Videos to compress, or folders of them."), QStringLiteral("FILE..."));

    if (!parser.parse(QStringList { QStringLiteral("veltrane-cli compress") } + arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return success;
    }
    CompressOptions options;
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usage(QStringLiteral("no FILE given"));
    if (parser.isSet(size) && parser.isSet(targetSize))
        return usage(QStringLiteral("--size and --target-size cannot be used together"));

    // A percentage option: its default when absent, nothing when it is no number from 1 to 100.
    const auto percent = [&parser](const QCommandLineOption &option, double absent) {
        return parser.isSet(option) ? percentOption(parser.value(option)) : std::optional(absent);
    };
    const bool automaticPicture = parser.value(resolution) == QLatin1String("auto");
    const std::optional<double> sizePercent = percent(size, 55),
                                resolutionPercent = automaticPicture ? std::optional(100.0) : percent(resolution, 100);
    if (!sizePercent)
        return usage(QStringLiteral("--size must be a number from 1 to 100, not '%1'").arg(parser.value(size)));
    if (!resolutionPercent)
        return usage(QStringLiteral("--resolution must be auto or a number from 1 to 100, not '%1'").arg(parser.value(resolution)));
    options.target = Planning::Target::ofSmallest(*sizePercent);
    options.choices.resolutionPercent = *resolutionPercent;
    options.choices.automaticPicture = automaticPicture;
    const std::optional<Codec> format = codecNamed(parser.isSet(codec) ? parser.value(codec) : QStringLiteral("h264"));
    if (!format)
        return usage(QStringLiteral("--codec must be h264, h265 or av1, not '%1'").arg(parser.value(codec)));
    options.choices.codec = *format;
    if (parser.isSet(audio) && parser.value(audio) != QLatin1String("auto") && parser.value(audio) != QLatin1String("planned"))
        return usage(QStringLiteral("--audio must be auto or planned, not '%1'").arg(parser.value(audio)));
    // The budget's audio goes with the budget's picture.
    options.choices.automaticAudio = parser.value(audio) == QLatin1String("auto") || (automaticPicture && !parser.isSet(audio));
    if (parser.isSet(targetSize)) {
        options.targetSizeText = parser.value(targetSize);
        options.targetBytes = TextFormat::byteCountFromText(options.targetSizeText);
        if (!options.targetBytes)
            return usage(QStringLiteral("--target-size must be a size such as 8MB, 10MiB, 750KB or 1.5GB, not '%1'")
                             .arg(options.targetSizeText));
        options.target = Planning::Target::exactly(*options.targetBytes);
    }
    // An empty name resolves to nothing, and the outputs would land at the
    // root of the file system.
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usage(QStringLiteral("--output needs a folder name"));
    options.folder = QDir::cleanPath(QFileInfo(parser.isSet(output) ? parser.value(output) : QStringLiteral("Compressed Files")).absoluteFilePath());
    static const QMap<QString, Passes> passesByName { { QStringLiteral("auto"), Passes::automatic },
                                                      { QStringLiteral("1"), Passes::one },
                                                      { QStringLiteral("2"), Passes::two } };
    if (parser.isSet(passes) && !passesByName.contains(parser.value(passes)))
        return usage(QStringLiteral("--passes must be auto, 1 or 2, not '%1'").arg(parser.value(passes)));
    options.passes = passesByName.value(parser.value(passes), Passes::automatic);
    // An auto|off option: true for auto, nothing for anything else.
    const auto automatic = [&parser](const QCommandLineOption &option) -> std::optional<bool> {
        const QString value = parser.isSet(option) ? parser.value(option) : QStringLiteral("auto");
        if (value != QLatin1String("auto") && value != QLatin1String("off"))
            return std::nullopt;
        return value == QLatin1String("auto");
    };
    const std::optional<bool> toneMapping = automatic(toneMap), deinterlacing = automatic(deinterlace);
    if (!toneMapping)
        return usage(QStringLiteral("--tone-map must be auto or off, not '%1'").arg(parser.value(toneMap)));
    if (!deinterlacing)
        return usage(QStringLiteral("--deinterlace must be auto or off, not '%1'").arg(parser.value(deinterlace)));
    options.choices.filters = { *toneMapping, *deinterlacing };
    options.force = parser.isSet(force);
    options.dryRun = parser.isSet(dryRun);
    options.json = parser.isSet(json);
    options.verbose = parser.isSet(verbose);
    const std::variant<int, QString> workers = jobsValue(parser, jobs, QStringLiteral("compress"), err);
    if (const QString *message = std::get_if<QString>(&workers))
        return usage(*message);
    options.jobs = std::get<int>(workers);
    options.paths = namedFiles(files);
    return options;
}

}
