#include "util/PrivateFolder.h"

#include "util/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFolder {

namespace {

const QString prefix = QStringLiteral("veltrane-");
const QString fallbackRoot = QStringLiteral("/tmp");

bool processGone(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

// The folders a working folder may be made in: TMPDIR when it is an absolute
// path, then /tmp. A relative or empty TMPDIR would put working files (and
// their clean-up) in whatever folder the process started in.
QStringList roots()
{
    QStringList roots;
    const QString fromEnvironment = QDir::cleanPath(qEnvironmentVariable("TMPDIR"));
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment) && fromEnvironment != QLatin1String("/"))
        roots << fromEnvironment;
    if (!roots.contains(fallbackRoot))
        roots << fallbackRoot;
    return roots;
}

struct Folder
{
    QString path;
    QString problem;

    Folder()
    {
        const QStringList candidates = roots();
        int error = 0;
        for (const QString &root : candidates) {
            removeLeftovers(root);
            QByteArray name = QFile::encodeName(
                QStringLiteral("%1/%2%3-XXXXXX").arg(root, prefix).arg(QCoreApplication::applicationPid()));
            if (::mkdtemp(name.data())) { // mode 0700
                path = QFile::decodeName(name);
                return;
            }
            error = errno;
        }
        // Named where it was last tried: the fallback, after TMPDIR failed.
        problem = QCoreApplication::translate("PrivateFolder", "Veltrane can't make its working folder in %1: %2")
                      .arg(candidates.last(), QString::fromLocal8Bit(std::strerror(error)));
    }

    ~Folder()
    {
        if (!path.isEmpty()) {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path).toStdString()), ignored);
        }
    }
};

const Folder &folder()
{
    static const Folder made;
    return made;
}

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

QString path() { return folder().path; }

std::optional<QString> problem()
{
    if (folder().path.isEmpty())
        return folder().problem;
    return std::nullopt;
}

QString filePath(const QString &name)
{
    const QString here = path();
    return here.isEmpty() || name.isEmpty() ? QString() : here + QLatin1Char('/') + name;
}

bool holds(const QString &candidate) { return Paths::isInside(candidate, path()); }

}
