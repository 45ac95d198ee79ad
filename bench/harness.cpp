// veltrane-bench: drives the window's controller directly, so the bench
// scripts can time what a user waits for (the intake pass, a batch, the
// window coming up) without clicking, and can read the exact argument lists
// the app gives the tools (and how many intake workers run them) to run them
// raw for comparison.
//
//   veltrane-bench args --thumbnail-output PATH FILE...
//   veltrane-bench intake --result FILE FILE...
//   veltrane-bench responsiveness --result FILE --output DIR [--control] [--interval MS] FILE...
//   veltrane-bench startup
//
// Results are JSON, written to --result (the window's own diagnostic lines
// keep going to standard output, as in the app) or, for args and startup, to
// standard output.

#include "app/AppDelegate.h"
#include "app/FileListModel.h"
#include "app/Thumbnail.h"
#include "compress/Batch.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMainWindow>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Options
{
    QString mode;
    QString result;
    QString output;
    QString thumbnailOutput;
    bool control = false;
    int intervalMs = 10;
    QStringList files;
};

int usage()
{
    std::fputs("usage: veltrane-bench args --thumbnail-output PATH FILE...\n"
               "       veltrane-bench intake --result FILE FILE...\n"
               "       veltrane-bench responsiveness --result FILE --output DIR [--control] [--interval MS] FILE...\n"
               "       veltrane-bench startup\n",
               stderr);
    return 2;
}

std::optional<Options> parse(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    Options options;
    options.mode = arguments.first();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments.at(++i);
        };
        if (a == QLatin1String("--result") || a == QLatin1String("--output") || a == QLatin1String("--thumbnail-output")
            || a == QLatin1String("--interval")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            if (a == QLatin1String("--result"))
                options.result = *v;
            else if (a == QLatin1String("--output"))
                options.output = *v;
            else if (a == QLatin1String("--thumbnail-output"))
                options.thumbnailOutput = *v;
            else
                options.intervalMs = std::max(1, v->toInt());
        } else if (a == QLatin1String("--control")) {
            options.control = true;
        } else if (a == QLatin1String("--")) {
            for (++i; i < arguments.size(); ++i)
                options.files.append(QFileInfo(arguments.at(i)).absoluteFilePath());
        } else {
            options.files.append(QFileInfo(a).absoluteFilePath());
        }
    }
    return options;
}

void writeResult(const QString &path, const QJsonObject &object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    if (path.isEmpty()) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

QList<QUrl> urlsOf(const QStringList &files)
{
    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(file));
    return urls;
}

// CPU seconds of this process's threads and of the children it has waited for.
double cpuSeconds()
{
    double total = 0;
    for (int who : { RUSAGE_SELF, RUSAGE_CHILDREN }) {
        struct rusage usage = {};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

double threadCpuMs()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// How long the calling thread has been ready to run but waiting for a CPU,
// from the kernel's scheduler statistics; 0 where the kernel keeps none.
double threadRunQueueWaitMs()
{
    std::FILE *file = std::fopen("/proc/thread-self/schedstat", "r");
    if (!file)
        return 0;
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    const int read = std::fscanf(file, "%llu %llu", &running, &waiting);
    std::fclose(file);
    return read == 2 ? double(waiting) / 1e6 : 0;
}

struct Span
{
    double wall = 0;
    double cpu = 0;
};

// Runs the intake pass the way the window does after a drop, and waits for
// its end.
Span runIntake(AppDelegate &delegate, const QStringList &files)
{
    QEventLoop loop;
    QObject::connect(&delegate, &AppDelegate::intakeFinished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    double cpuAtStart = 0;
    Span span;
    QObject::connect(&delegate, &AppDelegate::intakeFinished, &loop, [&] {
        span = { double(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpuAtStart };
    });
    QTimer::singleShot(0, &delegate, [&] {
        cpuAtStart = cpuSeconds();
        clock.start();
        delegate.analyzeAndAddFiles(urlsOf(files));
    });
    loop.exec();
    return span;
}

// The exact lists the app hands the tools: probe and thumbnail per file.
int argsMode(const Options &options)
{
    if (options.thumbnailOutput.isEmpty())
        return usage();
    QJsonArray files;
    Diagnostics::setSink({});
    for (const QString &path : options.files) {
        const FileProbe probe(path);
        const QString &thumbnail = options.thumbnailOutput;
        files.append(QJsonObject {
            { QStringLiteral("path"), path },
            { QStringLiteral("duration"), probe.duration },
            { QStringLiteral("probe"), QJsonArray::fromStringList(FileProbe::arguments(path)) },
            { QStringLiteral("thumbnail"), QJsonArray::fromStringList(Thumbnail::arguments(probe.duration, path, thumbnail)) },
        });
    }
    const auto sniffer = Tools::resourcePath(QString::fromLatin1(Tools::sniffer));
    const auto creator = Tools::resourcePath(QString::fromLatin1(Tools::creator));
    writeResult(options.result, QJsonObject {
                                    { QStringLiteral("sniffer"), sniffer ? QFileInfo(*sniffer).canonicalFilePath() : QString() },
                                    { QStringLiteral("creator"), creator ? QFileInfo(*creator).canonicalFilePath() : QString() },
                                    { QStringLiteral("workers"), QThread::idealThreadCount() },
                                    { QStringLiteral("files"), files },
                                });
    return 0;
}

int intakeMode(const Options &options)
{
    AppDelegate delegate;
    delegate.window->show();
    delegate.applicationDidFinishLaunching();
    const Span span = runIntake(delegate, options.files);

    const QImage placeholder = Thumbnail::placeholder();
    int thumbnails = 0;
    for (const QVariantMap &row : delegate.fileListArrayController->rows()) {
        if (row.value(RowKeys::coverArt).value<QImage>() != placeholder)
            ++thumbnails;
    }
    writeResult(options.result, QJsonObject {
                                    { QStringLiteral("seconds"), span.wall },
                                    { QStringLiteral("cpuSeconds"), span.cpu },
                                    { QStringLiteral("files"), options.files.size() },
                                    { QStringLiteral("rows"), delegate.fileListArrayController->rowCount() },
                                    { QStringLiteral("thumbnails"), thumbnails },
                                });
    return 0;
}

// Each list run to its end, one after the other, off the GUI thread: what a
// batch costs the machine without any of the app's own work.
void runRaw(const QString &program, const QList<QStringList> &lists)
{
    for (const QStringList &list : lists) {
        std::vector<QByteArray> storage { QFile::encodeName(program) };
        for (const QString &argument : list)
            storage.push_back(QFile::encodeName(argument));
        std::vector<char *> argv;
        for (QByteArray &item : storage)
            argv.push_back(item.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
}

// A timer on the GUI thread that should fire every interval; how late each
// tick comes is how long the thread could not get to it. For every gap it
// also reads the CPU time the GUI thread itself spent (a stall it was busy
// through is the app's own work) and the time it spent ready but waiting for
// a CPU (the scheduler's part).
class StallRecorder
{
public:
    explicit StallRecorder(int intervalMs) : m_intervalMs(intervalMs)
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(intervalMs);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_threadCpuAtTick = threadCpuMs();
        m_queueWaitAtTick = threadRunQueueWaitMs();
        m_sinceTick.start();
        m_clock.start();
        m_ticker.start();
    }

    // Stops, and says what it saw: rows, seconds and the stall figures.
    QJsonObject stop(int rows)
    {
        const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
        m_ticker.stop();
        std::vector<double> lateness;
        for (double gap : m_gaps)
            lateness.push_back(std::max(0.0, gap - m_intervalMs));
        // The stall with the scheduler's part taken out: what the app itself held up.
        double maxOwnLate = 0;
        for (size_t i = 0; i < m_gaps.size(); ++i)
            maxOwnLate = std::max(maxOwnLate, m_gaps[i] - m_intervalMs - m_queued[i]);
        std::vector<size_t> order(lateness.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return lateness[a] > lateness[b]; });
        QJsonArray worst;
        for (size_t i = 0; i < std::min<size_t>(5, order.size()); ++i)
            worst.append(QJsonObject { { QStringLiteral("endedAtSeconds"), m_tickTimes[order[i]] },
                                       { QStringLiteral("lateMs"), lateness[order[i]] },
                                       { QStringLiteral("busyMs"), m_busy[order[i]] },
                                       { QStringLiteral("queuedMs"), m_queued[order[i]] } });
        std::sort(lateness.begin(), lateness.end());
        const auto quantile = [&](double q) {
            if (lateness.empty())
                return 0.0;
            return lateness.at(std::min(lateness.size() - 1, size_t(q * double(lateness.size()))));
        };
        return QJsonObject {
            { QStringLiteral("rows"), rows },
            { QStringLiteral("seconds"), seconds },
            { QStringLiteral("ticks"), qint64(lateness.size()) },
            { QStringLiteral("intervalMs"), m_intervalMs },
            { QStringLiteral("maxLateMs"), lateness.empty() ? 0.0 : lateness.back() },
            { QStringLiteral("p99LateMs"), quantile(0.99) },
            { QStringLiteral("p50LateMs"), quantile(0.5) },
            { QStringLiteral("maxOwnLateMs"), maxOwnLate },
            { QStringLiteral("worst"), worst },
        };
    }

private:
    void tick()
    {
        m_gaps.push_back(double(m_sinceTick.nsecsElapsed()) / 1e6);
        m_tickTimes.push_back(double(m_clock.nsecsElapsed()) / 1e9);
        const double cpu = threadCpuMs();
        m_busy.push_back(cpu - m_threadCpuAtTick);
        m_threadCpuAtTick = cpu;
        const double wait = threadRunQueueWaitMs();
        m_queued.push_back(wait - m_queueWaitAtTick);
        m_queueWaitAtTick = wait;
        m_sinceTick.start();
    }

    const int m_intervalMs;
    QTimer m_ticker;
    QElapsedTimer m_clock; // since start(), to tell where a stall happened
    QElapsedTimer m_sinceTick;
    double m_threadCpuAtTick = 0;
    double m_queueWaitAtTick = 0;
    std::vector<double> m_gaps;
    std::vector<double> m_tickTimes;
    std::vector<double> m_busy;
    std::vector<double> m_queued;
};

// The intake pass, then a batch (or, as the control, the same argument lists
// run from a plain thread), each under a stall recorder.
int responsivenessMode(const Options &options)
{
    if (options.output.isEmpty())
        return usage();
    AppDelegate delegate;
    delegate.window->show();
    delegate.applicationDidFinishLaunching();
    StallRecorder intakeStalls(options.intervalMs);
    QTimer::singleShot(0, &delegate, [&] { intakeStalls.start(); });
    runIntake(delegate, options.files);
    const QJsonObject intake = intakeStalls.stop(delegate.fileListArrayController->rowCount());
    if (delegate.fileListArrayController->rowCount() == 0) {
        std::fputs("veltrane-bench: no file was accepted\n", stderr);
        return 1;
    }

    StallRecorder batchStalls(options.intervalMs);
    QEventLoop loop;
    std::thread raw;
    if (options.control) {
        const auto creator = Tools::resourcePath(QString::fromLatin1(Tools::creator));
        if (!creator)
            return 1;
        QDir().mkdir(options.output);
        const QList<QStringList> lists =
            Batch::plan(delegate.fileListArrayController->rows(), options.output,
                        Planning::Target::ofSmallest(delegate.fileSizeSlider->value()),
                        { .resolutionPercent = double(delegate.outputResolutionSlider->value()) })
                .plannedArgumentLists();
        QTimer::singleShot(0, &loop, [&, program = *creator, lists] {
            batchStalls.start();
            raw = std::thread([&loop, program, lists] {
                runRaw(program, lists);
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
        });
    } else {
        QObject::connect(&delegate, &AppDelegate::batchFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(0, &loop, [&] {
            batchStalls.start();
            delegate.prepareOutputFolder(options.output);
        });
    }
    loop.exec();
    QJsonObject result = batchStalls.stop(delegate.fileListArrayController->rowCount());
    if (raw.joinable())
        raw.join();
    result.insert(QStringLiteral("control"), options.control);
    result.insert(QStringLiteral("intake"), intake);
    writeResult(options.result, result);
    return 0;
}

// Watches for the first paint of anything in the window; the frame counts as
// shown once the event loop has come round after it.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget *window, std::function<void()> done) : m_window(window), m_done(std::move(done)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == m_window) {
            m_seen = true;
            QTimer::singleShot(0, this, m_done);
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_done;
    bool m_seen = false;
};

}

int main(int argc, char *argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    const auto options = parse(arguments);
    if (!options)
        return usage();

    if (options->mode == QLatin1String("startup")) {
        // As main.cpp does it, step by step.
        QApplication app(argc, argv);
        const qint64 application = sinceMain.nsecsElapsed();
        AppDelegate delegate;
        const qint64 constructed = sinceMain.nsecsElapsed();
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
        qint64 painted = 0;
        FirstPaint watcher(delegate.window, [&] {
            painted = sinceMain.nsecsElapsed();
            // The bench script stamps this line as the moment the window was up.
            std::printf("SHOWN\n");
            std::fflush(stdout);
            app.quit();
        });
        app.installEventFilter(&watcher);
        delegate.window->show();
        delegate.applicationDidFinishLaunching();
        const qint64 shown = sinceMain.nsecsElapsed();
        QTimer::singleShot(10000, &app, &QCoreApplication::quit);
        app.exec();
        writeResult(options->result, QJsonObject {
                                         { QStringLiteral("platform"), QGuiApplication::platformName() },
                                         { QStringLiteral("applicationMs"), double(application) / 1e6 },
                                         { QStringLiteral("delegateMs"), double(constructed - application) / 1e6 },
                                         { QStringLiteral("showMs"), double(shown - constructed) / 1e6 },
                                         { QStringLiteral("firstPaintMs"), painted ? double(painted - shown) / 1e6 : -1.0 },
                                         { QStringLiteral("totalMs"), painted ? double(painted) / 1e6 : -1.0 },
                                     });
        return painted ? 0 : 1;
    }

    if (options->mode == QLatin1String("args")) {
        QCoreApplication app(argc, argv);
        return argsMode(*options);
    }
    if (options->files.isEmpty())
        return usage();
    QApplication app(argc, argv);
    if (options->mode == QLatin1String("intake"))
        return intakeMode(*options);
    if (options->mode == QLatin1String("responsiveness"))
        return responsivenessMode(*options);
    return usage();
}
