#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

// One run of the transcoder, watched to its end on the calling thread: its
// progress read from its standard error line by line, its last lines kept
// for the report of a failure, and stopped (SIGTERM to its process group,
// SIGKILL 3 s later) when it is cancelled, when it stops making progress, or
// when its watcher says so. What it leaves running in its group when it ends
// is killed at once, so nothing writes on after the run is reported.
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
    QString messages; // its last lines of standard error, routine text left out
};

struct Watch
{
    // Asked each time the clock moves: true stops the run.
    std::function<bool(double seconds)> stopEarly;
    // Every line of standard error, as it comes.
    std::function<void(QByteArrayView line)> line;
};

enum class Output { inherit, discard }; // the transcoder's standard output

// outputPath is watched for growth, which counts as progress. processId holds
// the process's id while it runs, 0 otherwise.
Result run(const QString &program, const QStringList &arguments, const QString &outputPath, Output output,
           const std::atomic<bool> &cancelled, std::atomic<qint64> &processId, const Watch &watch);

// Splits a stream of bytes into lines at '\r' and '\n' (a progress line ends
// in '\r'), empty lines left out; the unfinished rest waits for the next
// bytes. A line longer than maxLine is handed on in pieces of that size, so a
// stream that never ends a line still moves and its rest stays small.
class LineSplitter
{
public:
    static constexpr qsizetype maxLine = 4096;

    // Calls line(QByteArrayView) with each line the bytes complete; the view
    // lasts for the call.
    template<typename Line>
    void feed(QByteArrayView bytes, Line &&line)
    {
        // The rest ends no line and is shorter than maxLine: only the new bytes need a look.
        qsizetype i = m_rest.size();
        qsizetype start = 0;
        m_rest.append(bytes);
        for (; i < m_rest.size(); ++i) {
            const char c = m_rest.at(i);
            if (c == '\n' || c == '\r') {
                if (i > start)
                    line(QByteArrayView(m_rest).sliced(start, i - start));
                start = i + 1;
            } else if (i + 1 - start == maxLine) {
                line(QByteArrayView(m_rest).sliced(start, maxLine));
                start = i + 1;
            }
        }
        m_rest.remove(0, start);
    }

    // At the end of the stream: the unfinished rest as a last line.
    template<typename Line>
    void finish(Line &&line)
    {
        if (!m_rest.isEmpty())
            line(QByteArrayView(m_rest));
        m_rest.clear();
    }

private:
    QByteArray m_rest;
};

// The clock of a progress line, the text after "time=" ("00:01:02.50"; hours
// run past 99), in seconds; 0 for a negative clock, as the first packets of
// some runs carry. Nothing for a line without one or with "time=N/A".
std::optional<double> progressSeconds(QByteArrayView line);

// How long a run may go without its clock moving or its output growing:
// 5 minutes, or VELTRANE_STALL_TIMEOUT_S where a test needs it shorter.
std::chrono::milliseconds stallLimit();

// The last lines of the transcoder's standard error, for the report of a
// failure: at most 20 lines and 4 KB. Its routine text is left out (the
// banner and build lines, the description of inputs and outputs, progress,
// the encoders' settings and closing statistics), whatever else an encoder
// says is kept: its complaint is the one line that explains a failure.
class MessageTail
{
public:
    void add(QByteArrayView line);
    QString text() const;

private:
    QList<QByteArray> m_lines;
    qsizetype m_bytes = 0;
};

}
