#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <optional>

// Everything that knows where the outside tools live and how they are run.
namespace Tools {

inline constexpr char sniffer[] = "sniffer"; // FFmpeg's ffprobe
inline constexpr char creator[] = "creator"; // FFmpeg's ffmpeg

// Where the tools are looked for, in order: the folder named by
// VELTRANE_RESOURCES (when set, the only one), else the "resources" folder
// beside the executable, the share folder relative to it, and the installed
// share folder.
QStringList resourceFolders();

// Full path of the resource called name, or nothing.
std::optional<QString> resourcePath(const QString &name);

// "the <role> (<name>) was not found in <folders>", for the user; role is
// marked for translation in the Tools context.
QString notFoundText(const QString &role, const char *name);
// The transcoder's notFoundText when it is missing: then no batch may begin.
std::optional<QString> missingTranscoderText();

// A limit a test may set shorter through an environment variable: a positive
// whole number of Duration's units, or else the fallback.
template<typename Duration>
Duration limitFromEnvironment(const char *variable, Duration fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(variable, &ok);
    return ok && value > 0 ? Duration(value) : fallback;
}

// How long a probe or thumbnail run may take before it is stopped: 60 s,
// or VELTRANE_TOOL_TIMEOUT_MS where a test needs it shorter.
std::chrono::milliseconds waitBound();

enum class Stream { inherit, pipe, discard };

// While it lives, the tool configured with it is among those a stop from the
// terminal takes along (see followTerminalStops). Made before the start: the
// tool enters itself between fork and exec, so a stop can never fall between
// its start and its entry.
class LiveGroup
{
public:
    LiveGroup();
    ~LiveGroup();
    LiveGroup(const LiveGroup &) = delete;
    LiveGroup &operator=(const LiveGroup &) = delete;

private:
    friend void configure(QProcess &, const QString &, const QStringList &, Stream, Stream, const LiveGroup &);
    std::atomic<qint64> *m_slot;
};

// Sets up a child: argument list only (never a shell), standard input from the
// null device so the tool never reads the user's terminal, and the two output
// streams as asked. The tool leads a process group of its own, so that ending
// the group ends whatever the tool started too, and it is sent SIGTERM when
// the thread that started it ends, which is when Veltrane dies: every run
// waits for its tool on the thread that started it.
void configure(QProcess &process, const QString &program, const QStringList &arguments, Stream output, Stream error,
               const LiveGroup &live);

// Ctrl-Z in a terminal stops the process and every tool it is running, and
// a continue goes on with them: each tool leads a process group of its own,
// which the terminal's stop does not reach, so it would go on encoding in the
// background. Installed once, from main.
void followTerminalStops();

// Sends signal to the process group of the tool started as pid: the tool and
// everything it started that is still in its group. Once the tool has ended,
// SIGKILL this way ends what it left behind. Nothing for pid 0.
void signalGroup(qint64 pid, int signal);

struct RunResult
{
    bool started = false;
    bool timedOut = false;
    bool stopped = false; // killed because *stop was set
    QByteArray output; // standard output, when it was piped
};

// Runs a tool to its end or until the wait bound, whichever comes first; a
// tool still running then is killed, as it is within 20 ms of *stop being
// set. It blocks the calling thread: call it from a worker, never from the
// window's thread.
RunResult run(const QString &program, const QStringList &arguments, Stream output, Stream error,
              const std::atomic<bool> *stop = nullptr);

}
