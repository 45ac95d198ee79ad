#include "util/PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFolder {

namespace {

const QString prefix = QStringLiteral("veltrane-");

bool processGone(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

}

int removeLeftovers(const QString &root)
{
    static const QRegularExpression name(QStringLiteral("^veltrane-([0-9]+)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    for (const QString &entry : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const auto match = name.match(entry);
        const qint64 pid = match.hasMatch() ? match.captured(1).toLongLong() : 0;
        if (pid == QCoreApplication::applicationPid() || !processGone(pid))
            continue;
        const QString path = root + QLatin1Char('/') + entry;
        struct stat info = {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
            continue;
        if (QDir(path).removeRecursively())
            ++removed;
    }
    return removed;
}

QString path()
{
    static const QTemporaryDir folder = [] {
        const QString root = QDir::tempPath();
        removeLeftovers(root);
        return QTemporaryDir(QStringLiteral("%1/%2%3-XXXXXX").arg(root, prefix).arg(QCoreApplication::applicationPid()));
    }();
    return folder.isValid() ? folder.path() : QString();
}

QString filePath(const QString &name)
{
    const QString folder = path();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

}
