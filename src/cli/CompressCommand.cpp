#include "cli/Cli.h"
#include "cli/CompressOptions.h"
#include "cli/ProgressView.h"
#include "cli/Summary.h"

#include "compress/Batch.h"
#include "compress/CompressionRun.h"
#include "compress/OutputFolder.h"
#include "compress/Planning.h"
#include "filelist/Intake.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "util/Diagnostics.h"

#include <QEventLoop>

#include <atomic>
#include <csignal>
#include <variant>

namespace Cli {

namespace {

// A step's result, or the exit status to end with.
template<typename T>
using OrExit = std::variant<T, int>;

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
    examineAll(paths, jobs, [&inputs](const Intake::Examined &file) {
        if (file.refusal)
            inputs.refused.append(Intake::refusalOf(file));
        else
            inputs.rows.append(RowRecord::make(file.probe));
    });
    if (!inputs.refused.isEmpty())
        Diagnostics::line(QStringLiteral("nonWorkableFiles : ") + Intake::refusedNames(inputs.refused).join(QStringLiteral(", ")));
    for (const Intake::Refusal &refusal : inputs.refused)
        err << "veltrane-cli compress: refused " << oneLine(refusal.path) << ": " << refusal.reason << "\n";
    return inputs;
}

// ---- plan -----------------------------------------------------------------------

OrExit<Batch> plan(const CompressOptions &options, const Inputs &inputs, QTextStream &err)
{
    const qint64 reference = Planning::referenceFileSize(inputs.rows);
    if (options.targetBytes) {
        if (double(*options.targetBytes) / double(reference) * 100 < 1)
            return compressUsage(err, QStringLiteral("--target-size %1 is below 1% of the smallest file (%2 bytes)")
                                          .arg(options.targetSizeText).arg(reference));
    }
    return Batch::plan(inputs.rows, options.folder, options.target, options.choices);
}

// ---- run ------------------------------------------------------------------------

std::atomic<int> interruptedBy { 0 };
std::atomic<CompressionRun *> interruptedRun { nullptr };

extern "C" void onInterrupt(int signal)
{
    interruptedBy.store(signal);
    if (CompressionRun *run = interruptedRun.load())
        run->cancel();
}

// Ctrl-C, termination and a closed terminal cancel the run, as the window's
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
        interruptedRun.store(nullptr);
    }
    // From now on a signal cancels run.
    void watch(CompressionRun &run) const { interruptedRun.store(&run); }

private:
    static constexpr int handled[] = { SIGINT, SIGTERM, SIGHUP };
    struct sigaction m_previous[std::size(handled)] = {};
};

// The exit status of a run that could not start.
int refused(const CompressionRun::Refusal &refusal, QTextStream &err)
{
    using Kind = OutputFolder::Refusal::Kind;
    const bool exists = refusal.folder && refusal.folder->kind == Kind::exists;
    err << "veltrane-cli compress: " << oneLine(refusal.text) << (exists ? "; use --force to replace it" : "") << "\n";
    if (!refusal.folder)
        return failure;
    switch (refusal.folder->kind) {
    case Kind::holdsInput:
    case Kind::exists:
    case Kind::notAFolder:
    case Kind::unsafe:
        return usageError;
    case Kind::busy:
    case Kind::cannotCreate:
        return failure;
    }
    return failure;
}

// Makes the folder and runs the batch: the results, or the exit status.
OrExit<QList<RowResult>> runBatch(Batch batch, const CompressOptions &options, QTextStream &err, bool errIsTerminal)
{
    const InterruptGuard guard;
    // Every named file counts, refused ones too: replacing the folder would
    // destroy them just the same. Standard output carries results only: the
    // transcoder's own output is dropped.
    auto prepared = CompressionRun::prepare(std::move(batch), { options.passes, TranscoderRun::Output::discard }, options.force,
                                            options.paths);
    if (const auto *refusal = std::get_if<CompressionRun::Refusal>(&prepared))
        return refused(*refusal, err);
    CompressionRun &run = *std::get<std::unique_ptr<CompressionRun>>(prepared);
    const ProgressView view(err, run.job(),
                            options.json ? ProgressView::Mode::json
                                         : errIsTerminal ? ProgressView::Mode::bar : ProgressView::Mode::lines);
    guard.watch(run);
    if (interruptedBy.load())
        run.cancel();
    QList<RowResult> results;
    bool cancelled = false;
    std::optional<QString> placingProblem;
    QEventLoop loop;
    QObject::connect(&run, &CompressionRun::ended, &loop,
                     [&](const QList<RowResult> &r, bool c, const std::optional<QString> &p) {
                         results = r, cancelled = c, placingProblem = p;
                         loop.quit();
                     });
    run.start();
    loop.exec();
    if (cancelled) {
        const int signal = interruptedBy.load();
        err << "veltrane-cli compress: " << (signal == SIGINT ? "cancelled" : "stopped by a signal") << "; "
            << oneLine(run.batch().outputFolder) << (run.replaces() ? " is as it was" : " was not made") << "\n";
        return 128 + signal;
    }
    if (placingProblem) {
        err << "veltrane-cli compress: " << oneLine(*placingProblem) << "\n";
        return failure;
    }
    return results;
}

}

int compress(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    const std::variant<CompressOptions, int> parsed = parseCompressOptions(arguments, out, err);
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
        printArgumentLists(out, batch, options.passes, options.json);
        return inputs.refused.isEmpty() ? success : failure;
    }

    const OrExit<QList<RowResult>> ran = runBatch(batch, options, err, errIsTerminal);
    if (const int *status = std::get_if<int>(&ran))
        return *status;
    const QList<RowResult> &results = std::get<QList<RowResult>>(ran);
    printSummary(out, batch, results, inputs.refused, options.json);
    return inputs.refused.isEmpty() && BatchJob::failedInputs(batch, results).isEmpty() ? success : failure;
}

}
