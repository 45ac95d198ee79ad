#include "cli/Cli.h"

#include "compress/Batch.h"
#include "compress/BatchJob.h"
#include "compress/OutputFolder.h"
#include "compress/RowEncoder.h"
#include "compress/Planning.h"
#include "filelist/Intake.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <variant>

namespace Cli {

namespace {

// A step's result, or the exit status to end with.
template<typename T>
using OrExit = std::variant<T, int>;

// ---- options -------------------------------------------------------------------

struct CompressOptions
{
    Planning::Target target = Planning::Target::ofSmallest(55);
    std::optional<qint64> targetBytes; // --target-size, checked against the inputs once they are known
    QString targetSizeText;
    double resolutionPercent = 100;
    QString folder;
    Passes passes = Passes::automatic;
    TranscoderCommand::SourceFilters filters;
    bool force = false;
    bool dryRun = false;
    bool json = false;
    bool verbose = false;
    int jobs = 1; // files examined at the same time
    QStringList paths; // namedFiles(): absolute, folders replaced by their files
};

std::optional<double> percentOption(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 1 || value > 100)
        return std::nullopt;
    return value;
}

// "8MB", "750 KB", "1.5GB", "123456" (bytes): decimal units.
std::optional<qint64> byteCountOption(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)\\s*(B|KB|MB|GB|TB)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    static const QMap<QString, double> units { { QString(), 1 },  { QStringLiteral("B"), 1 },
                                               { QStringLiteral("KB"), 1e3 }, { QStringLiteral("MB"), 1e6 },
                                               { QStringLiteral("GB"), 1e9 }, { QStringLiteral("TB"), 1e12 } };
    const double bytes = match.captured(1).toDouble() * units.value(match.captured(2).toUpper());
    if (!std::isfinite(bytes) || bytes < 1 || bytes > 9e18)
        return std::nullopt;
    return qint64(bytes);
}

int usage(QTextStream &err, const QString &message)
{
    err << "veltrane-cli compress: " << message << "\nTry 'veltrane-cli compress --help'.\n";
    return usageError;
}

OrExit<CompressOptions> parseOptions(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Compress video files into .mp4 files of one target size, in a new folder.\n"
        "The target is a percentage of the smallest accepted file (--size), or a size in bytes "
        "(--target-size); every file aims at that same size."));
    parser.addHelpOption();
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Target size as a percentage (1-100) of the smallest file. Default 55."), QStringLiteral("PERCENT"));
    const QCommandLineOption targetSize(QStringLiteral("target-size"), QStringLiteral("Target size in decimal units, e.g. 8MB, 750KB, 1.5GB."), QStringLiteral("SIZE"));
    const QCommandLineOption resolution(QStringLiteral("resolution"), QStringLiteral("Output width and height as a percentage (1-100) of each file's own. Default 100."), QStringLiteral("PERCENT"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Folder to create for the compressed files. Default \"Compressed Files\" in the current folder."), QStringLiteral("FOLDER"));
    const QCommandLineOption passes(QStringLiteral("passes"), QStringLiteral("auto (default): a second encode in two passes when an output is over its target; 1: the planned run alone; 2: two passes from the start."), QStringLiteral("auto|1|2"));
    const QCommandLineOption toneMap(QStringLiteral("tone-map"), QStringLiteral("auto (default): HDR video (PQ or HLG) becomes BT.709 SDR; off: as it is."), QStringLiteral("auto|off"));
    const QCommandLineOption deinterlace(QStringLiteral("deinterlace"), QStringLiteral("auto (default): interlaced video is deinterlaced; off: as it is."), QStringLiteral("auto|off"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace the output folder if it exists (never one that holds an input)."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Print the transcoder argument lists as JSON and run nothing."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Progress (standard error) and summary (standard output) as JSON."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Write diagnostic lines to standard error."));
    const QCommandLineOption jobs = jobsOption();
    parser.addOptions({ size, targetSize, resolution, output, passes, toneMap, deinterlace, force, dryRun, json, verbose, jobs });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Videos to compress."), QStringLiteral("FILE..."));

    if (!parser.parse(QStringList { QStringLiteral("veltrane-cli compress") } + arguments))
        return usage(err, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return success;
    }
    CompressOptions options;
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usage(err, QStringLiteral("no FILE given"));
    if (parser.isSet(size) && parser.isSet(targetSize))
        return usage(err, QStringLiteral("--size and --target-size cannot be used together"));

    // A percentage option: its default when absent, nothing when it is no number from 1 to 100.
    const auto percent = [&parser](const QCommandLineOption &option, double absent) {
        return parser.isSet(option) ? percentOption(parser.value(option)) : std::optional(absent);
    };
    const std::optional<double> sizePercent = percent(size, 55), resolutionPercent = percent(resolution, 100);
    if (!sizePercent)
        return usage(err, QStringLiteral("--size must be a number from 1 to 100, not '%1'").arg(parser.value(size)));
    if (!resolutionPercent)
        return usage(err, QStringLiteral("--resolution must be a number from 1 to 100, not '%1'").arg(parser.value(resolution)));
    options.target = Planning::Target::ofSmallest(*sizePercent);
    options.resolutionPercent = *resolutionPercent;
    if (parser.isSet(targetSize)) {
        options.targetSizeText = parser.value(targetSize);
        options.targetBytes = byteCountOption(options.targetSizeText);
        if (!options.targetBytes)
            return usage(err, QStringLiteral("--target-size must be a size such as 8MB, 750KB or 1.5GB, not '%1'")
                                       .arg(options.targetSizeText));
        options.target = Planning::Target::exactly(*options.targetBytes);
    }
    // An empty name resolves to nothing, and the outputs would land at the
    // root of the file system.
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usage(err, QStringLiteral("--output needs a folder name"));
    options.folder = QDir::cleanPath(QFileInfo(parser.isSet(output) ? parser.value(output) : QStringLiteral("Compressed Files")).absoluteFilePath());
    static const QMap<QString, Passes> passesByName { { QStringLiteral("auto"), Passes::automatic },
                                                      { QStringLiteral("1"), Passes::one },
                                                      { QStringLiteral("2"), Passes::two } };
    if (parser.isSet(passes) && !passesByName.contains(parser.value(passes)))
        return usage(err, QStringLiteral("--passes must be auto, 1 or 2, not '%1'").arg(parser.value(passes)));
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
        return usage(err, QStringLiteral("--tone-map must be auto or off, not '%1'").arg(parser.value(toneMap)));
    if (!deinterlacing)
        return usage(err, QStringLiteral("--deinterlace must be auto or off, not '%1'").arg(parser.value(deinterlace)));
    options.filters = { *toneMapping, *deinterlacing };
    options.force = parser.isSet(force);
    options.dryRun = parser.isSet(dryRun);
    options.json = parser.isSet(json);
    options.verbose = parser.isSet(verbose);
    const std::variant<int, QString> workers = jobsValue(parser, jobs, QStringLiteral("compress"), err);
    if (const QString *message = std::get_if<QString>(&workers))
        return usage(err, *message);
    options.jobs = std::get<int>(workers);
    options.paths = namedFiles(files);
    return options;
}

// A name or message as one line of plain output: a line feed in a file name
// must not start a line of its own.
QString oneLine(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

// ---- inputs ---------------------------------------------------------------------

struct Inputs
{
    QList<QVariantMap> rows;
    QList<Intake::Refusal> refused;
};

// The same intake as the window's; the refused are named with their reason.
Inputs takeInputs(const QStringList &paths, int jobs, QTextStream &err)
{
    Inputs inputs;
    inputs.refused = Intake::analyze(paths, { .jobs = jobs,
                                              .accepted = [&inputs](const FileProbe &probe, const QVariant &) {
                                                  inputs.rows.append(RowRecord::make(probe));
                                              } })
                         .refused;
    for (const Intake::Refusal &refusal : inputs.refused)
        err << "veltrane-cli compress: refused " << oneLine(refusal.path) << ": " << refusal.reason << "\n";
    return inputs;
}

// ---- plan -----------------------------------------------------------------------

OrExit<Batch> plan(const CompressOptions &options, const Inputs &inputs, QTextStream &err)
{
    const qint64 reference = Planning::referenceFileSize(inputs.rows);
    if (options.targetBytes) {
        if (*options.targetBytes > reference)
            return usage(err, QStringLiteral("--target-size %1 is larger than the smallest file (%2 bytes); it would grow it")
                                       .arg(options.targetSizeText).arg(reference));
        if (double(*options.targetBytes) / double(reference) * 100 < 1)
            return usage(err, QStringLiteral("--target-size %1 is below 1% of the smallest file (%2 bytes)")
                                       .arg(options.targetSizeText).arg(reference));
    }
    return Batch::plan(inputs.rows, options.folder, options.target, options.resolutionPercent, options.filters);
}

// What would run first for every row.
void printArgumentLists(QTextStream &out, const Batch &batch, Passes passes)
{
    QJsonArray lists;
    for (qsizetype row = 0; row < batch.count(); ++row)
        for (const QStringList &list : RowEncoder::firstRuns(batch, row, passes))
            lists.append(QJsonArray::fromStringList(list));
    out << QJsonDocument(lists).toJson(QJsonDocument::Indented);
}

// ---- folder ---------------------------------------------------------------------

// The new folder, or the exit status after saying why there is none.
OrExit<OutputFolder> makeFolder(const CompressOptions &options, QTextStream &err)
{
    // Every named file counts, refused ones too: replacing the folder would
    // destroy them just the same.
    auto made = OutputFolder::create(options.folder, options.force, options.paths);
    if (auto *folder = std::get_if<OutputFolder>(&made))
        return std::move(*folder);
    const OutputFolder::Refusal &refusal = std::get<OutputFolder::Refusal>(made);
    err << "veltrane-cli compress: " << oneLine(refusal.text(options.folder))
        << (refusal.kind == OutputFolder::Refusal::exists ? "; use --force to replace it" : "") << "\n";
    switch (refusal.kind) {
    case OutputFolder::Refusal::holdsInput:
    case OutputFolder::Refusal::exists:
    case OutputFolder::Refusal::notAFolder:
    case OutputFolder::Refusal::unsafe:
        return usageError;
    case OutputFolder::Refusal::busy:
    case OutputFolder::Refusal::cannotCreate:
        return failure;
    }
    return failure;
}

// ---- run ------------------------------------------------------------------------

std::atomic<int> interruptedBy { 0 };
std::atomic<BatchJob *> interruptedJob { nullptr };

extern "C" void onInterrupt(int signal)
{
    interruptedBy.store(signal);
    if (BatchJob *job = interruptedJob.load())
        job->cancel();
}

// Ctrl-C, termination and a closed terminal cancel the job, as the window's
// cancel button does: a half-written file must never be left looking whole.
// Installed before the folder is made, so a signal from then on is seen.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        interruptedBy.store(0);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (size_t k = 0; k < std::size(handled); ++k)
            sigaction(handled[k], &action, &m_previous[k]);
    }
    ~InterruptGuard()
    {
        for (size_t k = 0; k < std::size(handled); ++k)
            sigaction(handled[k], &m_previous[k], nullptr);
        interruptedJob.store(nullptr);
    }
    // From now on a signal cancels job.
    void watch(BatchJob &job) const { interruptedJob.store(&job); }

private:
    static constexpr int handled[] = { SIGINT, SIGTERM, SIGHUP };
    struct sigaction m_previous[std::size(handled)] = {};
};

QString clockText(double seconds)
{
    const qint64 s = qint64(std::max(0.0, seconds));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// The job's events on standard error: one JSON object each, or a redrawn bar
// on a terminal, or a line per row and per whole percent.
class ProgressView
{
public:
    enum class Mode { json, bar, lines };

    ProgressView(QTextStream &err, const BatchJob &job, Mode mode)
        : m_err(err), m_batch(job.batch()), m_mode(mode)
    {
        m_clock.start();
        QObject::connect(&job, &BatchJob::rowStarted, &job, [this](qsizetype row) { rowStarted(row); });
        QObject::connect(&job, &BatchJob::progress, &job, [this](double percent, qsizetype row, int attempt, int pass) {
            progress(percent, row, attempt, pass);
        });
        QObject::connect(&job, &BatchJob::attemptStarted, &job, [this](qsizetype row, int attempt, const QString &why) {
            attemptStarted(row, attempt, why);
        });
        QObject::connect(&job, &BatchJob::rowFinished, &job, [this](qsizetype row, const RowResult &result) { rowFinished(row, result); });
        QObject::connect(&job, &BatchJob::finished, &job, [this](const QList<RowResult> &results) { finished(results); });
    }

private:
    // The job's worker may be writing diagnostic lines to the same stream.
    void write(const QString &text)
    {
        const std::lock_guard lock(streamMutex());
        m_err << text;
        m_err.flush();
    }

    void event(const QString &name, QJsonObject fields)
    {
        fields.insert(QStringLiteral("event"), name);
        write(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    }

    void rowStarted(qsizetype row)
    {
        if (m_mode == Mode::json)
            event(QStringLiteral("rowStarted"), { { QStringLiteral("row"), row }, { QStringLiteral("count"), m_batch.count() },
                                                  { QStringLiteral("input"), m_batch.rows.value(row).input } });
        else if (m_mode == Mode::lines)
            write(QStringLiteral("Compressing %1/%2: %3\n").arg(row + 1).arg(m_batch.count()).arg(oneLine(m_batch.rows.at(row).input)));
    }

    void attemptStarted(qsizetype row, int attempt, const QString &why)
    {
        if (m_mode == Mode::json) {
            event(QStringLiteral("attemptStarted"), { { QStringLiteral("row"), row }, { QStringLiteral("attempt"), attempt },
                                                      { QStringLiteral("reason"), why } });
            return;
        }
        // On a terminal the line goes above the bar, which is drawn again below it.
        write(QStringLiteral("%1Encoding %2 again, %3\n")
                  .arg(m_mode == Mode::bar ? QStringLiteral("\r\x1b[K") : QString(),
                       oneLine(Paths::lastComponent(m_batch.rows.value(row).input)), why));
        m_drawn.invalidate();
    }

    void progress(double percent, qsizetype row, int attempt, int pass)
    {
        if (m_mode == Mode::json) {
            event(QStringLiteral("progress"), { { QStringLiteral("row"), row }, { QStringLiteral("percent"), percent },
                                                { QStringLiteral("attempt"), attempt }, { QStringLiteral("pass"), pass } });
            return;
        }
        const QString file = oneLine(Paths::lastComponent(m_batch.rows.value(row).input));
        const QString place = QStringLiteral("%1/%2 %3").arg(row + 1).arg(m_batch.count()).arg(file);
        if (m_mode == Mode::lines) {
            const int whole = int(percent);
            if (whole == m_lastWhole)
                return;
            m_lastWhole = whole;
            write(QStringLiteral("%1% (%2)\n").arg(whole).arg(place));
            return;
        }
        if (m_drawn.isValid() && m_drawn.elapsed() < 100 && percent < 100)
            return;
        m_drawn.start();
        const double elapsed = m_clock.elapsed() / 1000.0;
        const int width = 30;
        const int filled = int(percent / 100 * width);
        QString bar = QStringLiteral("\r[") + QString(filled, QLatin1Char('#'))
            + QString(width - filled, QLatin1Char('-')) + QStringLiteral("] ")
            + QString::number(percent, 'f', 1).rightJustified(5) + QStringLiteral("%  ") + place;
        if (percent > 0.5)
            bar += QStringLiteral("  ") + clockText(elapsed / percent * (100 - percent)) + QStringLiteral(" left");
        write(bar + QStringLiteral("\x1b[K"));
    }

    void rowFinished(qsizetype row, const RowResult &result)
    {
        if (m_mode != Mode::json)
            return;
        QJsonObject fields { { QStringLiteral("row"), row }, { QStringLiteral("outcome"), result.description() },
                             { QStringLiteral("passes"), result.passes } };
        if (!result.notes.isEmpty())
            fields.insert(QStringLiteral("notes"), QJsonArray::fromStringList(result.notes));
        event(QStringLiteral("rowFinished"), fields);
    }

    void finished(const QList<RowResult> &results)
    {
        if (m_mode == Mode::json) {
            QJsonArray outcomes;
            for (const RowResult &result : results)
                outcomes.append(result.description());
            event(QStringLiteral("finished"), { { QStringLiteral("outcomes"), outcomes } });
        } else if (m_mode == Mode::bar) {
            write(QStringLiteral("\n"));
        }
    }

    QTextStream &m_err;
    const Batch &m_batch;
    const Mode m_mode;
    int m_lastWhole = -1;
    QElapsedTimer m_clock;
    QElapsedTimer m_drawn;
};

// Makes the folder and runs the batch: the results, or the exit status.
OrExit<QList<RowResult>> runBatch(Batch batch, const CompressOptions &options, QTextStream &err, bool errIsTerminal)
{
    const InterruptGuard guard;
    OrExit<OutputFolder> made = makeFolder(options, err);
    if (const int *status = std::get_if<int>(&made))
        return *status;
    OutputFolder &folder = std::get<OutputFolder>(made);
    batch.workFolder = folder.workPath();
    // Standard output carries results only: the transcoder's own output is dropped.
    BatchJob job(batch, { options.passes, TranscoderRun::Output::discard });
    const ProgressView view(err, job,
                            options.json ? ProgressView::Mode::json
                                         : errIsTerminal ? ProgressView::Mode::bar : ProgressView::Mode::lines);
    guard.watch(job);
    if (!interruptedBy.load()) {
        QEventLoop loop;
        QObject::connect(&job, &BatchJob::finished, &loop, &QEventLoop::quit);
        job.start();
        loop.exec();
    }
    if (const int signal = interruptedBy.load()) {
        const bool replaced = folder.replaces();
        folder.abandon();
        err << "veltrane-cli compress: " << (signal == SIGINT ? "cancelled" : "stopped by a signal") << "; "
            << oneLine(batch.outputFolder) << (replaced ? " is as it was" : " was not made") << "\n";
        return 128 + signal;
    }
    const QList<RowResult> results = job.results();
    if (const auto problem = folder.finish(BatchJob::wroteAnyOutput(results))) {
        err << "veltrane-cli compress: " << oneLine(*problem) << "\n";
        return failure;
    }
    return results;
}

// ---- report ---------------------------------------------------------------------

void printSummary(QTextStream &out, const Batch &batch, const QList<RowResult> &results,
                  const QList<Intake::Refusal> &refused, bool json)
{
    QJsonArray files;
    for (qsizetype i = 0; i < batch.count(); ++i) {
        const RowResult &result = results.at(i);
        const bool kept = result.size > 0;
        const RowPlan &plan = batch.rows.at(i);
        const qint64 target = plan.targetBytes;
        const double ratio = target > 0 ? double(result.size) / double(target) : 0.0;
        if (json) {
            QJsonObject file { { QStringLiteral("input"), plan.input },
                               { QStringLiteral("outcome"), RowResult { result.outcome }.description() },
                               { QStringLiteral("reason"), result.description() },
                               { QStringLiteral("passes"), result.passes },
                               { QStringLiteral("attempts"), result.attempts },
                               { QStringLiteral("targetSize"), target } };
            if (kept) {
                file.insert(QStringLiteral("output"), plan.output);
                file.insert(QStringLiteral("size"), result.size);
                file.insert(QStringLiteral("ratio"), ratio);
            }
            if (result.failed())
                file.insert(QStringLiteral("messages"), result.messages);
            if (!result.notes.isEmpty())
                file.insert(QStringLiteral("notes"), QJsonArray::fromStringList(result.notes));
            files.append(file);
            continue;
        }
        if (result.failed())
            out << "FAILED " << oneLine(plan.input) << ": " << oneLine(result.description());
        else
            out << oneLine(plan.output);
        if (kept)
            out << "\t" << TextFormat::byteCountText(result.size) << "\ttarget " << TextFormat::byteCountText(target)
                << "\tratio " << QString::number(ratio, 'f', 2);
        if (!result.failed() && result.description() != RowResult { RowOutcome::succeeded }.description())
            out << "\t" << result.description();
        if (kept && result.failed())
            out << "\tkept " << oneLine(plan.output);
        if (!result.notes.isEmpty())
            out << "\t" << result.notes.join(QStringLiteral("; "));
        out << "\n";
        // What the transcoder last said, under the failure it explains.
        if (result.failed())
            for (const QString &line : result.messages.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                out << "    " << line << "\n";
    }
    if (json) {
        QJsonArray refusedArray;
        for (const Intake::Refusal &refusal : refused)
            refusedArray.append(QJsonObject { { QStringLiteral("input"), refusal.path },
                                              { QStringLiteral("reason"), refusal.reason } });
        out << QJsonDocument(QJsonObject { { QStringLiteral("outputFolder"), batch.outputFolder },
                                           { QStringLiteral("files"), files },
                                           { QStringLiteral("refused"), refusedArray } })
                   .toJson(QJsonDocument::Indented);
    }
}

}

int compress(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    const OrExit<CompressOptions> parsed = parseOptions(arguments, out, err);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const CompressOptions &options = std::get<CompressOptions>(parsed);
    const Diagnostics::ScopedSink diagnostics(options.verbose ? lineWriter(err) : Diagnostics::Sink());
    // What a killed run left behind is dealt with before anything else is made.
    for (const QString &line : OutputFolder::recoverLeftovers())
        err << "veltrane-cli compress: " << oneLine(line) << "\n";

    const Inputs inputs = takeInputs(options.paths, options.jobs, err);
    if (inputs.rows.isEmpty()) {
        err << "veltrane-cli compress: no file can be compressed\n";
        return failure;
    }
    const OrExit<Batch> planned = plan(options, inputs, err);
    if (const int *status = std::get_if<int>(&planned))
        return *status;
    const Batch &batch = std::get<Batch>(planned);
    Diagnostics::line(Batch::argumentListsText(batch.plannedArgumentLists()));
    if (options.dryRun) {
        printArgumentLists(out, batch, options.passes);
        return inputs.refused.isEmpty() ? success : failure;
    }

    // Nothing is made when nothing could be compressed.
    if (const auto missing = BatchJob::cannotRunText()) {
        err << "veltrane-cli compress: " << *missing << "\n";
        return failure;
    }
    const OrExit<QList<RowResult>> ran = runBatch(batch, options, err, errIsTerminal);
    if (const int *status = std::get_if<int>(&ran))
        return *status;
    const QList<RowResult> &results = std::get<QList<RowResult>>(ran);
    printSummary(out, batch, results, inputs.refused, options.json);
    return inputs.refused.isEmpty() && BatchJob::failedInputs(batch, results).isEmpty() ? success : failure;
}

}
