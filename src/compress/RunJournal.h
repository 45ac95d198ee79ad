#pragma once

#include <QString>

#include <functional>

// The journal of running batches: one entry per batch in the user's state
// folder (XDG_STATE_HOME/veltrane/runs), locked with flock while its batch
// runs. A batch that was killed leaves its entry unlocked, and the next start
// finds what it left behind through it.
class RunJournal
{
public:
    struct Entry
    {
        QString path;     // the output folder
        QString work;     // the folder the batch writes into
        QString replaced; // where the folder it replaces is for the moment; empty while it is in place
    };

    // Writes the entry; a journal that is not open when the state folder
    // cannot be used (only a killed batch's clean-up is lost then).
    static RunJournal open(const Entry &entry);
    RunJournal() = default;
    RunJournal(RunJournal &&other) noexcept;
    RunJournal &operator=(RunJournal &&other) noexcept;
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;
    // Removes the entry.
    ~RunJournal();

    bool isOpen() const { return m_fd >= 0; }
    // Rewrites the entry, on disk before it returns.
    void update(const Entry &entry);

    // Hands each entry whose batch is gone to recover, then removes it.
    static void recoverAbandoned(const std::function<void(const Entry &)> &recover);

    // Where the entries are.
    static QString folder();

private:
    explicit RunJournal(QString path, int fd) : m_path(std::move(path)), m_fd(fd) {}
    void close();

    QString m_path;
    int m_fd = -1;
};
