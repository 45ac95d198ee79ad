#include "tools/Tools.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <ctime>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace Tools {

namespace {

constexpr int stopPollMilliseconds = 20;

std::optional<QString> executableIn(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return std::nullopt;
    const QString path = QDir(folder).filePath(name);
    const QFileInfo info(path);
    if (info.isFile() && info.isExecutable())
        return path;
    return std::nullopt;
}

QProcess::ProcessChannelMode channelMode(Stream output, Stream error)
{
    const bool forwardOutput = output == Stream::inherit;
    const bool forwardError = error == Stream::inherit;
    if (forwardOutput && forwardError)
        return QProcess::ForwardedChannels;
    if (forwardOutput)
        return QProcess::ForwardedOutputChannel;
    if (forwardError)
        return QProcess::ForwardedErrorChannel;
    return QProcess::SeparateChannels;
}

}

QStringList resourceFolders()
{
    const QString fromEnvironment = qEnvironmentVariable("VELTRANE_RESOURCES");
    if (!fromEnvironment.isEmpty())
        return { fromEnvironment };
    QStringList folders;
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath();
        folders << beside + QStringLiteral("/resources")
                << QDir::cleanPath(beside + QLatin1Char('/') + QString::fromUtf8(BuildConfig::relativeResourcesDir));
    }
    const QString installed = QString::fromUtf8(BuildConfig::installedResourcesDir);
    if (!folders.contains(installed))
        folders << installed;
    return folders;
}

std::optional<QString> resourcePath(const QString &name)
{
    for (const QString &folder : resourceFolders())
        if (auto found = executableIn(folder, name))
            return found;
    return std::nullopt;
}

QString notFoundText(const QString &role, const char *name)
{
    //: %1 is a tool's role, "transcoder" or "probe tool", translated with its article.
    return QCoreApplication::translate("Tools", "the %1 (%2) was not found in %3")
        .arg(QCoreApplication::translate("Tools", qUtf8Printable(role)), QString::fromLatin1(name),
             resourceFolders().join(QCoreApplication::translate("Tools", " or ")));
}

std::optional<QString> missingTranscoderText()
{
    if (resourcePath(QString::fromLatin1(creator)))
        return std::nullopt;
    return notFoundText(QStringLiteral(QT_TRANSLATE_NOOP("Tools", "transcoder")), creator);
}

std::chrono::milliseconds waitBound()
{
    return limitFromEnvironment<std::chrono::milliseconds>("VELTRANE_TOOL_TIMEOUT_MS", std::chrono::seconds(60));
}

namespace {

// The groups of the tools running now, for the signal handlers below: a fixed
// table of lock-free slots, since a handler may touch nothing else. It is
// shared with the children, which enter themselves before they exec; a slot is
// 0 when free, -1 when reserved for a tool not started yet.
struct LiveTable
{
    std::atomic<bool> stopping;
    std::atomic<qint64> groups[64];
};
static_assert(std::atomic<qint64>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

LiveTable *sharedLiveTable()
{
    void *memory = ::mmap(nullptr, sizeof(LiveTable), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    // Without shared memory a child's entry stays its own: stops then miss
    // the tools, and nothing else changes.
    return new (memory == MAP_FAILED ? ::operator new(sizeof(LiveTable)) : memory) LiveTable {};
}

LiveTable &liveTable = *sharedLiveTable();

void signalLiveGroups(int signal)
{
    for (const std::atomic<qint64> &slot : liveTable.groups)
        if (const qint64 pid = slot.load(); pid > 0)
            ::kill(-pid_t(pid), signal);
}

// The tools stop, then the process, there and then: SIGSTOP, as a raised
// SIGTSTP would only stop it after the handler (and not at all under a
// sanitizer, which handles the signal itself). The raise returns once the
// process is continued, and the tools go on with it. A child that entered
// after the table was read waits before its exec while stopping is set.
void onTerminalStop(int)
{
    liveTable.stopping.store(true);
    signalLiveGroups(SIGSTOP);
    ::raise(SIGSTOP);
    liveTable.stopping.store(false);
    signalLiveGroups(SIGCONT);
}

}

LiveGroup::LiveGroup() : m_slot(nullptr)
{
    for (std::atomic<qint64> &slot : liveTable.groups)
        if (qint64 held = 0; slot.compare_exchange_strong(held, -1)) {
            m_slot = &slot;
            return;
        }
}

LiveGroup::~LiveGroup()
{
    if (m_slot)
        m_slot->store(0);
}

void configure(QProcess &process, const QString &program, const QStringList &arguments, Stream output, Stream error,
               const LiveGroup &liveGroup)
{
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    const pid_t parent = ::getpid();
    // In the child, between fork and exec: async-signal-safe calls only.
    std::atomic<qint64> *const slot = liveGroup.m_slot;
    process.setChildProcessModifier([parent, slot] {
        ::setpgid(0, 0);
        // Out of the terminal's foreground group, a write to the terminal
        // would stop the tool where the terminal is set to "tostop".
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGTTOU, &ignore, nullptr);
#ifdef Q_OS_LINUX
        // A tool must not outlive the application, even one that was killed;
        // one that died before this line is no longer our parent.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
#endif
        if (slot) {
            slot->store(::getpid());
            const timespec millisecond { 0, 1000000 };
            while (liveTable.stopping.load() && ::getppid() == parent)
                ::nanosleep(&millisecond, nullptr);
        }
    });
    // Inherited streams go through the channel mode, discarded ones to the null device.
    process.setProcessChannelMode(channelMode(output, error));
    if (output == Stream::discard)
        process.setStandardOutputFile(QProcess::nullDevice());
    if (error == Stream::discard)
        process.setStandardErrorFile(QProcess::nullDevice());
}

void followTerminalStops()
{
    struct sigaction action {};
    action.sa_handler = onTerminalStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTSTP, &action, nullptr);
}

void signalGroup(qint64 pid, int signal)
{
    if (pid <= 0)
        return;
    // A group's id stays taken while any member lives, so it names no one
    // else even after the tool itself has been reaped. The group exists from
    // before exec, so from any time a start has been seen.
    ::kill(-pid_t(pid), signal);
}

RunResult run(const QString &program, const QStringList &arguments, Stream output, Stream error,
              const std::atomic<bool> *stop)
{
    RunResult result;
    const LiveGroup live;
    QProcess process;
    configure(process, program, arguments, output, error, live);

    const auto bound = waitBound();
    qint64 pid = 0;
    // Tools run on workers (intake, the batch), never on the window's
    // thread: a plain wait, looking at *stop every 20 ms.
    process.start();
    if (process.waitForStarted(-1)) {
        pid = process.processId();
        const QDeadlineTimer deadline(bound);
        while (!process.waitForFinished(stopPollMilliseconds) && process.state() != QProcess::NotRunning
               && !deadline.hasExpired()) {
            if (stop && stop->load()) {
                result.stopped = true;
                break;
            }
        }
    }

    result.started = process.error() != QProcess::FailedToStart;
    // Stopped or done, nothing the tool started may outlive its run.
    if (result.started)
        signalGroup(pid, SIGKILL);
    if (process.state() != QProcess::NotRunning) {
        result.timedOut = !result.stopped;
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    if (output == Stream::pipe)
        result.output = process.readAllStandardOutput();
    return result;
}

}
