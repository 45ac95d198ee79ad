#include "cli/Cli.h"

#include "BuildConfig.h"
#include "filelist/IntakeJob.h"

#include <QEventLoop>
#include "util/FolderContents.h"

#include <QFileInfo>
#include <QThread>

namespace Cli {

namespace {

void usage(QTextStream &stream)
{
    stream << "Usage: veltrane-cli COMMAND [OPTIONS] FILE...\n"
              "\n"
              "Commands:\n"
              "  probe      Examine files and print what Veltrane learns about them, as JSON.\n"
              "  compress   Compress files into .mp4 files of one target size, in a new folder.\n"
              "\n"
              "Run 'veltrane-cli COMMAND --help' for the options of a command.\n";
}

}

std::mutex &streamMutex()
{
    static std::mutex mutex;
    return mutex;
}

Diagnostics::Sink lineWriter(QTextStream &stream)
{
    return [&stream](const QString &line) {
        const std::lock_guard lock(streamMutex());
        stream << line << "\n";
        stream.flush();
    };
}

QCommandLineOption jobsOption()
{
    return QCommandLineOption(QStringLiteral("jobs"),
                              QStringLiteral("Files examined at the same time, at most %2 (4 per processor core). "
                                             "Default: the processor count (%1); 1 examines them one after the other.")
                                  .arg(QThread::idealThreadCount())
                                  .arg(jobsCap()),
                              QStringLiteral("N"));
}

// A probe is short and mostly waits for the disk, so a few per core keep the
// cores busy on a slow or network disk; hundreds at once only crowd the disk
// and memory and make the machine crawl.
int jobsCap() { return 4 * QThread::idealThreadCount(); }

std::variant<int, QString> jobsValue(const QCommandLineParser &parser, const QCommandLineOption &option,
                                     const QString &command, QTextStream &err)
{
    if (!parser.isSet(option))
        return QThread::idealThreadCount();
    bool ok = false;
    const qlonglong jobs = parser.value(option).toLongLong(&ok);
    if (!ok || jobs < 1)
        return QStringLiteral("--jobs must be a whole number from 1 up, not '%1'").arg(parser.value(option));
    if (jobs > jobsCap()) {
        err << "veltrane-cli " << command << ": --jobs " << jobs << " is more than " << jobsCap()
            << " (4 per processor core); examining " << jobsCap() << " files at a time\n";
        return jobsCap();
    }
    return int(jobs);
}

QStringList namedFiles(const QStringList &arguments)
{
    QStringList files;
    for (const QString &argument : arguments) {
        const QString path = QFileInfo(argument).absoluteFilePath();
        const QStringList brought = FolderContents::withFolderContents({ path });
        files += brought.isEmpty() ? QStringList { path } : brought;
    }
    return files;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    if (arguments.isEmpty()) {
        usage(err);
        return usageError;
    }
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("probe"))
        return probe(rest, out, err);
    if (command == QLatin1String("compress"))
        return compress(rest, out, err, errIsTerminal);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        usage(out);
        return success;
    }
    if (command == QLatin1String("--version")) {
        out << "veltrane-cli " << BuildConfig::version << "\n";
        return success;
    }
    err << "veltrane-cli: unknown command '" << command << "'\n\n";
    usage(err);
    return usageError;
}

QString oneLine(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

void examineAll(const QStringList &paths, int jobs, const std::function<void(const Intake::Examined &)> &examined)
{
    if (paths.isEmpty())
        return;
    IntakeJob job(jobs);
    QEventLoop loop;
    QObject::connect(&job, &IntakeJob::examined, &loop, examined);
    QObject::connect(&job, &IntakeJob::finished, &loop, &QEventLoop::quit);
    job.add(paths);
    loop.exec();
}

}
