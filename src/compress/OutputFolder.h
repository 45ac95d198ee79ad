#pragma once

#include "compress/RunJournal.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The folder a batch writes into. The batch writes into a hidden sibling (the
// work folder, on the same file system), and only a finished batch puts it in
// place: by one rename when the folder is new, by exchanging the two when it
// replaces one (which then goes). Until then the user's folder is exactly as
// it was; a cancelled, failed or killed batch leaves it so. The work folder
// is locked while its batch runs, so a second run aimed at the same folder is
// refused, and a journal in the user's state folder lets the next start clean
// up after a run that was killed.
class OutputFolder
{
public:
    struct Refusal
    {
        enum Kind {
            holdsInput,   // detail: the input it holds
            exists,       // and was not to be replaced
            notAFolder,   // something else is there, which is never replaced
            unsafe,       // detail: why replacing it would delete what is not the batch's to delete
            busy,         // another run is writing it
            cannotCreate, // detail: the system's reason, "Permission denied"
        } kind;
        QString detail;

        // One line for the user: "“/a/b” is the current folder; it cannot be replaced".
        QString text(const QString &path) const;
    };

    // Makes the work folder for path (whose parent must exist). With replace,
    // an existing folder may be replaced at the end; never one that holds any
    // of the inputs (by path or by file identity: a bind mount or a link to
    // the inputs' folder is found too), nor one that replaceRefusal refuses.
    static std::variant<OutputFolder, Refusal> create(const QString &path, bool replace, const QStringList &inputs);

    // Why the existing folder at path may not be replaced, if it may not: it
    // holds an input, it is the current folder or one above it, the home
    // folder or the root, or another file system is mounted on it or inside
    // it. What a save panel checks before it asks.
    static std::optional<Refusal> replaceRefusal(const QString &path, const QStringList &inputs);

    OutputFolder(OutputFolder &&other) noexcept;
    OutputFolder &operator=(OutputFolder &&other) noexcept;
    OutputFolder(const OutputFolder &) = delete;
    OutputFolder &operator=(const OutputFolder &) = delete;
    // A folder neither finished nor abandoned is abandoned.
    ~OutputFolder();

    // Where the files are once the batch is done.
    const QString &path() const { return m_path; }
    // Where the batch writes them meanwhile.
    const QString &workPath() const { return m_work; }
    bool replaces() const { return m_replaces; }

    // The batch is over. With an output written (or for a new folder), the
    // work folder is put in place and the folder it replaces goes; a replacing
    // batch that wrote nothing leaves the old folder as it was. Nothing when
    // it is in place; otherwise what went wrong, naming where the files are.
    std::optional<QString> finish(bool wroteOutput);
    // The batch was cancelled or quit: the work folder goes, the user's
    // folder stays as it was.
    void abandon();

    // The input that lies at path or below it, if any: by the path as given
    // and as links resolve it, and by file identity (device and inode) in the
    // folder's tree.
    static std::optional<QString> listedInputInside(const QString &path, const QStringList &inputs);

    // What runs that were killed left behind, found through the journal:
    // their work folders go, a folder they had moved aside comes back (or,
    // when its place is taken, is named). One sentence for the user each.
    static QStringList recoverLeftovers();

    // As written; the window shows it translated.
    inline static const QString holdsInputMessageText =
        QStringLiteral(QT_TRANSLATE_NOOP("OutputFolder", "Veltrane can't replace a folder that holds files from the list:"));

private:
    OutputFolder(QString path, QString work, bool replaces, int lock);
    void release();
    // Puts the work folder where the old one is, which then goes.
    std::optional<QString> replaceOld();

    QString m_path;
    QString m_work;
    bool m_replaces = false;
    int m_lock = -1; // the work folder, held under flock while the batch runs
    RunJournal m_journal;
    bool m_done = false;
};
