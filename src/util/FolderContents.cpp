#include "util/FolderContents.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace FolderContents {

namespace {

bool isSameOrInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

struct Walk
{
    QString root; // canonical
    QCollator collator;
    QSet<QString> visited;
    QStringList files;

    void collect(const QString &folder)
    {
        // Without QDir::Hidden and QDir::System: no dot files, no pipes,
        // sockets, devices or dangling links.
        QFileInfoList entries = QDir(folder).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
        std::sort(entries.begin(), entries.end(), [this](const QFileInfo &a, const QFileInfo &b) {
            const int order = collator.compare(a.fileName(), b.fileName());
            return order != 0 ? order < 0 : a.fileName() < b.fileName();
        });
        for (const QFileInfo &entry : entries) {
            if (!entry.isDir()) {
                files.append(entry.absoluteFilePath());
                continue;
            }
            const QString real = entry.canonicalFilePath();
            if (real.isEmpty() || visited.contains(real))
                continue;
            // A link into the folder itself lists files twice; one to the
            // folder or a parent of it never ends.
            if (entry.isSymLink() && (isSameOrInside(real, root) || isSameOrInside(root, real)))
                continue;
            visited.insert(real);
            collect(entry.absoluteFilePath());
        }
    }
};

}

QStringList regularFiles(const QString &folder)
{
    Walk walk { QFileInfo(folder).canonicalFilePath(), QCollator(QLocale()), {}, {} };
    if (walk.root.isEmpty())
        return {};
    walk.collator.setNumericMode(true);
    walk.collator.setCaseSensitivity(Qt::CaseInsensitive);
    walk.visited.insert(walk.root);
    walk.collect(QFileInfo(folder).absoluteFilePath());
    return walk.files;
}

QStringList withFolderContents(const QStringList &paths)
{
    QStringList expanded;
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir())
            expanded.append(regularFiles(path));
        else
            expanded.append(path);
    }
    return expanded;
}

}
