#include "TestSupport.h"

#include "tools/Tools.h"

#include <cerrno>
#include <csignal>

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
    process.start(realTool(Tools::creator), QStringList { "-v", "error", "-y" } + arguments + QStringList { output });
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeVideo(const QString &output, int width, int height, bool sound)
{
    QStringList arguments { "-f", "lavfi", "-i", QString("testsrc=size=%1x%2:rate=25:duration=1").arg(width).arg(height) };
    if (sound)
        arguments << "-f" << "lavfi" << "-i" << "sine=frequency=440:duration=1,aformat=channel_layouts=stereo";
    return makeClip(output, arguments + QStringList { "-pix_fmt", "yuv420p", "-shortest" });
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, bool script)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && (!script || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

char processState(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid)), state = stat.mid(stat.lastIndexOf(')') + 1).trimmed();
    return state.isEmpty() ? 0 : state.at(0);
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
    , m_previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
{
    value ? qputenv(name, value->toUtf8()) : qunsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    m_previous ? qputenv(m_name.constData(), *m_previous) : qunsetenv(m_name.constData());
}

namespace {

// The folder, with the scripts given for the tools and the real ffprobe for a sniffer not given.
QString withTools(const QString &folder, const std::optional<QString> &creatorBody, const std::optional<QString> &snifferBody)
{
    const auto at = [&folder](const char *name) { return QDir(folder).filePath(QString::fromLatin1(name)); };
    if (snifferBody)
        writeFile(at(Tools::sniffer), "#!/bin/sh\n" + snifferBody->toUtf8() + "\n", true);
    else
        QFile::link(realTool(Tools::sniffer), at(Tools::sniffer));
    if (creatorBody)
        writeFile(at(Tools::creator), "#!/bin/sh\n" + creatorBody->toUtf8() + "\n", true);
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
    return QString::fromUtf8(readFile(m_folder.filePath(QStringLiteral("runs")))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool FakeTools::allGone() const
{
    for (const QString &run : runs()) {
        const qint64 pid = run.section(QLatin1Char(' '), 0, 0).toLongLong();
        // An orphan that ended stays a zombie where nothing reaps orphans (some containers' first process does not).
        if ((::kill(pid_t(pid), 0) == 0 || errno != ESRCH) && processState(pid) != 'Z')
            return false;
    }
    return true;
}

}
