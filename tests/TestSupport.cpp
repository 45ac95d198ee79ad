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

QString writeFakeTool(const QString &folder, const QString &name, const QString &body)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n");
    file.write(body.toUtf8());
    file.write("\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

struct DiagnosticCapture::Private
{
    mutable QMutex mutex;
    QStringList lines;
    Diagnostics::Sink previous;
};

DiagnosticCapture::DiagnosticCapture()
    : d(new Private)
{
    d->previous = Diagnostics::setSink([d = d](const QString &line) {
        QMutexLocker lock(&d->mutex);
        d->lines.append(line);
    });
}

DiagnosticCapture::~DiagnosticCapture()
{
    Diagnostics::setSink(d->previous);
    delete d;
}

QStringList DiagnosticCapture::lines() const
{
    QMutexLocker lock(&d->mutex);
    return d->lines;
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
    const auto flag = [&](bool on, const char *name) {
        if (on)
            parts << QString::fromLatin1(name);
    };
    flag(probe.hasErrors, "errors");
    flag(probe.isValidMediaFile, "valid");
    flag(probe.isEncrypted, "encrypted");
    if (probe.numberOfStreams != 0)
        parts << QStringLiteral("streams=%1").arg(probe.numberOfStreams);
    flag(probe.hasVideoTrack, "video");
    flag(probe.hasAudioTrack, "audio");
    flag(probe.hasSubtitleTrack, "subtitle");
    flag(probe.hasAudioTrackWhichHasMoreThanTwoChannels, "many");
    const auto dimension = [](const std::optional<qint64> &v) { return v ? QString::number(*v) : QStringLiteral("?"); };
    if (probe.videoWidth || probe.videoHeight)
        parts << dimension(probe.videoWidth) + QLatin1Char('x') + dimension(probe.videoHeight);
    if (probe.videoRatio)
        parts << QStringLiteral("ratio=") + QString::number(*probe.videoRatio);
    if (withTiming && probe.duration != 0.0)
        parts << QStringLiteral("duration=") + QString::number(probe.duration, 'g', QLocale::FloatingPointShortest);
    if (withTiming && probe.bitRate != 0)
        parts << QStringLiteral("bitRate=%1").arg(probe.bitRate);
    return parts.join(QLatin1Char(' '));
}

namespace {

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
