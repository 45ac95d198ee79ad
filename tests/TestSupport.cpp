#include "TestSupport.h"

#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QProcess>

namespace TestSupport {

QString realTool(const char *name)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/resources/") + QString::fromLatin1(name);
}

bool makeClip(const QString &output, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(realTool(Tools::creator),
                  QStringList { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y") } + arguments
                      + QStringList { output });
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeVideo(const QString &output, int width, int height, double seconds, int channels)
{
    QStringList arguments { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=size=%1x%2:rate=25:duration=%3").arg(width).arg(height).arg(seconds) };
    if (channels > 0) {
        const QString layout = channels == 6 ? QStringLiteral("5.1") : channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo");
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("sine=frequency=440:duration=%1,aformat=channel_layouts=%2").arg(seconds).arg(layout);
    }
    arguments << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p") << QStringLiteral("-shortest");
    return makeClip(output, arguments);
}

struct DiagnosticCapture::Lines
{
    QMutex mutex;
    QStringList lines;
};

DiagnosticCapture::DiagnosticCapture()
    : m_lines(std::make_shared<Lines>())
    , m_sink([lines = m_lines](const QString &line) {
        QMutexLocker lock(&lines->mutex);
        lines->lines.append(line);
    })
{
}

QStringList DiagnosticCapture::lines() const
{
    QMutexLocker lock(&m_lines->mutex);
    return m_lines->lines;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const std::optional<QString> &value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_previous = qgetenv(name);
    if (value)
        qputenv(name, value->toUtf8());
    else
        qunsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        qputenv(m_name.constData(), *m_previous);
    else
        qunsetenv(m_name.constData());
}

QString probeSummary(const FileProbe &probe, bool withTiming)
{
    QStringList parts;
    const auto part = [&](bool shown, const QString &text) {
        if (shown)
            parts << text;
    };
    part(probe.hasErrors, QStringLiteral("errors"));
    part(probe.isValidMediaFile, QStringLiteral("valid"));
    part(probe.isEncrypted, QStringLiteral("encrypted"));
    part(probe.numberOfStreams != 0, QStringLiteral("streams=%1").arg(probe.numberOfStreams));
    part(probe.hasVideoTrack, QStringLiteral("video"));
    part(probe.hasAudioTrack, QStringLiteral("audio"));
    part(probe.hasSubtitleTrack, QStringLiteral("subtitle"));
    part(probe.hasAudioTrackWhichHasMoreThanTwoChannels, QStringLiteral("many"));
    part(probe.videoWidth || probe.videoHeight, QStringLiteral("%1x%2").arg(probe.videoWidth.value_or(0)).arg(probe.videoHeight.value_or(0)));
    part(probe.videoRatio.has_value(), QStringLiteral("ratio=") + QString::number(probe.videoRatio.value_or(0)));
    part(withTiming && probe.duration != 0.0, QStringLiteral("duration=") + QString::number(probe.duration, 'g', QLocale::FloatingPointShortest));
    part(withTiming && probe.bitRate != 0, QStringLiteral("bitRate=%1").arg(probe.bitRate));
    return parts.join(QLatin1Char(' '));
}

namespace {

// An executable /bin/sh script called name in folder.
void writeFakeTool(const QString &folder, const QString &name, const QString &body)
{
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body.toUtf8() + "\n") > 0)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString withTools(const QString &folder, const std::optional<QString> &creatorBody,
                  const std::optional<QString> &snifferBody)
{
    if (snifferBody)
        writeFakeTool(folder, QString::fromLatin1(Tools::sniffer), *snifferBody);
    else
        QFile::link(realTool(Tools::sniffer), QDir(folder).filePath(QString::fromLatin1(Tools::sniffer)));
    if (creatorBody)
        writeFakeTool(folder, QString::fromLatin1(Tools::creator), *creatorBody);
    return folder;
}

}

FakeTools::FakeTools(const std::optional<QString> &creatorBody, const std::optional<QString> &snifferBody)
    : m_resources("VELTRANE_RESOURCES", withTools(m_folder.path(), creatorBody, snifferBody))
    , m_runs("RUNS", m_folder.filePath(QStringLiteral("runs")))
{
}

QStringList FakeTools::runs() const
{
    QFile file(m_folder.filePath(QStringLiteral("runs")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}
