#include "compress/TranscoderRun.h"

#include "tools/Tools.h"
#include "util/Utils.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <csignal>

namespace TranscoderRun {

namespace {

constexpr int pollMilliseconds = 20;
constexpr int killAfterMilliseconds = 3000;
constexpr int outputCheckMilliseconds = 1000;
constexpr qsizetype tailLines = 20;
constexpr qsizetype tailBytes = 4096;

const QString clockPattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");

// Progress lines and the encoders' closing statistics: what a failure's
// report has no room for, since they come after the error that matters.
bool isNoise(const QByteArray &line)
{
    if (line.startsWith("frame=") || line.startsWith("size="))
        return true;
    if (line.startsWith("video:") && line.contains("muxing overhead"))
        return true;
    const bool encoderLine = line.startsWith("[libx264 @") || line.startsWith("[aac @");
    return encoderLine && !line.contains("rror");
}

}

std::optional<double> clockSeconds(const QByteArray &chunk)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(chunk);
    if (decoder.hasError() || !text.contains(QLatin1String("time=")))
        return std::nullopt;
    const QStringList matches = Utils::regexMatches(clockPattern, text);
    if (matches.isEmpty())
        return std::nullopt;
    return Utils::secondsFromClockText(matches.first());
}

std::chrono::milliseconds stallLimit()
{
    return Tools::limitFromEnvironment<std::chrono::seconds>("VELTRANE_STALL_TIMEOUT_S", std::chrono::minutes(5));
}

void MessageTail::append(const QByteArray &bytes)
{
    m_partial += bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_partial.size(); ++i) {
        if (m_partial.at(i) == '\n' || m_partial.at(i) == '\r') {
            keep(m_partial.mid(start, i - start));
            start = i + 1;
        }
    }
    m_partial.remove(0, start);
    // A line that never ends is still a line once it is long enough.
    if (m_partial.size() > tailBytes) {
        keep(m_partial.left(tailBytes));
        m_partial.clear();
    }
}

void MessageTail::keep(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty() || isNoise(trimmed))
        return;
    m_lines.append(trimmed.left(tailBytes));
    qsizetype bytes = 0;
    for (const QByteArray &kept : m_lines)
        bytes += kept.size() + 1;
    while (m_lines.size() > tailLines || bytes > tailBytes) {
        bytes -= m_lines.first().size() + 1;
        m_lines.removeFirst();
    }
}

QString MessageTail::text() const
{
    QList<QByteArray> lines = m_lines;
    if (!m_partial.trimmed().isEmpty())
        lines.append(m_partial.trimmed());
    return QString::fromUtf8(lines.join('\n'));
}

Result run(const QString &program, const QStringList &arguments, const QString &outputPath, Output output,
           const std::atomic<bool> &cancelled, std::atomic<qint64> &processId, const Watch &watch)
{
    QProcess process;
    Tools::configure(process, program, arguments, output == Output::inherit ? Tools::Stream::inherit : Tools::Stream::discard,
                     Tools::Stream::pipe);
    process.start();
    if (!process.waitForStarted())
        return { End::failedToStart, 0, process.errorString() };
    const qint64 pid = process.processId();
    processId.store(pid);

    MessageTail tail;
    const auto limit = stallLimit();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QElapsedTimer sinceOutputCheck;
    sinceOutputCheck.start();
    std::optional<double> lastClock;
    qint64 lastOutputSize = -1;
    QElapsedTimer sinceTerminate;
    std::optional<End> stopReason;
    const auto stop = [&](End why) {
        if (stopReason)
            return;
        stopReason = why;
        Tools::signalGroup(pid, SIGTERM);
        sinceTerminate.start();
    };
    const auto readErrors = [&] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        tail.append(chunk);
        if (watch.chunk)
            watch.chunk(chunk);
        const auto clock = clockSeconds(chunk);
        if (!clock || clock == lastClock)
            return;
        lastClock = clock;
        sinceProgress.start();
        if (watch.stopEarly && watch.stopEarly(*clock))
            stop(End::stoppedEarly);
    };

    // The flag is looked at before every wait, so a cancel that came before
    // the process did stops it at once.
    while (process.state() != QProcess::NotRunning) {
        if (cancelled.load())
            stop(End::cancelled);
        if (sinceOutputCheck.elapsed() >= outputCheckMilliseconds) {
            sinceOutputCheck.start();
            const qint64 size = QFileInfo(outputPath).size();
            if (size != lastOutputSize) {
                lastOutputSize = size;
                sinceProgress.start();
            }
        }
        if (sinceProgress.elapsed() > limit.count())
            stop(End::stalled);
        if (stopReason && sinceTerminate.elapsed() > killAfterMilliseconds) {
            Tools::signalGroup(pid, SIGKILL);
            process.kill();
        }
        process.waitForFinished(pollMilliseconds);
        readErrors();
    }
    // What it started and left in its group would write on after the run is reported.
    Tools::signalGroup(pid, SIGKILL);
    readErrors();
    processId.store(0);

    if (cancelled.load())
        return { End::cancelled, process.exitCode(), tail.text() };
    if (stopReason)
        return { *stopReason, process.exitCode(), tail.text() };
    if (process.exitStatus() == QProcess::CrashExit)
        return { End::crashed, 0, tail.text() };
    return { End::exited, process.exitCode(), tail.text() };
}

}
