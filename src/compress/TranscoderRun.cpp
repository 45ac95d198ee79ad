#include "compress/TranscoderRun.h"

#include "tools/Tools.h"
#include "util/Utils.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <initializer_list>

namespace TranscoderRun {

namespace {

constexpr int pollMilliseconds = 20;
constexpr int killAfterMilliseconds = 3000;
constexpr int outputCheckMilliseconds = 1000;
constexpr qsizetype tailLines = 20;
constexpr qsizetype tailBytes = 4096;

bool startsWithAny(QByteArrayView text, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes)
        if (text.startsWith(QByteArrayView(prefix)))
            return true;
    return false;
}

// The settings and closing statistics each encoder prints on every run, after
// its "[name @ 0x…] " prefix.
bool isEncoderRoutine(QByteArrayView encoder, QByteArrayView text)
{
    if (encoder == "libx264")
        return startsWithAny(text, { "using SAR=", "using cpu capabilities:", "profile ", "264 - core ", "frame I:",
                                     "frame P:", "frame B:", "consecutive B-frames:", "mb I ", "mb P ", "mb B ",
                                     "direct mvs", "field mbs", "final ratefactor:", "8x8 transform intra:", "coded y,",
                                     "i16 v,h,dc,p:", "i8 v,h,dc", "i4 v,h,dc", "i8c dc,h,v,p:", "Weighted P-Frames:",
                                     "ref P L0:", "ref B L0:", "ref B L1:", "kb/s:", "PSNR", "SSIM" });
    if (encoder == "aac")
        return text.startsWith("Qavg:");
    return false;
}

// Text that comes on every run, not worth a place in a failure's report.
bool isRoutine(QByteArrayView line)
{
    // The build lines under the banner and the description of every input,
    // output and stream mapping come indented.
    if (line.startsWith(' ') || line.startsWith('\t'))
        return true;
    if (startsWithAny(line, { "ffmpeg version ", "Input #", "Output #", "Stream mapping:", "Press [q] to stop",
                              "frame=", "size=" }))
        return true;
    // Encoders that log on their own say how much their lines matter.
    if (startsWithAny(line, { "x265 [info]:", "Svt[info]:" }) || (line.startsWith("encoded ") && line.contains(" frames in ")))
        return true;
    QByteArrayView text = line;
    if (line.startsWith('[')) {
        const qsizetype end = line.indexOf("] ");
        if (end < 0)
            return false;
        const QByteArrayView context = line.sliced(1, end - 1);
        text = line.sliced(end + 2);
        const qsizetype address = context.indexOf(" @ ");
        if (address >= 0 && isEncoderRoutine(context.first(address), text))
            return true;
    }
    return text.startsWith("video:") && text.contains("muxing overhead");
}

}

std::optional<double> progressSeconds(QByteArrayView line)
{
    // A status line is a row of "key=value" fields ("frame=", "size=",
    // "time="): a header line may hold "time=" in a file's name.
    qsizetype key = 0;
    while (key < line.size() && ((line[key] >= 'a' && line[key] <= 'z') || line[key] == '_'))
        ++key;
    if (key == 0 || !line.sliced(key).startsWith('='))
        return std::nullopt;
    // "time=" as a field of its own: at the start or after a blank.
    qsizetype at = -1;
    for (qsizetype from = 0; (at = line.indexOf("time=", from)) > 0; from = at + 1)
        if (line[at - 1] == ' ' || line[at - 1] == '\t')
            break;
    if (at < 0)
        return std::nullopt;
    const QString field = QString::fromLatin1(line.sliced(at + 5)).section(QLatin1Char(' '), 0, 0);
    // A clock as the transcoder writes it; before the first frame it may run negative.
    static const QRegularExpression clock(QStringLiteral("^(-?)([0-9]+:[0-9]{2}:[0-9]{2}\\.[0-9]{2})$"));
    const QRegularExpressionMatch match = clock.match(field);
    if (!match.hasMatch())
        return std::nullopt;
    if (!match.captured(1).isEmpty())
        return 0.0;
    return Utils::secondsFromClockText(match.captured(2));
}

std::chrono::milliseconds stallLimit()
{
    return Tools::limitFromEnvironment<std::chrono::seconds>("VELTRANE_STALL_TIMEOUT_S", std::chrono::minutes(5));
}

void MessageTail::add(QByteArrayView line)
{
    if (isRoutine(line))
        return;
    const QByteArrayView trimmed = line.trimmed();
    const QByteArray kept = trimmed.first(std::min(trimmed.size(), tailBytes)).toByteArray();
    if (kept.isEmpty())
        return;
    m_lines.append(kept);
    m_bytes += kept.size() + 1;
    while (m_lines.size() > tailLines || m_bytes > tailBytes) {
        m_bytes -= m_lines.first().size() + 1;
        m_lines.removeFirst();
    }
}

QString MessageTail::text() const
{
    return QString::fromUtf8(m_lines.join('\n'));
}

Result run(const QString &program, const QStringList &arguments, const QString &outputPath, Output output,
           const std::atomic<bool> &cancelled, std::atomic<qint64> &processId, const Watch &watch)
{
    const Tools::LiveGroup live;
    QProcess process;
    Tools::configure(process, program, arguments, output == Output::inherit ? Tools::Stream::inherit : Tools::Stream::discard,
                     Tools::Stream::pipe, live);
    // SVT-AV1 writes its settings to standard error at every start; only its warnings are worth a report.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SVT_LOG"), QStringLiteral("2"));
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForStarted())
        return { End::failedToStart, 0, process.errorString() };
    const qint64 pid = process.processId();
    processId.store(pid);

    LineSplitter lines;
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
        // A run that has ended was not stopped: what it made is whole.
        if (stopReason || process.state() == QProcess::NotRunning)
            return;
        stopReason = why;
        Tools::signalGroup(pid, SIGTERM);
        sinceTerminate.start();
    };
    std::optional<double> clock;
    const auto line = [&](QByteArrayView text) {
        tail.add(text);
        if (watch.line)
            watch.line(text);
        if (const auto seconds = progressSeconds(text))
            clock = seconds;
    };
    const auto clockMoved = [&] {
        if (!clock || clock == lastClock)
            return;
        lastClock = clock;
        sinceProgress.start();
        if (watch.stopEarly && watch.stopEarly(*clock))
            stop(End::stoppedEarly);
    };
    const auto readErrors = [&] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        lines.feed(chunk, line);
        clockMoved();
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
    lines.finish(line);
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
