#include "cli/Cli.h"

#include "compress/Batch.h"
#include "compress/BatchRunner.h"
#include "compress/Planning.h"
#include "filelist/Intake.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "util/Diagnostics.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <atomic>
#include <cmath>
#include <csignal>

namespace Cli {

namespace {

std::atomic<bool> interrupted { false };

extern "C" void onInterrupt(int) { interrupted.store(true); }

// Ctrl-C and termination stop the batch the way the cancel button does.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        interrupted.store(false);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }

private:
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
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

QString clockText(double seconds)
{
    const qint64 s = qint64(std::max(0.0, seconds));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// Progress on standard error: a redrawn bar on a terminal, a line per whole
// percent otherwise, or one JSON object per update.
class ProgressView
{
public:
    ProgressView(QTextStream &err, const Batch &batch, bool terminal, bool json)
        : m_err(err), m_batch(batch), m_terminal(terminal), m_json(json)
    {
        m_clock.start();
    }

    void rowStarted(qsizetype row)
    {
        m_row = row;
        if (!m_terminal && !m_json)
            m_err << "Compressing " << (row + 1) << "/" << m_batch.count() << ": " << m_batch.inputs.at(row) << "\n";
        update(double(row) / double(m_batch.count()) * 100);
    }

    void update(double percent)
    {
        percent = std::clamp(percent, 0.0, 100.0);
        const double elapsed = m_clock.elapsed() / 1000.0;
        const std::optional<double> remaining =
            percent > 0.5 ? std::optional<double>(elapsed / percent * (100 - percent)) : std::nullopt;
        const QString file = Paths::lastComponent(m_batch.inputs.value(m_row));
        if (m_json) {
            QJsonObject object { { QStringLiteral("event"), QStringLiteral("progress") },
                                 { QStringLiteral("percent"), percent },
                                 { QStringLiteral("index"), m_row },
                                 { QStringLiteral("count"), m_batch.count() },
                                 { QStringLiteral("file"), m_batch.inputs.value(m_row) } };
            object.insert(QStringLiteral("secondsLeft"), remaining ? QJsonValue(*remaining) : QJsonValue());
            m_err << QJsonDocument(object).toJson(QJsonDocument::Compact) << "\n";
        } else if (m_terminal) {
            if (m_drawn.isValid() && m_drawn.elapsed() < 100 && percent < 100)
                return;
            m_drawn.start();
            const int width = 30;
            const int filled = int(percent / 100 * width);
            m_err << "\r[" << QString(filled, QLatin1Char('#')) << QString(width - filled, QLatin1Char('-')) << "] "
                  << QString::number(percent, 'f', 1).rightJustified(5) << "%  " << (m_row + 1) << "/"
                  << m_batch.count() << " " << file;
            if (remaining)
                m_err << "  " << clockText(*remaining) << " left";
            m_err << "\x1b[K";
        } else {
            const int whole = int(percent);
            if (whole == m_lastWhole)
                return;
            m_lastWhole = whole;
            m_err << whole << "% (" << (m_row + 1) << "/" << m_batch.count() << " " << file << ")\n";
        }
        m_err.flush();
    }

    void finish()
    {
        if (m_terminal && !m_json) {
            m_err << "\n";
            m_err.flush();
        }
    }

private:
    QTextStream &m_err;
    const Batch &m_batch;
    bool m_terminal;
    bool m_json;
    qsizetype m_row = 0;
    int m_lastWhole = -1;
    QElapsedTimer m_clock;
    QElapsedTimer m_drawn;
};

void printSummary(QTextStream &out, const Batch &batch, const QList<RowResult> &results,
                  const QList<Intake::Refusal> &refused, bool json)
{
    QJsonArray files;
    for (qsizetype i = 0; i < batch.count(); ++i) {
        const RowResult &result = results.at(i);
        const qint64 size = result.outcome == RowOutcome::succeeded ? QFileInfo(batch.outputs.at(i)).size() : 0;
        const qint64 target = batch.targetSizes.at(i);
        const double ratio = target > 0 ? double(size) / double(target) : 0.0;
        if (json) {
            QJsonObject file { { QStringLiteral("input"), batch.inputs.at(i) },
                               { QStringLiteral("outcome"), describe(result.outcome) },
                               { QStringLiteral("targetSize"), target } };
            if (result.outcome == RowOutcome::succeeded) {
                file.insert(QStringLiteral("output"), batch.outputs.at(i));
                file.insert(QStringLiteral("size"), size);
                file.insert(QStringLiteral("ratio"), ratio);
            }
            files.append(file);
        } else if (result.outcome == RowOutcome::succeeded) {
            out << batch.outputs.at(i) << "\t" << TextFormat::byteCountText(size) << "\ttarget "
                << TextFormat::byteCountText(target) << "\tratio " << QString::number(ratio, 'f', 2) << "\n";
        } else {
            out << "FAILED " << batch.inputs.at(i) << ": " << describe(result.outcome) << "\n";
        }
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
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace the output folder if it exists (never one that holds an input)."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Print the transcoder argument lists as JSON and run nothing."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Progress (standard error) and summary (standard output) as JSON."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Write diagnostic lines to standard error."));
    parser.addOptions({ size, targetSize, resolution, output, force, dryRun, json, verbose });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Videos to compress."), QStringLiteral("FILE..."));

    const auto usage = [&err](const QString &message) {
        err << "veltrane-cli compress: " << message << "\nTry 'veltrane-cli compress --help'.\n";
        return usageError;
    };
    if (!parser.parse(QStringList { QStringLiteral("veltrane-cli compress") } + arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return success;
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usage(QStringLiteral("no FILE given"));
    if (parser.isSet(size) && parser.isSet(targetSize))
        return usage(QStringLiteral("--size and --target-size cannot be used together"));

    // A percentage option: its default when absent, nothing when it is no number from 1 to 100.
    const auto percent = [&parser](const QCommandLineOption &option, double absent) {
        return parser.isSet(option) ? percentOption(parser.value(option)) : std::optional(absent);
    };
    const std::optional<double> sizeOption = percent(size, 55), resolutionOption = percent(resolution, 100);
    if (!sizeOption)
        return usage(QStringLiteral("--size must be a number from 1 to 100, not '%1'").arg(parser.value(size)));
    if (!resolutionOption)
        return usage(QStringLiteral("--resolution must be a number from 1 to 100, not '%1'").arg(parser.value(resolution)));
    double sizePercent = *sizeOption;
    const double resolutionPercent = *resolutionOption;
    std::optional<qint64> targetBytes;
    if (parser.isSet(targetSize)) {
        targetBytes = byteCountOption(parser.value(targetSize));
        if (!targetBytes)
            return usage(QStringLiteral("--target-size must be a size such as 8MB, 750KB or 1.5GB, not '%1'")
                             .arg(parser.value(targetSize)));
    }
    // An empty name resolves to nothing, and the outputs would land at the
    // root of the file system.
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usage(QStringLiteral("--output needs a folder name"));
    const QString folder = QDir::cleanPath(QFileInfo(parser.isSet(output) ? parser.value(output) : QStringLiteral("Compressed Files")).absoluteFilePath());

    const bool verboseOutput = parser.isSet(verbose);
    const Diagnostics::ScopedSink diagnostics(verboseOutput ? lineWriter(err) : Diagnostics::Sink());

    // Same intake as the window: absolute paths, so no name is read as an option.
    QStringList paths;
    for (const QString &file : files)
        paths.append(QFileInfo(file).absoluteFilePath());
    QList<QVariantMap> rows;
    const QList<Intake::Refusal> refused =
        Intake::analyze(paths, { [&rows](const FileProbe &probe) { rows.append(makeRowRecord(probe, QImage())); }, {} });
    for (const Intake::Refusal &refusal : refused)
        err << "veltrane-cli compress: refused " << refusal.path << ": " << refusal.reason << "\n";
    if (rows.isEmpty()) {
        err << "veltrane-cli compress: no file can be compressed\n";
        return failure;
    }

    const qint64 reference = Planning::referenceFileSize(rows);
    if (targetBytes) {
        if (*targetBytes > reference)
            return usage(QStringLiteral("--target-size %1 is larger than the smallest file (%2 bytes); it would grow it")
                             .arg(parser.value(targetSize)).arg(reference));
        sizePercent = double(*targetBytes) / double(reference) * 100;
        if (sizePercent < 1)
            return usage(QStringLiteral("--target-size %1 is below 1% of the smallest file (%2 bytes)")
                             .arg(parser.value(targetSize)).arg(reference));
    }

    const Batch batch = planBatch(rows, folder, sizePercent, resolutionPercent);
    Diagnostics::line(argumentListsText(batch.argumentLists));
    if (parser.isSet(dryRun)) {
        QJsonArray lists;
        for (const QStringList &list : batch.argumentLists)
            lists.append(QJsonArray::fromStringList(list));
        out << QJsonDocument(lists).toJson(QJsonDocument::Indented);
        return refused.isEmpty() ? success : failure;
    }

    // Every named file counts, refused ones too: replacing the folder would
    // destroy them just the same.
    if (const auto input = OutputFolder::listedInputInside(folder, paths)) {
        err << "veltrane-cli compress: " << folder << " holds " << *input << "; it cannot be the output folder\n";
        return usageError;
    }
    if (QFileInfo::exists(folder) || QFileInfo(folder).isSymLink()) {
        if (!parser.isSet(force)) {
            err << "veltrane-cli compress: " << folder << " already exists; use --force to replace it\n";
            return usageError;
        }
    }
    ProgressView view(err, batch, errIsTerminal, parser.isSet(json));
    ProcessSlot slot;
    RunnerHooks hooks;
    hooks.rowStarted = [&view](qsizetype row) { view.rowStarted(row); };
    hooks.progress = [&view](double percent, qsizetype) { view.update(percent); };
    QList<RowResult> results;
    {
        // From the moment the folder exists, Ctrl-C must lead to its removal.
        const InterruptGuard guard;
        if (!OutputFolder::prepare(folder))
            err << "veltrane-cli compress: could not create " << folder << "\n";
        // Standard output carries results only: the transcoder's own output is dropped.
        results = runBatch(batch, interrupted, slot, hooks, TranscoderOutput::discard);
    }
    view.finish();

    if (interrupted.load()) {
        OutputFolder::remove(folder);
        err << "veltrane-cli compress: cancelled; removed " << folder << "\n";
        return cancelled;
    }
    printSummary(out, batch, results, refused, parser.isSet(json));
    return refused.isEmpty() && failedInputs(batch, results).isEmpty() ? success : failure;
}

}
