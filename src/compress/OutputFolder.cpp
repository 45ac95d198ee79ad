#include "compress/OutputFolder.h"

#include "util/Diagnostics.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace {

namespace fs = std::filesystem;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Renames without ever replacing what is at to.
bool renameNoReplace(const QString &from, const QString &to)
{
    return ::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) == 0;
}

bool isSameOrInside(const QString &candidate, const QString &folder)
{
    if (candidate.isEmpty() || folder.isEmpty())
        return false;
    if (candidate == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return candidate.startsWith(prefix);
}

void removeAll(const QString &path)
{
    std::error_code ignored;
    fs::remove_all(fs::path(native(path).toStdString()), ignored);
}

}

std::optional<QString> OutputFolder::listedInputInside(const QString &path, const QStringList &inputs)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString canonicalFolder = QFileInfo(path).canonicalFilePath();
    std::map<std::pair<dev_t, ino_t>, QString> byIdentity; // the first input of each file
    for (const QString &input : inputs) {
        // Both the path as listed and where it really leads: a listed link
        // into the folder would lose its target just the same.
        const QString asListed = QDir::cleanPath(QFileInfo(input).absoluteFilePath());
        const QString resolved = QFileInfo(input).canonicalFilePath();
        if (isSameOrInside(asListed, folder) || isSameOrInside(resolved, folder)
            || isSameOrInside(asListed, canonicalFolder) || isSameOrInside(resolved, canonicalFolder))
            return input;
        struct stat info = {};
        if (::stat(native(input).constData(), &info) == 0)
            byIdentity.try_emplace({ info.st_dev, info.st_ino }, input);
    }
    // The same files may be reached another way: a bind mount, a hard link.
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

std::variant<OutputFolder, OutputFolder::Refusal> OutputFolder::create(const QString &path, bool replace,
                                                                       const QStringList &inputs)
{
    if (const auto input = listedInputInside(path, inputs))
        return Refusal { Refusal::holdsInput, *input };

    QString aside;
    struct stat there = {};
    if (::lstat(native(path).constData(), &there) == 0) {
        if (!replace)
            return Refusal { Refusal::exists, {} };
        struct stat followed = {};
        if (::stat(native(path).constData(), &followed) != 0 || !S_ISDIR(followed.st_mode))
            return Refusal { Refusal::notAFolder, path };
        // A hidden sibling: the same file system, so the move is one rename.
        const QFileInfo info(path);
        for (;;) {
            aside = info.absolutePath() + QStringLiteral("/.%1.replaced-%2")
                                              .arg(info.fileName())
                                              .arg(QRandomGenerator::global()->generate() % 1000000, 6, 10, QLatin1Char('0'));
            if (renameNoReplace(path, aside))
                break;
            if (errno != EEXIST)
                return Refusal { Refusal::cannotCreate, systemReason(errno) };
        }
    }
    // One call that fails when the folder exists: two batches started
    // together cannot both have it.
    if (::mkdir(native(path).constData(), 0777) != 0) {
        const int error = errno;
        if (!aside.isEmpty() && !renameNoReplace(aside, path))
            Diagnostics::line(QStringLiteral("The replaced folder stays at: ") + aside);
        return error == EEXIST ? Refusal { Refusal::exists, {} } : Refusal { Refusal::cannotCreate, systemReason(error) };
    }
    return OutputFolder(path, aside);
}

OutputFolder::OutputFolder(OutputFolder &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_aside(std::move(other.m_aside))
    , m_done(std::exchange(other.m_done, true))
{
}

OutputFolder &OutputFolder::operator=(OutputFolder &&other) noexcept
{
    if (this != &other) {
        if (!m_done)
            abandon();
        m_path = std::move(other.m_path);
        m_aside = std::move(other.m_aside);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

OutputFolder::~OutputFolder()
{
    if (!m_done)
        abandon();
}

void OutputFolder::finish(bool wroteOutput)
{
    if (m_done)
        return;
    m_done = true;
    if (wroteOutput)
        removeAll(m_aside);
    else if (!m_aside.isEmpty())
        restore();
}

void OutputFolder::abandon()
{
    if (m_done)
        return;
    m_done = true;
    removeAll(m_path);
    restore();
}

void OutputFolder::restore()
{
    if (m_aside.isEmpty())
        return;
    removeAll(m_path);
    if (!renameNoReplace(m_aside, m_path))
        Diagnostics::line(QStringLiteral("The replaced folder could not be put back; it is at: ") + m_aside);
    m_aside.clear();
}
