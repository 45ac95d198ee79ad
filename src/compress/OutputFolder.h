#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The folder a batch writes into, made new for it. An existing folder that
// is to be replaced is first moved aside (a hidden sibling, so on the same
// file system) and only deleted once the batch has written an output; if the
// batch is cancelled, quit or writes nothing, it comes back.
class OutputFolder
{
public:
    struct Refusal
    {
        enum Kind {
            holdsInput,   // detail: the input it holds
            exists,       // and was not to be replaced
            notAFolder,   // something else is there, which is never replaced
            cannotCreate, // detail: the system's reason, "Permission denied"
        } kind;
        QString detail;
    };

    // Makes the folder at path (its parent must exist). With replace, an
    // existing folder is moved aside first; never one that holds any of the
    // inputs, by path or by file identity (a bind mount or a link to the
    // inputs' folder is found too).
    static std::variant<OutputFolder, Refusal> create(const QString &path, bool replace, const QStringList &inputs);

    OutputFolder(OutputFolder &&other) noexcept;
    OutputFolder &operator=(OutputFolder &&other) noexcept;
    OutputFolder(const OutputFolder &) = delete;
    OutputFolder &operator=(const OutputFolder &) = delete;
    // A folder neither finished nor abandoned is abandoned.
    ~OutputFolder();

    const QString &path() const { return m_path; }
    bool replaces() const { return !m_aside.isEmpty(); }

    // The batch is over. With an output written, the folder stays and the
    // one it replaced goes; without, the replaced one comes back.
    void finish(bool wroteOutput);
    // The batch was cancelled or quit: what it wrote goes, and the replaced
    // folder comes back.
    void abandon();

    // The input that lies at path or below it, if any: by the path as given
    // and as links resolve it, and by file identity (device and inode) in the
    // folder's tree.
    static std::optional<QString> listedInputInside(const QString &path, const QStringList &inputs);

    inline static const QString holdsInputMessageText =
        QStringLiteral("Veltrane can't replace a folder that holds files from the list:");

private:
    OutputFolder(QString path, QString aside) : m_path(std::move(path)), m_aside(std::move(aside)) {}
    void restore();

    QString m_path;
    QString m_aside; // where the replaced folder waits; empty when none
    bool m_done = false;
};
