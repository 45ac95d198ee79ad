#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

// One run of the transcoder, watched to its end on the calling thread: its
// progress read from its standard error, its last lines kept for the report
// of a failure, and stopped (SIGTERM to its process group, SIGKILL 3 s
// later) when it is cancelled, when it stops making progress, or when its
// watcher says so. What it leaves running in its group when it ends is
// killed at once, so nothing writes on after the run is reported.
namespace TranscoderRun {

enum class End {
    exited,        // on its own: see the exit code
    failedToStart, // no such program, or it could not be launched
    crashed,
    cancelled,
    stalled,       // no progress for stallLimit()
    stoppedEarly,  // its watcher asked
};

struct Result
{
    End end = End::failedToStart;
    int exitCode = 0;
    QString messages; // its last lines of standard error, progress lines left out
};

struct Watch
{
    // Each chunk of standard error as it is read.
    std::function<void(const QByteArray &chunk)> chunk;
    // Asked after each chunk that moves the clock: true stops the run.
    std::function<bool(double seconds)> stopEarly;
};

enum class Output { inherit, discard }; // the transcoder's standard output

// outputPath is watched for growth, which counts as progress. processId holds
// the process's id while it runs, 0 otherwise.
Result run(const QString &program, const QStringList &arguments, const QString &outputPath, Output output,
           const std::atomic<bool> &cancelled, std::atomic<qint64> &processId, const Watch &watch);

// The first clock text ("HH:MM:SS.cc") of a chunk that holds "time=", in
// seconds; nothing for a chunk that is not UTF-8 or carries no progress.
std::optional<double> clockSeconds(const QByteArray &chunk);

// How long a run may go without its clock moving or its output growing:
// 5 minutes, or VELTRANE_STALL_TIMEOUT_S where a test needs it shorter.
std::chrono::milliseconds stallLimit();

// The last lines of a stream of text: at most 20 lines and 4 KB. Progress
// lines ("frame=", "size="), the encoders' closing statistics and blank
// lines are left out.
class MessageTail
{
public:
    void append(const QByteArray &bytes);
    QString text() const;

private:
    void keep(const QByteArray &line);
    QByteArray m_partial;
    QList<QByteArray> m_lines;
};

}
