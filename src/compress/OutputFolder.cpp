#include "compress/OutputFolder.h"

#include "util/Diagnostics.h"
#include "util/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;

const QString workSuffix = QStringLiteral(".veltrane-partial");
const QString replacedSuffix = QStringLiteral(".veltrane-replaced");

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString quotedPath(const QString &path) { return QStringLiteral("“%1”").arg(path); }

bool renameWith(const QString &from, const QString &to, unsigned flags)
{
    return ::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), flags) == 0;
}

// A hidden sibling of path named after it, within the 255 bytes a name may have.
QString siblingOf(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    QString name = info.fileName();
    while (!name.isEmpty() && (QLatin1Char('.') + name + suffix).toUtf8().size() > 255)
        name.chop(1);
    return info.absolutePath() + QStringLiteral("/.") + name + suffix;
}

std::optional<dev_t> deviceOf(const QString &path)
{
    struct stat info = {};
    if (::lstat(native(path).constData(), &info) != 0)
        return std::nullopt;
    return info.st_dev;
}

// Removes a tree without leaving its file system, as rm --one-file-system
// does: a folder mounted inside it is neither entered nor removed. True when
// nothing is left.
bool removeTree(const QString &path)
{
    const auto top = deviceOf(path);
    if (!top)
        return true;
    std::error_code error;
    const fs::path root(native(path).toStdString());
    bool whole = true;
    std::vector<fs::path> mounted;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        struct stat info = {};
        if (::lstat(it->path().c_str(), &info) == 0 && info.st_dev != *top) {
            whole = false;
            it.disable_recursion_pending();
            mounted.push_back(it->path());
        }
    }
    if (whole) {
        fs::remove_all(root, error);
        return !error;
    }
    // Remove what lies beside the mounts, never what is under them.
    const auto removeBeside = [&](const auto &self, const fs::path &folder) -> void {
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const fs::path entry = it->path();
            bool holdsMount = false;
            for (const fs::path &mount : mounted) {
                const auto [a, b] = std::mismatch(entry.begin(), entry.end(), mount.begin(), mount.end());
                holdsMount |= a == entry.end();
            }
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

// The user's state folder, where the journal of running batches lives.
QString journalFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/veltrane/runs");
}

bool lockNow(int fd) { return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

QJsonObject readEntry(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    ::lseek(fd, 0, SEEK_SET);
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    return QJsonDocument::fromJson(bytes).object();
}

bool writeEntry(int fd, const QJsonObject &entry)
{
    const QByteArray bytes = QJsonDocument(entry).toJson(QJsonDocument::Compact);
    return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size()
        && ::fdatasync(fd) == 0;
}

}

QString OutputFolder::Refusal::text(const QString &path) const
{
    switch (kind) {
    case holdsInput: return QStringLiteral("%1 holds %2; it cannot be the output folder").arg(quotedPath(path), quotedPath(detail));
    case exists: return QStringLiteral("%1 already exists").arg(quotedPath(path));
    case notAFolder: return QStringLiteral("%1 is a file, not a folder; only a folder is ever replaced").arg(quotedPath(path));
    case unsafe: return QStringLiteral("%1 cannot be replaced: %2").arg(quotedPath(path), detail);
    case busy: return QStringLiteral("another Veltrane run is writing %1").arg(quotedPath(path));
    case cannotCreate: return QStringLiteral("could not create %1: %2").arg(quotedPath(path), detail);
    }
    return {};
}

namespace {

// The input listed at path or below it, or whose link leads there.
std::optional<QString> inputByPath(const QString &path, const QStringList &inputs)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString canonicalFolder = QFileInfo(path).canonicalFilePath();
    for (const QString &input : inputs) {
        // Both the path as listed and where it really leads: a listed link
        // into the folder would lose its target just the same.
        const QString asListed = QDir::cleanPath(QFileInfo(input).absoluteFilePath());
        const QString resolved = QFileInfo(input).canonicalFilePath();
        if (Paths::isSameOrInside(asListed, folder) || Paths::isSameOrInside(resolved, folder)
            || Paths::isSameOrInside(asListed, canonicalFolder) || Paths::isSameOrInside(resolved, canonicalFolder))
            return input;
    }
    return std::nullopt;
}

// The input whose file lies in the folder's tree reached another way: a bind
// mount, a hard link. Reads the whole tree.
std::optional<QString> inputByIdentity(const QString &path, const QStringList &inputs)
{
    std::map<std::pair<dev_t, ino_t>, QString> byIdentity; // the first input of each file
    for (const QString &input : inputs) {
        struct stat info = {};
        if (::stat(native(input).constData(), &info) == 0)
            byIdentity.try_emplace({ info.st_dev, info.st_ino }, input);
    }
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    struct stat top = {};
    if (byIdentity.empty() || ::stat(native(folder).constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return std::nullopt;
    std::error_code error;
    for (fs::recursive_directory_iterator it(fs::path(native(folder).toStdString()),
                                             fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        struct stat info = {};
        if (::lstat(it->path().c_str(), &info) != 0)
            continue;
        if (const auto found = byIdentity.find({ info.st_dev, info.st_ino }); found != byIdentity.end())
            return found->second;
    }
    return std::nullopt;
}

}

std::optional<QString> OutputFolder::listedInputInside(const QString &path, const QStringList &inputs)
{
    if (auto input = inputByPath(path, inputs))
        return input;
    return inputByIdentity(path, inputs);
}

std::optional<OutputFolder::Refusal> OutputFolder::replaceRefusal(const QString &path, const QStringList &inputs)
{
    if (const auto input = inputByPath(path, inputs))
        return Refusal { Refusal::holdsInput, *input };
    // Judged where the path really leads: a link to the home folder is no
    // safer to name than the home folder.
    const QString folder = QFileInfo(path).canonicalFilePath();
    if (folder.isEmpty())
        return std::nullopt;
    const auto unsafe = [](const QString &why) { return Refusal { Refusal::unsafe, why }; };
    if (folder == QLatin1String("/"))
        return unsafe(QStringLiteral("it is the root of the file system"));
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    if (folder == home)
        return unsafe(QStringLiteral("it is your home folder"));
    if (Paths::isInside(home, folder))
        return unsafe(QStringLiteral("it holds your home folder"));
    const QString current = QDir::current().canonicalPath();
    if (folder == current)
        return unsafe(QStringLiteral("it is the current folder"));
    if (Paths::isInside(current, folder))
        return unsafe(QStringLiteral("it holds the current folder"));
    const auto device = deviceOf(folder);
    if (device && device != deviceOf(QFileInfo(folder).absolutePath()))
        return unsafe(QStringLiteral("a file system is mounted on it"));
    // Only now the whole tree is read: the checks above keep a walk of the
    // root or the home folder from ever starting.
    if (const auto input = inputByIdentity(folder, inputs))
        return Refusal { Refusal::holdsInput, *input };
    // Mounts the walk could not reach (in a folder it may not read) are in the mount table.
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (mounts.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : mounts.readAll().split('\n')) {
            // The fifth field is the mount point, with spaces and the like as octal escapes.
            QByteArray point = line.split(' ').value(4);
            for (qsizetype at = point.indexOf('\\'); at >= 0 && at + 3 < point.size(); at = point.indexOf('\\', at + 1))
                point.replace(at, 4, QByteArray(1, char(point.mid(at + 1, 3).toInt(nullptr, 8))));
            if (const QString mountPoint = QFile::decodeName(point); Paths::isInside(mountPoint, folder))
                return unsafe(QStringLiteral("another file system is mounted inside it, at %1").arg(quotedPath(mountPoint)));
        }
    }
    std::error_code error;
    for (fs::recursive_directory_iterator it(fs::path(native(folder).toStdString()),
                                             fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        if (deviceOf(QFile::decodeName(QByteArray(it->path().c_str()))) != device)
            return unsafe(QStringLiteral("another file system is mounted inside it, at %1")
                              .arg(quotedPath(QFile::decodeName(QByteArray(it->path().c_str())))));
    }
    return std::nullopt;
}

std::variant<OutputFolder, OutputFolder::Refusal> OutputFolder::create(const QString &given, bool replace,
                                                                       const QStringList &inputs)
{
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    struct stat there = {};
    const bool exists = ::lstat(native(path).constData(), &there) == 0;
    if (exists && replace) {
        struct stat followed = {};
        if (::stat(native(path).constData(), &followed) != 0 || !S_ISDIR(followed.st_mode))
            return Refusal { Refusal::notAFolder, path };
        if (auto refusal = replaceRefusal(path, inputs))
            return *refusal;
    } else if (const auto input = listedInputInside(path, inputs)) {
        return Refusal { Refusal::holdsInput, *input };
    } else if (exists) {
        return Refusal { Refusal::exists, {} };
    }

    // One call that fails when the folder exists: of two runs aimed at one
    // folder, one makes it and the other finds it locked.
    const QString work = siblingOf(path, workSuffix);
    if (::mkdir(native(work).constData(), 0777) != 0) {
        const int error = errno;
        if (error != EEXIST)
            return Refusal { Refusal::cannotCreate, systemReason(error) };
        const int other = ::open(native(work).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool held = other >= 0 && !lockNow(other);
        if (other >= 0)
            ::close(other);
        if (held)
            return Refusal { Refusal::busy, {} };
        return Refusal { Refusal::cannotCreate,
                         QStringLiteral("%1 is in the way; an earlier run may have left it: delete it if no Veltrane is running")
                             .arg(quotedPath(work)) };
    }
    const int lock = ::open(native(work).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!lockNow(lock)) {
        if (lock >= 0)
            ::close(lock);
        return Refusal { Refusal::busy, {} };
    }

    // The journal entry, locked before it gets its name, so that no start of
    // another Veltrane takes it for the leftover of a killed run.
    QString journal;
    const QString journalDir = journalFolder();
    if (QDir().mkpath(journalDir)) {
        QByteArray name = native(journalDir + QStringLiteral("/new-XXXXXX"));
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            const QString named = journalDir + QStringLiteral("/run-") + QFile::decodeName(name).section(QLatin1Char('-'), -1);
            if (lockNow(fd) && writeEntry(fd, { { QStringLiteral("path"), path }, { QStringLiteral("work"), work } })
                && ::rename(name.constData(), native(named).constData()) == 0) {
                journal = named;
                OutputFolder folder(path, work, exists, lock, journal);
                folder.m_journalLock = fd;
                return folder;
            }
            ::unlink(name.constData());
            ::close(fd);
        }
    }
    // Without a journal only a killed run's clean-up is lost; the batch runs.
    Diagnostics::line(QStringLiteral("No journal of the run could be written in ") + journalDir);
    return OutputFolder(path, work, exists, lock, journal);
}

OutputFolder::OutputFolder(QString path, QString work, bool replaces, int lock, QString journal)
    : m_path(std::move(path))
    , m_work(std::move(work))
    , m_replaces(replaces)
    , m_lock(lock)
    , m_journal(std::move(journal))
{
}

OutputFolder::OutputFolder(OutputFolder &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_work(std::move(other.m_work))
    , m_replaces(other.m_replaces)
    , m_lock(std::exchange(other.m_lock, -1))
    , m_journal(std::move(other.m_journal))
    , m_journalLock(std::exchange(other.m_journalLock, -1))
    , m_done(std::exchange(other.m_done, true))
{
}

OutputFolder &OutputFolder::operator=(OutputFolder &&other) noexcept
{
    if (this != &other) {
        if (!m_done)
            abandon();
        m_path = std::move(other.m_path);
        m_work = std::move(other.m_work);
        m_replaces = other.m_replaces;
        m_lock = std::exchange(other.m_lock, -1);
        m_journal = std::move(other.m_journal);
        m_journalLock = std::exchange(other.m_journalLock, -1);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

OutputFolder::~OutputFolder()
{
    if (!m_done)
        abandon();
}

std::optional<QString> OutputFolder::finish(bool wroteOutput)
{
    if (m_done)
        return std::nullopt;
    if (m_replaces && !wroteOutput) {
        abandon();
        return std::nullopt;
    }
    m_done = true;
    std::optional<QString> problem;
    const auto keepWork = [&](int error) {
        problem = QStringLiteral("the compressed files could not be put in place (%1); they are in %2")
                      .arg(systemReason(error), quotedPath(m_work));
    };
    bool placed = false;
    if (m_replaces) {
        // From here the work folder's name may hold the old folder: the
        // journal says so first, so that no clean-up ever deletes it.
        if (m_journalLock >= 0)
            writeEntry(m_journalLock, { { QStringLiteral("path"), m_path }, { QStringLiteral("work"), m_work },
                                        { QStringLiteral("replaced"), m_work } });
        if (renameWith(m_work, m_path, RENAME_EXCHANGE)) {
            if (!removeTree(m_work))
                problem = QStringLiteral("what the replaced folder held on another file system is left at %1").arg(quotedPath(m_work));
            placed = true;
        } else if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            // A file system without the exchange: the old folder steps aside
            // for the moment the new one takes its name.
            const QString aside = siblingOf(m_path, replacedSuffix);
            if (m_journalLock >= 0)
                writeEntry(m_journalLock, { { QStringLiteral("path"), m_path }, { QStringLiteral("work"), m_work },
                                            { QStringLiteral("replaced"), aside } });
            if (!renameWith(m_path, aside, RENAME_NOREPLACE)) {
                keepWork(errno);
            } else if (!renameWith(m_work, m_path, RENAME_NOREPLACE)) {
                keepWork(errno);
                renameWith(aside, m_path, RENAME_NOREPLACE);
            } else {
                removeTree(aside);
                placed = true;
            }
        } else if (errno != ENOENT) {
            keepWork(errno);
        }
        // ENOENT: the old folder went meanwhile; the new one takes its place below.
    }
    if (!placed && !problem && !renameWith(m_work, m_path, RENAME_NOREPLACE))
        keepWork(errno);
    release();
    return problem;
}

void OutputFolder::abandon()
{
    if (m_done)
        return;
    m_done = true;
    removeTree(m_work);
    release();
}

void OutputFolder::release()
{
    if (!m_journal.isEmpty())
        ::unlink(native(m_journal).constData());
    for (int *fd : { &m_journalLock, &m_lock }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QStringList OutputFolder::recoverLeftovers()
{
    QStringList told;
    const QString folder = journalFolder();
    for (const QString &name : QDir(folder).entryList({ QStringLiteral("run-*") }, QDir::Files | QDir::Hidden)) {
        const QString entryPath = folder + QLatin1Char('/') + name;
        const int fd = ::open(native(entryPath).constData(), O_RDWR | O_CLOEXEC);
        if (!lockNow(fd)) { // its run is still going
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        const QJsonObject entry = readEntry(fd);
        const QString path = entry.value(QStringLiteral("path")).toString();
        const QString work = entry.value(QStringLiteral("work")).toString();
        const QString replaced = entry.value(QStringLiteral("replaced")).toString();
        // Only ever the names this program gives: a damaged entry deletes nothing.
        const bool ours = QDir::isAbsolutePath(path) && work == siblingOf(path, workSuffix);
        if (ours && replaced != work && QFileInfo(work).isDir() && !QFileInfo(work).isSymLink()) {
            removeTree(work);
            told << QStringLiteral("A batch writing %1 was stopped before it finished; its unfinished files were removed.")
                        .arg(quotedPath(path));
        }
        if (ours && (replaced == work || replaced == siblingOf(path, replacedSuffix)) && QFileInfo::exists(replaced)) {
            if (!QFileInfo::exists(path) && renameWith(replaced, path, RENAME_NOREPLACE))
                told << QStringLiteral("%1 was put back as it was before a stopped batch replaced it.").arg(quotedPath(path));
            else
                told << QStringLiteral("A stopped batch left the folder it replaced at %1; it was not deleted.").arg(quotedPath(replaced));
        }
        ::unlink(native(entryPath).constData());
        ::close(fd);
    }
    return told;
}
