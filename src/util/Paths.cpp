#include "util/Paths.h"

#include <QDir>

namespace Paths {

namespace {

qsizetype extensionDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && dot + 1 < name.size() ? dot : -1;
}

}

QString lastComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString lastExtension(const QString &path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString baseName(const QString &path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

bool isInside(const QString &path, const QString &folder)
{
    if (!QDir::isAbsolutePath(path) || !QDir::isAbsolutePath(folder))
        return false;
    const QString cleanFolder = QDir::cleanPath(folder);
    const QString prefix = cleanFolder.endsWith(QLatin1Char('/')) ? cleanFolder : cleanFolder + QLatin1Char('/');
    const QString cleanPath = QDir::cleanPath(path);
    return cleanPath != cleanFolder && cleanPath.startsWith(prefix);
}

bool isSameOrInside(const QString &path, const QString &folder)
{
    return QDir::isAbsolutePath(path) && QDir::isAbsolutePath(folder)
        && (QDir::cleanPath(path) == QDir::cleanPath(folder) || isInside(path, folder));
}

}
