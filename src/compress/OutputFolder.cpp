#include "compress/OutputFolder.h"

#include "util/FileTree.h"
#include "util/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

// A hidden sibling of path named after it, within the 255 bytes a name may have.
QString siblingOf(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    QString name = info.fileName();
    while (!name.isEmpty() && (QLatin1Char('.') + name + suffix).toUtf8().size() > 255)
        name.chop(1);
    return info.absolutePath() + QStringLiteral("/.") + name + suffix;
}

bool lockNow(int fd) { return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

}

QString OutputFolder::Refusal::text(const QString &path) const
{
    switch (kind) {
    case holdsInput:
        return QCoreApplication::translate("OutputFolder", "%1 holds %2; it cannot be the output folder")
            .arg(quotedPath(path), quotedPath(detail));
    case exists: return QCoreApplication::translate("OutputFolder", "%1 already exists").arg(quotedPath(path));
    case notAFolder:
        return QCoreApplication::translate("OutputFolder", "%1 is a file, not a folder; only a folder is ever replaced")
            .arg(quotedPath(path));
    case unsafe: return QCoreApplication::translate("OutputFolder", "%1 cannot be replaced: %2").arg(quotedPath(path), detail);
    case busy: return QCoreApplication::translate("OutputFolder", "another Veltrane run is writing %1").arg(quotedPath(path));
    case cannotCreate: return QCoreApplication::translate("OutputFolder", "could not create %1: %2").arg(quotedPath(path), detail);
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
        return unsafe(QCoreApplication::translate("OutputFolder", "it is the root of the file system"));
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    if (folder == home)
        return unsafe(QCoreApplication::translate("OutputFolder", "it is your home folder"));
    if (Paths::isInside(home, folder))
        return unsafe(QCoreApplication::translate("OutputFolder", "it holds your home folder"));
    const QString current = QDir::current().canonicalPath();
    if (folder == current)
        return unsafe(QCoreApplication::translate("OutputFolder", "it is the current folder"));
    if (Paths::isInside(current, folder))
        return unsafe(QCoreApplication::translate("OutputFolder", "it holds the current folder"));
    if (FileTree::isMountPoint(folder))
        return unsafe(QCoreApplication::translate("OutputFolder", "a file system is mounted on it"));
    // Only now the whole tree is read: the checks above keep a walk of the
    // root or the home folder from ever starting.
    if (const auto input = inputByIdentity(folder, inputs))
        return Refusal { Refusal::holdsInput, *input };
    if (const auto mount = FileTree::mountInside(folder))
        return unsafe(
            QCoreApplication::translate("OutputFolder", "another file system is mounted inside it, at %1").arg(quotedPath(*mount)));
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
                         QCoreApplication::translate("OutputFolder", "%1 is in the way; an earlier run may have left it: delete it if no Veltrane is running")
                             .arg(quotedPath(work)) };
    }
    const int lock = ::open(native(work).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!lockNow(lock)) {
        if (lock >= 0)
            ::close(lock);
        return Refusal { Refusal::busy, {} };
    }

    OutputFolder folder(path, work, exists, lock);
    folder.m_journal = RunJournal::open({ path, work, {} });
    return folder;
}

OutputFolder::OutputFolder(QString path, QString work, bool replaces, int lock)
    : m_path(std::move(path))
    , m_work(std::move(work))
    , m_replaces(replaces)
    , m_lock(lock)
{
}

OutputFolder::OutputFolder(OutputFolder &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_work(std::move(other.m_work))
    , m_replaces(other.m_replaces)
    , m_lock(std::exchange(other.m_lock, -1))
    , m_journal(std::move(other.m_journal))
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
    std::optional<QString> problem = m_replaces && QFileInfo::exists(m_path) ? replaceOld() : std::nullopt;
    // A new folder, or the old one went meanwhile: the work folder takes the free name.
    if (!problem && QFileInfo::exists(m_work) && !FileTree::renameWith(m_work, m_path, RENAME_NOREPLACE))
        problem = QCoreApplication::translate("OutputFolder", "the compressed files could not be put in place (%1); they are in %2")
                      .arg(systemReason(errno), quotedPath(m_work));
    // Where the files could not be put in place they stay, and no clean-up may take them.
    release();
    return problem;
}

std::optional<QString> OutputFolder::replaceOld()
{
    // From here the work folder's name may hold the old folder: the journal
    // says so first, so that no clean-up ever deletes it.
    m_journal.update({ m_path, m_work, m_work });
    if (FileTree::renameWith(m_work, m_path, RENAME_EXCHANGE)) {
        if (!FileTree::removeTree(m_work))
            return QCoreApplication::translate("OutputFolder", "what the replaced folder held on another file system is left at %1")
                .arg(quotedPath(m_work));
        return std::nullopt;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return QCoreApplication::translate("OutputFolder", "the compressed files could not be put in place (%1); they are in %2")
            .arg(systemReason(errno), quotedPath(m_work));
    // A file system without the exchange: the old folder steps aside for the
    // moment the new one takes its name.
    const QString aside = siblingOf(m_path, replacedSuffix);
    m_journal.update({ m_path, m_work, aside });
    if (!FileTree::renameWith(m_path, aside, RENAME_NOREPLACE) || !FileTree::renameWith(m_work, m_path, RENAME_NOREPLACE)) {
        const int error = errno;
        FileTree::renameWith(aside, m_path, RENAME_NOREPLACE);
        return QCoreApplication::translate("OutputFolder", "the compressed files could not be put in place (%1); they are in %2")
            .arg(systemReason(error), quotedPath(m_work));
    }
    FileTree::removeTree(aside);
    return std::nullopt;
}

void OutputFolder::abandon()
{
    if (m_done)
        return;
    m_done = true;
    FileTree::removeTree(m_work);
    release();
}

void OutputFolder::release()
{
    m_journal = RunJournal();
    if (m_lock >= 0)
        ::close(std::exchange(m_lock, -1));
}

QStringList OutputFolder::recoverLeftovers()
{
    QStringList told;
    RunJournal::recoverAbandoned([&told](const RunJournal::Entry &entry) {
        // Only ever the names this program gives: a damaged entry deletes nothing.
        if (!QDir::isAbsolutePath(entry.path) || entry.work != siblingOf(entry.path, workSuffix))
            return;
        if (entry.replaced != entry.work && QFileInfo(entry.work).isDir() && !QFileInfo(entry.work).isSymLink()) {
            FileTree::removeTree(entry.work);
            told << QCoreApplication::translate("OutputFolder", "A batch writing %1 was stopped before it finished; its unfinished files were removed.")
                        .arg(quotedPath(entry.path));
        }
        const bool replacedIsOurs = entry.replaced == entry.work || entry.replaced == siblingOf(entry.path, replacedSuffix);
        if (!replacedIsOurs || !QFileInfo::exists(entry.replaced))
            return;
        if (!QFileInfo::exists(entry.path) && FileTree::renameWith(entry.replaced, entry.path, RENAME_NOREPLACE))
            told << QCoreApplication::translate("OutputFolder", "%1 was put back as it was before a stopped batch replaced it.")
                        .arg(quotedPath(entry.path));
        else
            told << QCoreApplication::translate("OutputFolder", "A stopped batch left the folder it replaced at %1; it was not deleted.")
                        .arg(quotedPath(entry.replaced));
    });
    return told;
}
