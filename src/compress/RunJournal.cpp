#include "compress/RunJournal.h"

#include "util/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

QByteArray native(const QString &path) { return QFile::encodeName(path); }

bool lockNow(int fd) { return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

bool write(int fd, const RunJournal::Entry &entry)
{
    const QByteArray bytes = QJsonDocument(QJsonObject { { QStringLiteral("path"), entry.path },
                                                         { QStringLiteral("work"), entry.work },
                                                         { QStringLiteral("replaced"), entry.replaced } })
                                 .toJson(QJsonDocument::Compact);
    return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size()
        && ::fdatasync(fd) == 0;
}

RunJournal::Entry read(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    ::lseek(fd, 0, SEEK_SET);
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    return { object.value(QStringLiteral("path")).toString(), object.value(QStringLiteral("work")).toString(),
             object.value(QStringLiteral("replaced")).toString() };
}

}

QString RunJournal::folder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/veltrane/runs");
}

RunJournal RunJournal::open(const Entry &entry)
{
    const QString where = folder();
    if (QDir().mkpath(where)) {
        // Locked before it gets its name, so that no start of another
        // Veltrane takes it for the leftover of a killed batch.
        QByteArray name = native(where + QStringLiteral("/new-XXXXXX"));
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            const QString named = where + QStringLiteral("/run-") + QFile::decodeName(name).section(QLatin1Char('-'), -1);
            if (lockNow(fd) && write(fd, entry) && ::rename(name.constData(), native(named).constData()) == 0)
                return RunJournal(named, fd);
            ::unlink(name.constData());
            ::close(fd);
        }
    }
    Diagnostics::line(QStringLiteral("No journal of the batch could be written in ") + where);
    return {};
}

RunJournal::RunJournal(RunJournal &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_fd(std::exchange(other.m_fd, -1))
{
}

RunJournal &RunJournal::operator=(RunJournal &&other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

RunJournal::~RunJournal() { close(); }

void RunJournal::update(const Entry &entry)
{
    if (m_fd >= 0 && !write(m_fd, entry))
        Diagnostics::line(QStringLiteral("The journal of the batch could not be updated: ") + m_path);
}

void RunJournal::close()
{
    if (m_fd < 0)
        return;
    ::unlink(native(m_path).constData());
    ::close(std::exchange(m_fd, -1));
}

void RunJournal::recoverAbandoned(const std::function<void(const Entry &)> &recover)
{
    const QString where = folder();
    for (const QString &name : QDir(where).entryList({ QStringLiteral("run-*") }, QDir::Files | QDir::Hidden)) {
        const QString path = where + QLatin1Char('/') + name;
        const int fd = ::open(native(path).constData(), O_RDWR | O_CLOEXEC);
        if (!lockNow(fd)) { // its batch is still going
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        recover(read(fd));
        ::unlink(native(path).constData());
        ::close(fd);
    }
}
