#include "util/FileTree.h"

#include "util/Paths.h"
#include "util/PrivateFolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace FileTree {

namespace {

namespace fs = std::filesystem;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

std::optional<dev_t> deviceOf(const char *path)
{
    struct stat info = {};
    if (::lstat(path, &info) != 0)
        return std::nullopt;
    return info.st_dev;
}

// The entries of the tree (not following links) whose device is not top's:
// where other file systems are mounted. Their insides are not entered.
std::vector<fs::path> mountsIn(const fs::path &root, dev_t top, bool firstOnly)
{
    std::vector<fs::path> mounts;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        if (deviceOf(it->path().c_str()) != top) {
            mounts.push_back(it->path());
            if (firstOnly)
                break;
            it.disable_recursion_pending();
        }
    }
    return mounts;
}

}

bool removeTree(const QString &path)
{
    const fs::path root(native(path).toStdString());
    const auto top = deviceOf(root.c_str());
    if (!top)
        return true;
    const std::vector<fs::path> mounted = mountsIn(root, *top, false);
    std::error_code error;
    if (mounted.empty()) {
        fs::remove_all(root, error);
        return !error;
    }
    // Remove what lies beside the mounts, never what is under them.
    const auto removeBeside = [&](const auto &self, const fs::path &folder) -> void {
        std::error_code listing;
        for (fs::directory_iterator it(folder, listing), end; !listing && it != end; it.increment(listing)) {
            const fs::path entry = it->path();
            const bool holdsMount = std::any_of(mounted.begin(), mounted.end(), [&entry](const fs::path &mount) {
                return std::mismatch(entry.begin(), entry.end(), mount.begin(), mount.end()).first == entry.end();
            });
            std::error_code ignored;
            if (!holdsMount)
                fs::remove_all(entry, ignored);
            else if (std::find(mounted.begin(), mounted.end(), entry) == mounted.end())
                self(self, entry);
        }
    };
    removeBeside(removeBeside, root);
    return false;
}

bool removeFileInside(const QString &path, const QString &folder)
{
    if (!Paths::isInside(path, folder) && !PrivateFolder::holds(path))
        return false;
    return QFileInfo(path).isFile() && QFile::remove(path);
}

bool isMountPoint(const QString &folder)
{
    const auto device = deviceOf(native(folder).constData());
    return device && device != deviceOf(native(QFileInfo(folder).absolutePath()).constData());
}

std::optional<QString> mountInside(const QString &folder)
{
    // Mounts a walk could not reach (in a folder it may not read) are in the mount table.
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (table.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : table.readAll().split('\n')) {
            // The fifth field is the mount point, with spaces and the like as octal escapes.
            QByteArray point = line.split(' ').value(4);
            for (qsizetype at = point.indexOf('\\'); at >= 0 && at + 3 < point.size(); at = point.indexOf('\\', at + 1))
                point.replace(at, 4, QByteArray(1, char(point.mid(at + 1, 3).toInt(nullptr, 8))));
            if (const QString mountPoint = QFile::decodeName(point); Paths::isInside(mountPoint, folder))
                return mountPoint;
        }
    }
    const fs::path root(native(folder).toStdString());
    const auto top = deviceOf(root.c_str());
    if (!top)
        return std::nullopt;
    const std::vector<fs::path> mounts = mountsIn(root, *top, true);
    if (mounts.empty())
        return std::nullopt;
    return QFile::decodeName(QByteArray(mounts.front().c_str()));
}

bool renameWith(const QString &from, const QString &to, unsigned flags)
{
    return ::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), flags) == 0;
}

}
